#include "customerdebtswindow.h"

#include "appinfo.h"
#include "customerdebtsmodel.h"
#include "customerdebtsoutput.h"
#include "datagrid.h"
#include "guardedcommand.h"
#include "ledgergrid.h"
#include "ledgerreport.h"
#include "messageboxservice.h"
#include "numberformat.h"
#include "savedialog.h"
#include "spreadsheetexport.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QHeaderView>
#include <QTableView>
#include <QTableWidget>
#include <QVBoxLayout>

namespace {

QMessageBox::StandardButton askOkCancel(QWidget *parent, const QString &text)
{
    return MessageBoxes::ask(parent, {applicationTitle(), text, QMessageBox::Question,
                                      QMessageBox::Ok | QMessageBox::Cancel, QMessageBox::Cancel});
}

} // namespace

CustomerDebtsWindow::CustomerDebtsWindow(QWidget *owner, Connection &connection, LedgerController *ledger,
                                         const QString &vendorAddress)
    : QWidget(nullptr, Qt::Window), m_connection(connection), m_ledger(ledger), m_owner(owner),
      m_vendorAddress(vendorAddress)
{
    // A window of its own rather than one kept above its owner: a double click brings
    // the main window, with the customer's sales in its grid, to the front. It still
    // goes with its owner.
    if (owner)
        connect(owner, &QObject::destroyed, this, [this] { delete this; });
    setObjectName(QStringLiteral("CustomerDebtsWindow"));
    setWindowTitle(QStringLiteral("客户欠款"));
    setAttribute(Qt::WA_DeleteOnClose);
    setFont(LedgerGrid::gridFont());
    resize(760, 560);

    auto *layout = new QVBoxLayout(this);
    auto *searchRow = new QHBoxLayout;
    auto *searchLabel = new QLabel(QStringLiteral("查找客户："), this);
    searchEdit = new QLineEdit(this);
    searchEdit->setObjectName(QStringLiteral("searchEdit"));
    searchEdit->setPlaceholderText(QStringLiteral("输入客户名称或手机号码"));
    searchEdit->setClearButtonEnabled(true);
    searchLabel->setBuddy(searchEdit);
    searchRow->addWidget(searchLabel);
    searchRow->addWidget(searchEdit, 1);
    layout->addLayout(searchRow);

    m_model = new CustomerDebtsModel(this);
    debtsGrid = new DataGrid(this);
    debtsGrid->setObjectName(QStringLiteral("debtsGrid"));
    debtsGrid->setFont(LedgerGrid::gridFont());
    debtsGrid->setColumns(CustomerDebtsModel::columns());
    debtsGrid->setModel(m_model);
    debtsGrid->setTitleBackground(QColor(0xA6, 0xCA, 0xF0));
    debtsGrid->setFooterBackground(QColor(0xFF, 0xB3, 0xB3));
    debtsGrid->setRowColors(Qt::white, QColor(0xEE, 0xEE, 0xEE));
    debtsGrid->setTitleHeight(18);
    debtsGrid->setHint(QStringLiteral("点列标题进行排序，双击客户在主窗口列出其欠款记录"));
    // Tab leaves the list for the buttons rather than walking its cells.
    debtsGrid->view()->setTabKeyNavigation(false);
    layout->addWidget(debtsGrid, 3);

    paymentsLabel = new QLabel(this);
    paymentsLabel->setObjectName(QStringLiteral("paymentsLabel"));
    layout->addWidget(paymentsLabel);
    paymentsTable = new QTableWidget(0, 5, this);
    paymentsTable->setObjectName(QStringLiteral("paymentsTable"));
    paymentsTable->setHorizontalHeaderLabels(
        {QStringLiteral("付款时间"), QStringLiteral("金额"), QStringLiteral("操作员"), QStringLiteral("终端"), QStringLiteral("冲减笔数")});
    paymentsTable->setEditTriggers(QAbstractItemView::NoEditTriggers);
    paymentsTable->setSelectionBehavior(QAbstractItemView::SelectRows);
    paymentsTable->setTabKeyNavigation(false);
    // Read only: Tab goes from the list straight on to "结 清".
    paymentsTable->setFocusPolicy(Qt::ClickFocus);
    paymentsTable->verticalHeader()->hide();
    paymentsTable->horizontalHeader()->setStretchLastSection(true);
    paymentsTable->setColumnWidth(0, 170);
    paymentsTable->setColumnWidth(1, 110);
    paymentsTable->setColumnWidth(2, 120);
    paymentsTable->setColumnWidth(3, 160);
    layout->addWidget(paymentsTable, 1);

    auto *buttons = new QHBoxLayout;
    auto button = [this, buttons](const char *name, const QString &caption) {
        auto *b = new QPushButton(caption, this);
        b->setObjectName(QString::fromLatin1(name));
        buttons->addWidget(b);
        return b;
    };
    settleButton = button("settleButton", QStringLiteral("结 清"));
    auto *paymentLabel = new QLabel(QStringLiteral("付款金额："), this);
    buttons->addSpacing(16);
    buttons->addWidget(paymentLabel);
    paymentEdit = new QLineEdit(this);
    paymentEdit->setObjectName(QStringLiteral("paymentEdit"));
    paymentEdit->setFixedWidth(100);
    paymentLabel->setBuddy(paymentEdit);
    buttons->addWidget(paymentEdit);
    payButton = button("payButton", QStringLiteral("部分付款"));
    buttons->addStretch(1);
    refreshButton = button("refreshButton", QStringLiteral("刷 新"));
    printButton = button("printButton", QStringLiteral("打 印"));
    exportButton = button("exportButton", QStringLiteral("导 出"));
    layout->addLayout(buttons);

    connect(searchEdit, &QLineEdit::textChanged, this, guarded(this, [this] {
                m_model->setSearch(searchEdit->text());
                refreshFooters();
                if (m_model->shownCount() > 0)
                    debtsGrid->setCurrentRow(0);
            }));
    connect(debtsGrid, &DataGrid::titleClicked, this, [this](int position, SortMarker before, Qt::KeyboardModifiers) {
        const auto column = CustomerDebtsModel::Column(debtsGrid->logicalIndexAt(position));
        const std::optional<CustomerDebt> current = chosen();
        m_model->sortBy(column, before != SortMarker::Down);
        if (current)
            choose(current->customer);
    });
    connect(debtsGrid, &DataGrid::currentRowChanged, this, guarded(this, [this] { showPayments(); }));
    connect(debtsGrid, &DataGrid::doubleClicked, this, guarded(this, [this] { showChosenSales(); }));
    connect(settleButton, &QPushButton::clicked, this, guarded(this, [this] { settleChosen(); }));
    connect(payButton, &QPushButton::clicked, this, guarded(this, [this] { payChosen(); }));
    connect(paymentEdit, &QLineEdit::returnPressed, this, guarded(this, [this] { payChosen(); }));
    connect(refreshButton, &QPushButton::clicked, this, guarded(this, [this] { reload(); }));
    connect(printButton, &QPushButton::clicked, this, guarded(this, [this] { printList(); }));
    connect(exportButton, &QPushButton::clicked, this, guarded(this, [this] { exportList(); }));

    refreshFooters();
    showPayments();
    if (owner)
        move(owner->geometry().center() - rect().center());
    show();
    searchEdit->setFocus();
}

