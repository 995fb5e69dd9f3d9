#pragma once

#include "ledgerbackup.h"

#include <QWidget>
#include <functional>
#include <vector>

class AdminGate;
class Connection;
class QLabel;
class QPushButton;
class QTableWidget;

// "恢复数据" of the "设置" menu, for the super administrator: locked until the password
// is entered, then lists the backups. The chosen one, checked and confirmed, is handed
// to the restarter, which ends the program and starts it again on the restored ledger
// (a ledger cannot be replaced under the program that has it open). Frees itself when
// closed.
class RestoreWindow : public QWidget
{
    Q_OBJECT

public:
    using Restarter = std::function<void(const QString &backupPath)>;

    RestoreWindow(QWidget *parent, std::unique_ptr<LedgerBackup> backups, Connection &connection, Restarter restarter);

    void refresh();
    void restoreChosen();

    AdminGate *gate = nullptr;
    QLabel *hint = nullptr;
    QTableWidget *backupList = nullptr;
    QPushButton *restoreButton = nullptr;

private:
    std::unique_ptr<LedgerBackup> m_backups;
    Restarter m_restarter;
    std::vector<QString> m_paths;
};
