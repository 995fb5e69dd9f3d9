#include "ledgergrid.h"

#include "appinfo.h"
#include "apperror.h"
#include "dataset.h"
#include "datetext.h"
#include "connection.h"
#include "datasettablemodel.h"
#include "fonts.h"
#include "footertotals.h"
#include "guardedcommand.h"
#include "ledgeractions.h"
#include "ledgerqueries.h"
#include "messageboxservice.h"
#include "mylib.h"

#include <QHeaderView>
#include <algorithm>
#include <QTableView>

namespace LedgerGrid {

QFont gridFont()
{
    return songTi(14);
}

QList<GridColumn> columns()
{
    struct Design
    {
        const char *field;
        const char *title;
        int width;
    };
    // Base widths in pixels of the grid at the main window's first size (903 pixels
    // between the indicator and the scroll bar). Numbers and dates come first: the
    // footer totals up to 2102161.75, a sale date and an eleven-digit mobile number
    // fit whole; text columns take what is left and show a cut text with an ellipsis
    // and a tooltip. Only the proportions count once the columns are fitted.
    static const Design designs[] = {
        {"a", "商品类别", 62},  {"b", "商品名称", 70},  {"c", "商品编码", 60}, {"d", "规格型号", 56},
        {"1", "进货单价", 50},  {"2", "销售单价", 50},  {"3", "销售数量", 48}, {"6", "销售合计", 80},
        {"4", "利 润", 76},     {"5", "欠款金额", 76},  {"day1", "销售日期", 80}, {"e", "客户名称", 60},
        {"f", "手 机", 93},     {"z", "备 注", 42},
    };
    const QColor teal(0x00, 0x80, 0x80);
    QList<GridColumn> result;
    for (const Design &design : designs) {
        GridColumn column;
        column.field = QString::fromUtf8(design.field);
        column.title = QString::fromUtf8(design.title);
        column.defaultWidth = design.width;
        column.alignment = Qt::AlignCenter;
        result << column;
    }
    result[0].footerText = QStringLiteral("总计");
    for (int total : {7, 8, 9}) {
        result[total].footerBackground = teal;
        result[total].footerColor = Qt::white;
        result[total].footerFont = gridFont();
    }
    // A red deep enough to read on both row colours.
    result[8].cellColor = QColor(0xb0, 0x00, 0x00);
    result[8].cellFont = gridFont();
    result[8].titleBackground = QColor(0x80, 0x00, 0x00);
    result[8].titleColor = Qt::white;
    result[8].titleFont = gridFont();
    result[9].cellColor = Qt::black;
    result[9].cellFont = gridFont();
    return result;
}

QStringList summedFields()
{
    return {QStringLiteral("6"), QStringLiteral("4"), QStringLiteral("5")};
}

QString hint()
{
    return QStringLiteral("点列标题进行排序，双击记录进行修改");
}

void configure(DataGrid &grid)
{
    grid.setObjectName(QStringLiteral("DBGridEh1"));
    grid.setFont(gridFont());
    grid.setColumns(columns());
    grid.setTitleBackground(QColor(0xA6, 0xCA, 0xF0));
    grid.setFooterBackground(QColor(0xFF, 0xB3, 0xB3));
    grid.setRowColors(Qt::white, QColor(0xEE, 0xEE, 0xEE));
    grid.setTitleHeight(18);
    grid.setRowHeightSetting(0);
    grid.setRowLines(0);
    grid.setHint(hint());
}

} // namespace LedgerGrid

// ------------------------------------------------------------------ controller

namespace {
const char *const kCountField = "b";
}

LedgerController::LedgerController(DataGrid &grid, QObject *parent) : QObject(parent), m_grid(grid)
{
    QStringList fields;
    for (const GridColumn &column : LedgerGrid::columns())
        fields << column.field;
    m_model = new DatasetTableModel(fields, this);
    m_grid.setModel(m_model);
    refreshFooters();

    connect(&m_grid, &DataGrid::titleClicked, this,
            [this](int position, SortMarker before, Qt::KeyboardModifiers) { onTitleClicked(position, before); });
    connect(&m_grid, &DataGrid::currentRowChanged, this, [this](int row) {
        if (m_syncing || !m_dataset || !m_dataset->isOpen() || row < 0)
            return;
        m_syncing = true;
        m_dataset->setCurrentRow(row);
        m_syncing = false;
    });
}

LedgerController::~LedgerController() = default;