CustomerDebtsWindow::~CustomerDebtsWindow() = default;

void CustomerDebtsWindow::reload()
{
    const std::optional<CustomerDebt> current = chosen();
    m_model->setDebts(CustomerDebts::load(m_connection));
    refreshFooters();
    if (current)
        choose(current->customer);
    if (!chosen() && m_model->shownCount() > 0)
        debtsGrid->setCurrentRow(0);
    showPayments();
}

void CustomerDebtsWindow::showPayments()
{
    const std::optional<CustomerDebt> debt = chosen();
    const QList<CustomerDebts::Payment> payments =
        debt ? CustomerDebts::paymentsOf(m_connection, debt->customer) : QList<CustomerDebts::Payment>();
    paymentsLabel->setText(debt ? QStringLiteral("%1 的付款记录（%2 笔）：").arg(debt->messageName()).arg(payments.size())
                                : QStringLiteral("付款记录："));
    paymentsTable->setRowCount(int(payments.size()));
    for (int row = 0; row < payments.size(); ++row) {
        const CustomerDebts::Payment &payment = payments[row];
        const QStringList texts{payment.time.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")),
                                CustomerDebts::amountText(payment.units), payment.operatorName, payment.terminal,
                                QString::number(payment.sales)};
        for (int column = 0; column < texts.size(); ++column) {
            auto *item = new QTableWidgetItem(texts[column]);
            if (column == 1 || column == 4)
                item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
            paymentsTable->setItem(row, column, item);
        }
    }
}

void CustomerDebtsWindow::refreshFooters()
{
    debtsGrid->setFooterText(QStringLiteral("name"), QStringLiteral("共 %1 位客户").arg(m_model->shownCount()));
    debtsGrid->setFooterText(QStringLiteral("owed"), CustomerDebts::amountText(m_model->shownTotalUnits()));
}

