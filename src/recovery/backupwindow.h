#pragma once

#include "ledgerbackup.h"

#include <QWidget>
#include <functional>

class AdminGate;
class Connection;
class QCheckBox;
class QLabel;
class QPushButton;

// "备份数据" of the "设置" menu, for the super administrator: locked until the password
// is entered, then makes a backup at once and names its file. "复制到其他位置…" copies
// the newest backup (or all of them) to another disk, where it survives what takes
// this one. Frees itself when closed.
class BackupWindow : public QWidget
{
    Q_OBJECT

public:
    // `backups` are those of the ledger open on `connection`.
    BackupWindow(QWidget *parent, std::unique_ptr<LedgerBackup> backups, Connection &connection);

    // Where "复制到其他位置…" copies to: a folder dialog by default; tests answer it.
    using FolderChooser = std::function<QString(QWidget *parent)>;
    static void setFolderChooser(FolderChooser chooser);

    void backupNow();
    // "复制到其他位置…": the newest backup, or every one when allBackups is ticked.
    void copyElsewhere();

    AdminGate *gate = nullptr;
    QLabel *status = nullptr;
    QPushButton *copyButton = nullptr;
    QCheckBox *allBackups = nullptr;

private:
    std::unique_ptr<LedgerBackup> m_backups;
    Connection &m_connection;
};
