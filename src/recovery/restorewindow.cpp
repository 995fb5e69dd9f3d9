#include "restorewindow.h"

#include "admingate.h"
#include "guardedcommand.h"
#include "messageboxservice.h"
#include "saletable.h"
#include "usermessages.h"

#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

namespace {

QString sizeText(qint64 bytes)
{
    if (bytes >= 1024 * 1024)
        return QStringLiteral("%1 MB").arg(double(bytes) / (1024 * 1024), 0, 'f', 1);
    return QStringLiteral("%1 KB").arg((bytes + 1023) / 1024);
}

} // namespace

RestoreWindow::RestoreWindow(QWidget *parent, std::unique_ptr<LedgerBackup> backups, Connection &connection, Restarter restarter)
    : QWidget(parent, Qt::Window), m_backups(std::move(backups)), m_restarter(std::move(restarter))
{
    setObjectName(QStringLiteral("RestoreWindow"));
    setWindowTitle(QStringLiteral("恢复数据—(管理员专用)"));
    setAttribute(Qt::WA_DeleteOnClose);
    resize(640, 400);
    auto *layout = new QVBoxLayout(this);
    gate = new AdminGate(connection, this);
    layout->addWidget(gate);
    hint = new QLabel(QStringLiteral("选择一个备份，恢复后程序将重新启动。当前的数据会先另存为一个备份。"), this);
    hint->setObjectName(QStringLiteral("hint"));
    hint->setWordWrap(true);
    layout->addWidget(hint);
    backupList = new QTableWidget(this);
    backupList->setObjectName(QStringLiteral("backupList"));
    SaleTable::prepare(*backupList);
    restoreButton = new QPushButton(QStringLiteral("恢复"), this);
    restoreButton->setObjectName(QStringLiteral("restoreButton"));
    restoreButton->setEnabled(false);
    layout->addWidget(backupList, 1);
    layout->addWidget(restoreButton, 0, Qt::AlignRight);
    connect(gate, &AdminGate::unlocked, this, guarded(this, [this] {
                backupList->setEnabled(true);
                restoreButton->setEnabled(true);
                refresh();
                // Ready for the keyboard: the newest backup is chosen, the arrows
                // choose another, Tab moves on to "恢复".
                if (backupList->rowCount() > 0)
                    backupList->selectRow(0);
                backupList->setFocus();
            }));
    connect(restoreButton, &QPushButton::clicked, this, guarded(this, [this] { restoreChosen(); }));
    SaleTable::placeWindow(*this);
}

void RestoreWindow::refresh()
{
    const std::vector<BackupInfo> backups = m_backups->list();
    backupList->setRowCount(0);
    backupList->setColumnCount(4);
    backupList->setHorizontalHeaderLabels(
        {QStringLiteral("备份时间"), QStringLiteral("大小"), QStringLiteral("销售记录"), QStringLiteral("文件")});
    m_paths.clear();
    for (const BackupInfo &info : backups) {
        QString time = SaleTable::text(info.time);
        if (info.beforeRestore)
            time += QStringLiteral("（恢复前的数据）");
        SaleTable::addRow(*backupList,
                          {time, sizeText(info.size),
                           info.sales >= 0 ? QString::number(info.sales)
                           : info.keyUnknown ? QStringLiteral("无法打开（已损坏或密钥不同）")
                                             : QStringLiteral("已损坏"), info.fileName},
                          {});
        m_paths.push_back(info.path);
    }
    SaleTable::placeWindow(*this, {backupList});
}

void RestoreWindow::restoreChosen()
{
    const int row = SaleTable::chosenRow(*backupList, int(m_paths.size()));
    if (row < 0) {
        showMessage(this, QStringLiteral("请先在列表中选择一个备份！"));
        return;
    }
    const QString path = m_paths[size_t(row)];
    try {
        m_backups->check(path);
    } catch (const BackupError &error) {
        MessageBoxes::reportError(this, QStringLiteral("这个备份不能使用，数据没有改变。\n\n") + error.message());
        return;
    }
    const QString when = backupList->item(row, 0)->text();
    if (!MessageBoxes::confirm(this, QStringLiteral("确定要用 %1 的备份恢复数据吗？\n当前的数据将先另存为一个备份，然后程序重新启动。")
                                         .arg(when)))
        return;
    m_restarter(path);
}