std::optional<CustomerDebt> CustomerDebtsWindow::chosen() const
{
    const int row = debtsGrid->currentRow();
    if (row < 0 || row >= m_model->shownCount())
        return std::nullopt;
    return m_model->shownAt(row);
}

void CustomerDebtsWindow::choose(const CustomerKey &customer)
{
    for (int row = 0; row < m_model->shownCount(); ++row) {
        if (m_model->shownAt(row).customer == customer) {
            debtsGrid->setCurrentRow(row);
            return;
        }
    }
}

void CustomerDebtsWindow::refreshAll()
{
    reload();
    if (m_ledger && m_ledger->dataset())
        m_ledger->requery();
}

void CustomerDebtsWindow::settleChosen()
{
    const std::optional<CustomerDebt> debt = chosen();
    if (!debt) {
        MessageBoxes::warning(this, QStringLiteral("请先选择一位客户。"));
        return;
    }
    if (debt->owedUnits <= 0) {
        MessageBoxes::warning(this, QStringLiteral("%1 没有欠款。").arg(debt->messageName()));
        return;
    }
    if (askOkCancel(this, QStringLiteral("确定 %1 已付清 %2 元吗？").arg(debt->messageName(), debt->owedText()))
        != QMessageBox::Ok)
        return;
    try {
        CustomerDebts::settle(m_connection, *debt);
    } catch (const DebtChangedError &changed) {
        MessageBoxes::warning(this, changed.message());
        refreshAll();
        return;
    }
    MessageBoxes::information(this, QStringLiteral("%1 的欠款 %2 元已结清。").arg(debt->messageName(), debt->owedText()));
    refreshAll();
}

void CustomerDebtsWindow::payChosen()
{
    const std::optional<CustomerDebt> debt = chosen();
    if (!debt) {
        MessageBoxes::warning(this, QStringLiteral("请先选择一位客户。"));
        return;
    }
    CustomerDebts::Units units = 0;
    if (NumberFormat::isTooLarge(paymentEdit->text())) {
        MessageBoxes::warning(this, NumberFormat::tooLargeMessage(QStringLiteral("付款金额")));
        paymentEdit->setFocus();
        return;
    }
    try {
        units = CustomerDebts::unitsOf(NumberFormat::parse(paymentEdit->text()));
    } catch (const ConversionError &) {
        MessageBoxes::warning(this, QStringLiteral("请输入正确的付款金额。"));
        paymentEdit->setFocus();
        return;
    }
    if (const QString refusal = CustomerDebts::paymentRefusal(*debt, units); !refusal.isEmpty()) {
        MessageBoxes::warning(this, refusal);
        paymentEdit->setFocus();
        return;
    }
    const QString payment = CustomerDebts::amountText(units);
    if (askOkCancel(this, QStringLiteral("确定 %1 已付款 %2 元吗？").arg(debt->messageName(), payment)) != QMessageBox::Ok)
        return;
    CustomerDebts::Settlement settlement;
    try {
        settlement = CustomerDebts::pay(m_connection, *debt, units);
    } catch (const DebtChangedError &changed) {
        MessageBoxes::warning(this, changed.message());
        refreshAll();
        return;
    }
    paymentEdit->clear();
    MessageBoxes::information(this, QStringLiteral("已记录 %1 付款 %2 元，尚欠 %3 元。")
                                        .arg(debt->messageName(), payment,
                                             CustomerDebts::amountText(settlement.remainingUnits)));
    refreshAll();
}

void CustomerDebtsWindow::showChosenSales()
{
    const std::optional<CustomerDebt> debt = chosen();
    if (!debt || !m_ledger)
        return;
    m_ledger->showQuery(CustomerDebts::salesOf(debt->customer));
    if (m_owner) {
        m_owner->raise();
        m_owner->activateWindow();
    }
}

void CustomerDebtsWindow::printList()
{
    LedgerReport::previewGrid(this, *debtsGrid, CustomerDebtsOutput::reportSettings(m_vendorAddress));
}

void CustomerDebtsWindow::exportList()
{
    if (m_model->shownCount() == 0)
        return;
    const std::optional<QString> fileName =
        SaveDialog::choose(this, {SpreadsheetExport::kFilter, QStringLiteral("xls")});
    if (!fileName || fileName->trimmed().isEmpty())
        return;
    // The same writers as the ledger's export: refusals and failures are told there.
    SpreadsheetExport::save(this, CustomerDebtsOutput::sheet(*debtsGrid, *m_model), *fileName);
}
