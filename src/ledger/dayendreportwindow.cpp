#include "dayendreportwindow.h"

#include "clock.h"
#include "datagrid.h"
#include "guardedcommand.h"
#include "ledgergrid.h"
#include "ledgerreport.h"
#include "savedialog.h"
#include "spreadsheetexport.h"

#include <QComboBox>
#include <QDateEdit>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QStandardItemModel>
#include <QTableView>
#include <QVBoxLayout>

namespace {

enum OperatorColumn { Name, Sales, Total, Profit, Owed, Paid, Cash, OperatorColumns };
enum GoodsColumn { Rank, Code, Goods, GoodsSales, Quantity, GoodsTotal, GoodsColumns };

const char *const kOperatorFields[] = {"operator", "sales", "total", "profit", "owed", "paid", "cash"};
const char *const kGoodsFields[] = {"rank", "code", "name", "sales", "quantity", "total"};

QList<GridColumn> gridColumns(const char *const *fields, const QList<std::pair<const char *, int>> &designs)
{
    QList<GridColumn> columns;
    for (int i = 0; i < designs.size(); ++i) {
        GridColumn column;
        column.field = QString::fromLatin1(fields[i]);
        column.title = QString::fromUtf8(designs[i].first);
        column.defaultWidth = designs[i].second;
        column.alignment = i == 0 || (fields == kGoodsFields && i <= Goods) ? Qt::AlignCenter : (Qt::AlignRight | Qt::AlignVCenter);
        columns << column;
    }
    return columns;
}

DataGrid *makeGrid(QWidget *parent, const char *name, const QList<GridColumn> &columns, QStandardItemModel *model)
{
    auto *grid = new DataGrid(parent);
    grid->setObjectName(QString::fromLatin1(name));
    grid->setFont(LedgerGrid::gridFont());
    grid->setColumns(columns);
    grid->setModel(model);
    grid->setTitleBackground(QColor(0xA6, 0xCA, 0xF0));
    grid->setFooterBackground(QColor(0xFF, 0xB3, 0xB3));
    grid->setRowColors(Qt::white, QColor(0xEE, 0xEE, 0xEE));
    grid->setTitleHeight(18);
    grid->view()->setTabKeyNavigation(false);
    return grid;
}

QStringList figureTexts(const DayEndReport::Figures &figures)
{
    using DayEndReport::amountText;
    return {QString::number(figures.sales),         amountText(figures.salesTotal),       amountText(figures.profit),
            amountText(figures.newOwed),            amountText(figures.paymentsReceived), amountText(figures.cashExpected())};
}

void setRow(QStandardItemModel *model, int row, const QStringList &texts)
{
    for (int column = 0; column < texts.size(); ++column)
        model->setItem(row, column, new QStandardItem(texts[column]));
}

} // namespace

