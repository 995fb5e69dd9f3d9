#include "recyclebinwindow.h"

#include "admingate.h"
#include "datamodule.h"
#include "guardedcommand.h"
#include "messageboxservice.h"
#include "salejournal.h"
#include "saletable.h"
#include "usermessages.h"

#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

Trecyclefm::Trecyclefm(QWidget *parent) : QWidget(parent, Qt::Window)
{
    setObjectName(QStringLiteral("recyclefm"));
    setWindowTitle(QStringLiteral("回收站—(管理员专用)"));
    setAttribute(Qt::WA_DeleteOnClose);
    resize(760, 420);
    auto *layout = new QVBoxLayout(this);
    Gate = new AdminGate(this);
    ListView1 = new QTableWidget(this);
    ListView1->setObjectName(QStringLiteral("ListView1"));
    SaleTable::prepare(*ListView1);
    BitBtn2 = new QPushButton(QStringLiteral("恢复到账本"), this);
    BitBtn2->setObjectName(QStringLiteral("BitBtn2"));
    BitBtn2->setEnabled(false);
    layout->addWidget(Gate);
    layout->addWidget(ListView1, 1);
    layout->addWidget(BitBtn2, 0, Qt::AlignRight);
    connect(Gate, &AdminGate::unlocked, this, guarded(this, [this] {
                ListView1->setEnabled(true);
                BitBtn2->setEnabled(true);
                refresh();
            }));
    connect(BitBtn2, &QPushButton::clicked, this, guarded(this, [this] { restoreChosen(); }));
    SaleTable::placeWindow(*this);
    show();
}

void Trecyclefm::refresh()
{
    Connection &connection = *dmfm->ADOConnection1;
    const std::vector<SaleJournal::Entry> entries = SaleJournal::deletedSales(connection);
    SaleTable::setColumns(*ListView1, {QStringLiteral("删除时间"), QStringLiteral("操作员"), QStringLiteral("终端")},
                          SaleJournal::keptFields(connection));
    m_keys.clear();
    for (const SaleJournal::Entry &entry : entries) {
        SaleTable::addRow(*ListView1, {SaleTable::text(entry.time), entry.operatorName, entry.terminal}, entry.values);
        m_keys.push_back(entry.key);
    }
    SaleTable::placeWindow(*this, {ListView1});
}

void Trecyclefm::restoreChosen()
{
    const int row = SaleTable::chosenRow(*ListView1, int(m_keys.size()));
    if (row < 0) {
        showMessage(this, QStringLiteral("请先在列表中选择要恢复的记录！"));
        return;
    }
    if (!MessageBoxes::confirm(this, QStringLiteral("确定要把选中的记录恢复到账本中吗？")))
        return;
    try {
        SaleJournal::restoreDeleted(*dmfm->ADOConnection1, m_keys[size_t(row)]);
    } catch (...) {
        // Put back by another terminal meanwhile, or refused: the list shows what is left.
        refresh();
        throw;
    }
    refresh();
    emit restored();
    MessageBoxes::information(this, QStringLiteral("记录已恢复到账本中。"));
}
