#include "changeswindow.h"

#include "admingate.h"
#include "guardedcommand.h"
#include "salejournal.h"
#include "saletable.h"

#include <QLabel>
#include <QTableWidget>
#include <QVBoxLayout>

ChangesWindow::ChangesWindow(QWidget *parent, Connection &connection)
    : QWidget(parent, Qt::Window), m_connection(connection)
{
    setObjectName(QStringLiteral("ChangesWindow"));
    setWindowTitle(QStringLiteral("修改记录—(管理员专用)"));
    setAttribute(Qt::WA_DeleteOnClose);
    resize(760, 520);
    auto *layout = new QVBoxLayout(this);
    gate = new AdminGate(connection, this);
    changedSales = new QTableWidget(this);
    changedSales->setObjectName(QStringLiteral("changedSales"));
    history = new QTableWidget(this);
    history->setObjectName(QStringLiteral("history"));
    SaleTable::prepare(*changedSales);
    SaleTable::prepare(*history);
    layout->addWidget(gate);
    layout->addWidget(new QLabel(QStringLiteral("修改过的记录（现在的内容）："), this));
    layout->addWidget(changedSales, 1);
    layout->addWidget(new QLabel(QStringLiteral("选中记录的修改历史（每次修改前的内容）："), this));
    layout->addWidget(history, 1);
    connect(gate, &AdminGate::unlocked, this, guarded(this, [this] {
                changedSales->setEnabled(true);
                history->setEnabled(true);
                refresh();
            }));
    connect(changedSales, &QTableWidget::currentCellChanged, this,
            [this](int row) { runGuarded(this, [this, row] { showChangesOf(row); }); });
    SaleTable::placeWindow(*this);
}

void ChangesWindow::refresh()
{
    Connection &connection = m_connection;
    const QStringList fields = SaleJournal::keptFields(connection);
    const std::vector<SaleJournal::ChangedSale> sales = SaleJournal::changedSales(connection);
    {
        const QSignalBlocker blocker(changedSales);
        SaleTable::setColumns(*changedSales, {QStringLiteral("最后修改时间"), QStringLiteral("修改次数")}, fields);
        m_saleKeys.clear();
        for (const SaleJournal::ChangedSale &sale : sales) {
            SaleTable::addRow(*changedSales, {SaleTable::text(sale.lastChange), QString::number(sale.changes)}, sale.current);
            m_saleKeys.push_back(sale.saleKey);
        }
    }
    changedSales->resizeColumnsToContents();
    SaleTable::setColumns(*history, {QStringLiteral("修改时间"), QStringLiteral("操作员"), QStringLiteral("终端")}, fields);
    if (!m_saleKeys.empty())
        changedSales->selectRow(0);
    SaleTable::placeWindow(*this, {changedSales, history});
}

void ChangesWindow::showChangesOf(int row)
{
    Connection &connection = m_connection;
    SaleTable::setColumns(*history, {QStringLiteral("修改时间"), QStringLiteral("操作员"), QStringLiteral("终端")},
                          SaleJournal::keptFields(connection));
    if (row < 0 || row >= int(m_saleKeys.size()))
        return;
    for (const SaleJournal::Entry &entry : SaleJournal::changesOf(connection, m_saleKeys[size_t(row)]))
        SaleTable::addRow(*history, {SaleTable::text(entry.time), entry.operatorName, entry.terminal}, entry.values);
    history->resizeColumnsToContents();
}