DayEndReportWindow::DayEndReportWindow(QWidget *owner, Connection &connection, bool showProfit,
                                       const QString &vendorAddress)
    : QWidget(owner, Qt::Window), m_connection(connection), m_showProfit(showProfit), m_vendorAddress(vendorAddress)
{
    setObjectName(QStringLiteral("DayEndReportWindow"));
    setWindowTitle(QStringLiteral("日结报表"));
    setAttribute(Qt::WA_DeleteOnClose);
    setFont(LedgerGrid::gridFont());
    resize(760, 520);

    auto *layout = new QVBoxLayout(this);
    auto *choices = new QHBoxLayout;
    auto dateEdit = [this](const char *name) {
        auto *edit = new QDateEdit(Clock::today(), this);
        edit->setObjectName(QString::fromLatin1(name));
        edit->setDisplayFormat(QStringLiteral("yyyy-MM-dd"));
        edit->setCalendarPopup(true);
        return edit;
    };
    fromEdit = dateEdit("fromEdit");
    toEdit = dateEdit("toEdit");
    choices->addWidget(new QLabel(QStringLiteral("日期："), this));
    choices->addWidget(fromEdit);
    choices->addWidget(new QLabel(QStringLiteral("至"), this));
    choices->addWidget(toEdit);
    choices->addSpacing(12);
    choices->addWidget(new QLabel(QStringLiteral("操作员："), this));
    operatorChoice = new QComboBox(this);
    operatorChoice->setObjectName(QStringLiteral("operatorChoice"));
    operatorChoice->setMinimumWidth(120);
    // The data of each entry: null for all operators, else the stored name (empty for
    // sales without a recorded operator).
    operatorChoice->addItem(QStringLiteral("全部"));
    for (const QString &name : DayEndReport::operatorsOf(connection))
        operatorChoice->addItem(name, name);
    operatorChoice->addItem(DayEndReport::kNoOperator, QString(QLatin1String("")));
    choices->addWidget(operatorChoice);
    runButton = new QPushButton(QStringLiteral("统 计"), this);
    runButton->setObjectName(QStringLiteral("runButton"));
    choices->addWidget(runButton);
    choices->addStretch(1);
    printButton = new QPushButton(QStringLiteral("打 印"), this);
    printButton->setObjectName(QStringLiteral("printButton"));
    exportButton = new QPushButton(QStringLiteral("导 出"), this);
    exportButton->setObjectName(QStringLiteral("exportButton"));
    choices->addWidget(printButton);
    choices->addWidget(exportButton);
    layout->addLayout(choices);

    m_operators = new QStandardItemModel(0, OperatorColumns, this);
    operatorsGrid = makeGrid(this, "operatorsGrid",
                             gridColumns(kOperatorFields, {{"操作员", 110}, {"销售笔数", 70}, {"销售金额", 95},
                                                           {"利润", 90}, {"新增欠款", 90}, {"收到付款", 90},
                                                           {"应收现金", 100}}),
                             m_operators);
    operatorsGrid->setColumnVisibleAt(operatorsGrid->positionOfField(QStringLiteral("profit")), showProfit);
    layout->addWidget(operatorsGrid, 1);

    layout->addWidget(new QLabel(QStringLiteral("销售金额前十的商品："), this));
    m_goods = new QStandardItemModel(0, GoodsColumns, this);
    goodsGrid = makeGrid(this, "goodsGrid",
                         gridColumns(kGoodsFields, {{"名次", 44}, {"商品编码", 110}, {"商品名称", 170},
                                                    {"笔数", 60}, {"数量", 80}, {"销售金额", 110}}),
                         m_goods);
    // Ten rows of their own: no totals to show under them.
    goodsGrid->footerBar()->hide();
    layout->addWidget(goodsGrid, 1);

    connect(runButton, &QPushButton::clicked, this, guarded(this, [this] { refresh(); }));
    connect(printButton, &QPushButton::clicked, this, guarded(this, [this] { printReport(); }));
    connect(exportButton, &QPushButton::clicked, this, guarded(this, [this] { exportReport(); }));

    if (owner)
        move(owner->geometry().center() - rect().center());
    refresh();
    show();
}

DayEndReport::Filter DayEndReportWindow::filter() const
{
    DayEndReport::Filter result;
    result.from = std::min(fromEdit->date(), toEdit->date());
    result.to = std::max(fromEdit->date(), toEdit->date());
    const QVariant chosen = operatorChoice->currentData();
    result.allOperators = !chosen.isValid();
    result.operatorName = chosen.toString();
    return result;
}

void DayEndReportWindow::refresh()
{
    m_report = DayEndReport::compute(m_connection, filter());
    m_operators->setRowCount(0);
    m_operators->setRowCount(int(m_report.operators.size()));
    for (int row = 0; row < m_report.operators.size(); ++row) {
        const DayEndReport::OperatorFigures &figures = m_report.operators[row];
        setRow(m_operators, row, QStringList{figures.shownName()} + figureTexts(figures.figures));
    }
    const QStringList totals = QStringList{QStringLiteral("合计")} + figureTexts(m_report.total);
    for (int column = 0; column < OperatorColumns; ++column)
        operatorsGrid->setFooterText(QString::fromLatin1(kOperatorFields[column]), totals[column]);
    m_goods->setRowCount(0);
    m_goods->setRowCount(int(m_report.topGoods.size()));
    for (int row = 0; row < m_report.topGoods.size(); ++row) {
        const DayEndReport::GoodsFigures &item = m_report.topGoods[row];
        setRow(m_goods, row,
               {QString::number(row + 1), item.code, item.name, QString::number(item.sales),
                DayEndReport::amountText(item.quantity), DayEndReport::amountText(item.total)});
    }
}

