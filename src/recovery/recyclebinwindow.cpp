#include "recyclebinwindow.h"

#include "admingate.h"
#include "guardedcommand.h"
#include "messageboxservice.h"
#include "salejournal.h"
#include "saletable.h"
#include "usermessages.h"

#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

RecycleBinWindow::RecycleBinWindow(QWidget *parent, Connection &connection)
    : QWidget(parent, Qt::Window), m_connection(connection)
{
    setObjectName(QStringLiteral("RecycleBinWindow"));
    setWindowTitle(QStringLiteral("回收站—(管理员专用)"));
    setAttribute(Qt::WA_DeleteOnClose);
    resize(760, 420);
    auto *layout = new QVBoxLayout(this);
    gate = new AdminGate(connection, this);
    deletedSales = new QTableWidget(this);
    deletedSales->setObjectName(QStringLiteral("deletedSales"));
    SaleTable::prepare(*deletedSales);
    putBackButton = new QPushButton(QStringLiteral("恢复到账本"), this);
    putBackButton->setObjectName(QStringLiteral("putBackButton"));
    putBackButton->setEnabled(false);
    layout->addWidget(gate);
    layout->addWidget(deletedSales, 1);
    layout->addWidget(putBackButton, 0, Qt::AlignRight);
    connect(gate, &AdminGate::unlocked, this, guarded(this, [this] {
                deletedSales->setEnabled(true);
                putBackButton->setEnabled(true);
                refresh();
            }));
    connect(putBackButton, &QPushButton::clicked, this, guarded(this, [this] { restoreChosen(); }));
    SaleTable::placeWindow(*this);
}

void RecycleBinWindow::refresh()
{
    Connection &connection = m_connection;
    const std::vector<SaleJournal::Entry> entries = SaleJournal::deletedSales(connection);
    SaleTable::setColumns(*deletedSales, {QStringLiteral("删除时间"), QStringLiteral("操作员"), QStringLiteral("终端")},
                          SaleJournal::keptFields(connection));
    m_keys.clear();
    for (const SaleJournal::Entry &entry : entries) {
        SaleTable::addRow(*deletedSales, {SaleTable::text(entry.time), entry.operatorName, entry.terminal}, entry.values);
        m_keys.push_back(entry.key);
    }
    SaleTable::placeWindow(*this, {deletedSales});
}

void RecycleBinWindow::restoreChosen()
{
    const int row = SaleTable::chosenRow(*deletedSales, int(m_keys.size()));
    if (row < 0) {
        showMessage(this, QStringLiteral("请先在列表中选择要恢复的记录！"));
        return;
    }
    if (!MessageBoxes::confirm(this, QStringLiteral("确定要把选中的记录恢复到账本中吗？")))
        return;
    try {
        SaleJournal::restoreDeleted(m_connection, m_keys[size_t(row)]);
    } catch (...) {
        // Put back by another terminal meanwhile, or refused: the list shows what is left.
        refresh();
        throw;
    }
    refresh();
    emit restored();
    MessageBoxes::information(this, QStringLiteral("记录已恢复到账本中。"));
}
