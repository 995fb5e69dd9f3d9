#pragma once

#include <QObject>
#include <QString>
#include <memory>

class QWidget;
class Tdmfm;

// The backups the program makes by itself of the embedded file: at the first login of
// a day and when the main window closes after a login. A backup that fails changes
// nothing and never keeps the program from going on or closing; the first failure of a
// run is shown once, later ones go to standard error only. A server's ledger is backed
// up by its administrator (quillmora-admin backup, or the "设置" menu).
//
// The backup after a login runs in a thread of its own on a connection of its own, so
// the main window is ready at once and the operator works meanwhile (a large ledger
// takes longer to copy than to log in); its outcome is taken back on this thread when
// it ends. The backup at closing is made on the spot, after stopping one still running.
class AutomaticBackup
{
public:
    explicit AutomaticBackup(QWidget *parent);
    // Stops a backup still running and waits for it; nothing is reported.
    ~AutomaticBackup();

    // After a login: a backup in the background unless one of today's is there already.
    void afterLogin(Tdmfm &module);
    // When the main window closes after a login: a running backup is stopped (its
    // temporary file removed), then the closing one is made.
    void beforeClose(Tdmfm &module);

    // A backup chosen for a restore: the keeping rule of later backups leaves it alone.
    // A backup still running is stopped first, so its keeping pass cannot take it.
    void spare(const QString &backup);

    // Asks a backup running in the background to stop; returns at once.
    void stop();
    // Waits for a backup running in the background and reports its outcome as its end
    // would have.
    void wait();
    // A backup started in the background whose outcome has not been taken yet.
    bool inProgress() const { return m_running != nullptr; }

    // The path of the last backup made, empty when none (tests).
    const QString &lastBackup() const { return m_lastBackup; }

private:
    struct Running;

    void run(Tdmfm &module, bool onlyFirstOfDay);
    void report(const QString &failure);

    QWidget *m_parent;
    bool m_reported = false;
    QString m_lastBackup;
    QString m_spared;
    std::unique_ptr<Running> m_running;
    quint64 m_runs = 0;
    // Receives the ends of the backup threads on this thread.
    QObject m_receiver;
};