void LedgerController::attach(Dataset *ledger)
{
    if (m_dataset == ledger)
        return;
    if (m_dataset)
        disconnect(m_dataset, nullptr, this, nullptr);
    m_dataset = ledger;
    if (ledger) {
        // The footer sums come from number columns read with the row keys, so a
        // reload needs no second pass over the records.
        ledger->setPrefetchedNumberFields(LedgerGrid::summedFields());
        connect(ledger, &Dataset::reset, this, &LedgerController::refreshFooters);
        connect(ledger, &Dataset::rowRemoved, this, &LedgerController::refreshFooters);
        connect(ledger, &Dataset::rowChanged, this, &LedgerController::refreshFooters);
        connect(ledger, &Dataset::rowAppended, this, &LedgerController::refreshFooters);
        connect(ledger, &Dataset::currentRowChanged, this, &LedgerController::followDatasetRow);
    }
    m_model->setDataset(ledger);
    refreshFooters();
    if (ledger && ledger->isOpen())
        followDatasetRow(ledger->currentRow());
}

void LedgerController::followDatasetRow(int row)
{
    if (m_syncing)
        return;
    m_syncing = true;
    m_grid.setCurrentRow(row);
    m_syncing = false;
}

void LedgerController::refreshFooters()
{
    const QStringList fields = LedgerGrid::summedFields();
    FooterTotals totals(int(fields.size()));
    bool summed = true;
    try {
        if (m_dataset)
            totals = FooterTotals::of(*m_dataset, fields, m_dataset->isOpen());
    } catch (const std::exception &error) {
        // The sums are a convenience of the window: showing the ledger (a login does)
        // never fails on them. The footer stays blank and says nothing wrong.
        qWarning("quillmora: the footer sums could not be formed: %s", error.what());
        summed = false;
        if (m_dataset && m_dataset->isOpen())
            totals.setCount(m_dataset->recordCount());
    }
    m_grid.setFooterText(QString::fromLatin1(kCountField), totals.countText());
    for (int i = 0; i < fields.size(); ++i)
        m_grid.setFooterText(fields[i], summed ? totals.sumText(i) : QString());
}

void LedgerController::requireDataset() const
{
    if (!m_dataset)
        throw AppError(QStringLiteral("The ledger is not connected to a database"));
}

void LedgerController::showAllRecords()
{
    requireDataset();
    ::showAllRecords(*m_dataset);
}

void LedgerController::quickQuery(const QuickQueryInput &input)
{
    requireDataset();
    if (!input.anyTicked())
        MessageBoxes::ask(m_grid.window(), {applicationTitle(), QStringLiteral("请选择查询条件并在相应的文本框中输入文字或数字"),
                                            QMessageBox::NoIcon, QMessageBox::Ok, QMessageBox::Ok});
    bool scanDates = false;
    if (input.byDate) {
        // Two index-only look-ups tell how much of the ledger the range holds.
        Connection &connection = m_dataset->connection();
        const qint64 inRange = connection
                                   .scalar(QStringLiteral("select count(*) from data where day1>=? and day1<=?"),
                                           {input.from, DateText::lastSecondOf(input.to)})
                                   .toLongLong();
        const qint64 records = connection.scalar(QStringLiteral("select max(rowid) from data")).toLongLong();
        scanDates = LedgerQueries::prefersScan(inRange, records);
    }
    m_dataset->reopen(LedgerQueries::quickQueryOf(input, scanDates));
}

void LedgerController::showQuery(const SqlStatement &statement)
{
    requireDataset();
    mylib::reopenSql(*m_dataset, statement.text, statement.parameters);
}

void LedgerController::requery()
{
    requireDataset();
    if (!m_dataset->isOpen())
        return;
    const std::optional<SortKey> sort = m_dataset->sortKey();
    const int row = m_dataset->currentRow();
    m_dataset->requery();
    if (sort)
        m_dataset->setSort(*sort);
    if (!m_dataset->isEmpty())
        m_dataset->setCurrentRow(std::clamp(row, 0, m_dataset->recordCount() - 1));
}

void LedgerController::sortByTitle(const QString &field, SortMarker markerBeforeClick)
{
    requireDataset();
    m_dataset->setSort(LedgerQueries::sortOf(field, markerBeforeClick));
}

void LedgerController::onTitleClicked(int position, SortMarker markerBeforeClick)
{
    const QString field = m_grid.fieldAt(position);
    if (!runGuarded(m_grid.window(), [&] { sortByTitle(field, markerBeforeClick); }))
        m_grid.rejectTitleClick();
}

void LedgerController::setPurchaseColumnsHidden(bool hidden)
{
    m_grid.suspendLayout();
    for (int position : {4, 8})
        m_grid.setColumnVisibleAt(position, !hidden);
    m_grid.resumeLayout();
}

void LedgerController::setCustomerColumnsHidden(bool hidden)
{
    m_grid.suspendLayout();
    for (int position : {11, 12, 13})
        m_grid.setColumnVisibleAt(position, !hidden);
    m_grid.resumeLayout();
}
