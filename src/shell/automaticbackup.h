#pragma once

#include <QString>

class QWidget;
class Tdmfm;

// The backups the program makes by itself of the embedded file: at the first login of
// a day and when the main window closes after a login. A backup that fails changes
// nothing and never keeps the program from going on or closing; the first failure of a
// run is shown once, later ones go to standard error only. A server's ledger is backed
// up by its administrator (quillmora-admin backup, or the "设置" menu).
class AutomaticBackup
{
public:
    explicit AutomaticBackup(QWidget *parent) : m_parent(parent) {}

    // After a login: a backup unless one of today's is there already.
    void afterLogin(Tdmfm &module);
    // When the main window closes after a login.
    void beforeClose(Tdmfm &module);

    // A backup chosen for a restore: the keeping rule of later backups leaves it alone.
    void spare(const QString &backup) { m_spared = backup; }

    // The path of the last backup made, empty when none (tests).
    const QString &lastBackup() const { return m_lastBackup; }

private:
    void run(Tdmfm &module, bool onlyFirstOfDay);

    QWidget *m_parent;
    bool m_reported = false;
    QString m_lastBackup;
    QString m_spared;
};
