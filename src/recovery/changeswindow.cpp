#include "changeswindow.h"

#include "admingate.h"
#include "datamodule.h"
#include "guardedcommand.h"
#include "salejournal.h"
#include "saletable.h"

#include <QLabel>
#include <QTableWidget>
#include <QVBoxLayout>

Tchangesfm::Tchangesfm(QWidget *parent) : QWidget(parent, Qt::Window)
{
    setObjectName(QStringLiteral("changesfm"));
    setWindowTitle(QStringLiteral("修改记录—(管理员专用)"));
    setAttribute(Qt::WA_DeleteOnClose);
    resize(760, 520);
    auto *layout = new QVBoxLayout(this);
    Gate = new AdminGate(this);
    ListView1 = new QTableWidget(this);
    ListView1->setObjectName(QStringLiteral("ListView1"));
    ListView2 = new QTableWidget(this);
    ListView2->setObjectName(QStringLiteral("ListView2"));
    SaleTable::prepare(*ListView1);
    SaleTable::prepare(*ListView2);
    layout->addWidget(Gate);
    layout->addWidget(new QLabel(QStringLiteral("修改过的记录（现在的内容）："), this));
    layout->addWidget(ListView1, 1);
    layout->addWidget(new QLabel(QStringLiteral("选中记录的修改历史（每次修改前的内容）："), this));
    layout->addWidget(ListView2, 1);
    connect(Gate, &AdminGate::unlocked, this, guarded(this, [this] {
                ListView1->setEnabled(true);
                ListView2->setEnabled(true);
                refresh();
            }));
    connect(ListView1, &QTableWidget::currentCellChanged, this,
            [this](int row) { runGuarded(this, [this, row] { showChangesOf(row); }); });
    SaleTable::placeWindow(*this);
    show();
}

void Tchangesfm::refresh()
{
    Connection &connection = *dmfm->ADOConnection1;
    const QStringList fields = SaleJournal::keptFields(connection);
    const std::vector<SaleJournal::ChangedSale> sales = SaleJournal::changedSales(connection);
    {
        const QSignalBlocker blocker(ListView1);
        SaleTable::setColumns(*ListView1, {QStringLiteral("最后修改时间"), QStringLiteral("修改次数")}, fields);
        m_saleKeys.clear();
        for (const SaleJournal::ChangedSale &sale : sales) {
            SaleTable::addRow(*ListView1, {SaleTable::text(sale.lastChange), QString::number(sale.changes)}, sale.current);
            m_saleKeys.push_back(sale.saleKey);
        }
    }
    ListView1->resizeColumnsToContents();
    SaleTable::setColumns(*ListView2, {QStringLiteral("修改时间"), QStringLiteral("操作员"), QStringLiteral("终端")}, fields);
    if (!m_saleKeys.empty())
        ListView1->selectRow(0);
    SaleTable::placeWindow(*this, {ListView1, ListView2});
}

void Tchangesfm::showChangesOf(int row)
{
    Connection &connection = *dmfm->ADOConnection1;
    SaleTable::setColumns(*ListView2, {QStringLiteral("修改时间"), QStringLiteral("操作员"), QStringLiteral("终端")},
                          SaleJournal::keptFields(connection));
    if (row < 0 || row >= int(m_saleKeys.size()))
        return;
    for (const SaleJournal::Entry &entry : SaleJournal::changesOf(connection, m_saleKeys[size_t(row)]))
        SaleTable::addRow(*ListView2, {SaleTable::text(entry.time), entry.operatorName, entry.terminal}, entry.values);
    ListView2->resizeColumnsToContents();
}