void DayEndReportWindow::printReport()
{
    ReportSettings settings = LedgerReport::settings(m_vendorAddress);
    const DayEndReport::Filter chosen = filter();
    const QString days = chosen.from == chosen.to
                             ? chosen.from.toString(QStringLiteral("yyyy-MM-dd"))
                             : QStringLiteral("%1 至 %2").arg(chosen.from.toString(QStringLiteral("yyyy-MM-dd")),
                                                              chosen.to.toString(QStringLiteral("yyyy-MM-dd")));
    settings.textBefore[0].text = QStringLiteral("日 结 报 表  %1").arg(days);
    settings.jobTitle = QStringLiteral("日结报表");
    LedgerReport::previewGrid(this, *operatorsGrid, settings);
}

WorksheetContent DayEndReportWindow::sheet() const
{
    WorksheetContent content;
    content.title = QStringLiteral("日结报表");
    content.maker = SpreadsheetExport::kMaker;
    content.madeAt = Clock::now();
    QList<int> columns;
    for (int position = 0; position < operatorsGrid->columnCount(); ++position) {
        if (!operatorsGrid->isColumnVisibleAt(position))
            continue;
        const int sheetColumn = int(columns.size());
        columns << operatorsGrid->logicalIndexAt(position);
        content.titles.append({sheetColumn, operatorsGrid->columnAt(position).title});
        content.footer.append({sheetColumn, operatorsGrid->footerTextAt(position)});
    }
    // The operators' rows; then a row naming the goods list and one row per goods, its
    // name under the operator's, its sales and total under theirs.
    const DayEndReport::Report report = m_report;
    const int operatorRows = int(report.operators.size());
    content.recordCount = operatorRows + (report.topGoods.isEmpty() ? 0 : 1 + int(report.topGoods.size()));
    content.record = [report, columns, operatorRows](int row) {
        QList<WorksheetCell> cells;
        auto number = [](const DayEndReport::Units &units) {
            return WorksheetCell::fromNumber(double(TenThousandths::amountOf(units)));
        };
        if (row < operatorRows) {
            const DayEndReport::OperatorFigures &figures = report.operators[row];
            for (int column : columns) {
                switch (column) {
                case Name: cells << WorksheetCell::fromText(figures.shownName()); break;
                case Sales: cells << WorksheetCell::fromInteger(figures.figures.sales); break;
                case Total: cells << number(figures.figures.salesTotal); break;
                case Profit: cells << number(figures.figures.profit); break;
                case Owed: cells << number(figures.figures.newOwed); break;
                case Paid: cells << number(figures.figures.paymentsReceived); break;
                default: cells << number(figures.figures.cashExpected()); break;
                }
            }
            return cells;
        }
        if (row == operatorRows) {
            cells << WorksheetCell::fromText(QStringLiteral("销售金额前十的商品"));
            return cells;
        }
        const int rank = row - operatorRows - 1;
        const DayEndReport::GoodsFigures &item = report.topGoods[rank];
        for (int column : columns) {
            switch (column) {
            case Name:
                cells << WorksheetCell::fromText(QStringLiteral("%1. %2 %3").arg(rank + 1).arg(item.code, item.name).trimmed());
                break;
            case Sales: cells << WorksheetCell::fromInteger(item.sales); break;
            case Total: cells << number(item.total); break;
            default: cells << WorksheetCell::blank(); break;
            }
        }
        return cells;
    };
    return content;
}

void DayEndReportWindow::exportReport()
{
    const std::optional<QString> fileName = SaveDialog::choose(this, {SpreadsheetExport::kFilter, QStringLiteral("xls")});
    if (!fileName || fileName->trimmed().isEmpty())
        return;
    SpreadsheetExport::save(this, sheet(), *fileName);
}
