#include "clock.h"
#include "connection.h"
#include "customerdebts.h"
#include "datagrid.h"
#include "datamodule.h"
#include "dayendreportwindow.h"
#include "ledgerreport.h"
#include "readback.h"
#include "reportpreviewdialog.h"
#include "savedialog.h"
#include "scriptedmessageboxes.h"
#include "skinengine.h"
#include "testworkspace.h"
#include "urlopener.h"

#include <QComboBox>
#include <QDateEdit>
#include <QDir>
#include <QPrinter>
#include <QPushButton>
#include <QtTest>
#include <memory>

namespace {

const QString kAddress = QStringLiteral("http://example.invalid/");

void addSale(Connection &connection, const QString &goods, double total, double profit, double owed,
             const QString &customer, const QDate &day, const QString &operatorName)
{
    connection.execute(QStringLiteral("insert into data (a,b,c,d,\"1\",\"2\",\"3\",\"6\",\"4\",\"5\",e,f,h,z,day1,o) "
                                      "values ('类',?,?,'',1,1,1,?,?,?,?,'','','',?,'1')"),
                       {goods, QStringLiteral("SP-") + goods, total, profit, owed, customer, day});
    const qint64 key = connection.lastInsertRowId();
    if (!operatorName.isEmpty())
        connection.execute(QStringLiteral("insert into sale_origins (sale_key, sold_by, sold_on, sold_at) values (?, ?, 'till', ?)"),
                           {key, operatorName, QDateTime(day, QTime(9, 0))});
}

} // namespace

// The day-end window over its figures: what it shows, what a cashier does not see, and
// what its print and export write.
class DayEndReportWindowTest : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void showsTheDaysFigures_data();
    void showsTheDaysFigures();
    void printReadsBack();
    void printButtonShowsThePreview();
    void exportReadsBack_data();
    void exportReadsBack();

private:
    Connection &db() { return *m_data->ADOConnection1; }
    QStringList rows(const DataGrid &grid) const;

    std::unique_ptr<TestWorkspace> m_workspace;
    std::unique_ptr<Tdmfm> m_data;
    ScriptedMessageBoxes *m_boxes = nullptr;
    std::optional<QString> m_chosenName;
};

void DayEndReportWindowTest::init()
{
    m_workspace = std::make_unique<TestWorkspace>();
    m_data = std::make_unique<Tdmfm>(m_workspace->dataSource());
    m_boxes = &ScriptedMessageBoxes::install();
    SaveDialog::setChooser([this](QWidget *, const SaveDialogRequest &) { return m_chosenName; });
    UrlOpener::setOpener([](const QUrl &) { return true; });
    const QDate yesterday(2024, 3, 4);
    const QDate today(2024, 3, 5);
    addSale(db(), QStringLiteral("篮球"), 120, 40, 50, QStringLiteral("张三"), yesterday, QStringLiteral("小王"));
    addSale(db(), QStringLiteral("篮球"), 120, 40, 0, QString(), today, QStringLiteral("小王"));
    addSale(db(), QStringLiteral("跑步鞋"), 299.5, 80.25, 100, QStringLiteral("李四"), today, QStringLiteral("小李"));
    addSale(db(), QStringLiteral("袜子"), 15, 5, 0, QString(), today, QString());
    // Today 小李 takes 30 of 张三's debt of yesterday.
    Clock::setFixedNow(QDateTime(today, QTime(16, 20, 0)));
    m_data->setOperatorName(QStringLiteral("小李"));
    for (const CustomerDebt &debt : CustomerDebts::load(db())) {
        if (debt.customer.name == QStringLiteral("张三"))
            CustomerDebts::pay(db(), debt, CustomerDebts::unitsOf(30));
    }
}

void DayEndReportWindowTest::cleanup()
{
    QCOMPARE(m_boxes->unexpected.size(), 0);
    SaveDialog::setChooser(nullptr);
    UrlOpener::setOpener(nullptr);
    Clock::setFixedNow(std::nullopt);
    MessageBoxService::install(nullptr);
    m_data.reset();
    m_workspace.reset();
}

QStringList DayEndReportWindowTest::rows(const DataGrid &grid) const
{
    QStringList result;
    for (int row = 0; row < grid.rowCount(); ++row) {
        QStringList cells;
        for (int position = 0; position < grid.columnCount(); ++position) {
            if (grid.isColumnVisibleAt(position))
                cells << grid.cellText(row, position);
        }
        result << cells.join(QLatin1Char('|'));
    }
    QStringList footer;
    for (int position = 0; position < grid.columnCount(); ++position) {
        if (grid.isColumnVisibleAt(position) && !grid.footerTextAt(position).isEmpty())
            footer << grid.footerTextAt(position);
    }
    if (!footer.isEmpty())
        result << footer.join(QLatin1Char('|'));
    return result;
}

void DayEndReportWindowTest::showsTheDaysFigures_data()
{
    QTest::addColumn<bool>("manager");
    QTest::addColumn<int>("skin");
    QTest::newRow("manager, default look") << true << -1;
    QTest::newRow("cashier, dark skin") << false << 1;
}

// Opened on today: per operator and in total, the payment on yesterday's sale counted
// today for 小李; a cashier sees the same without the profit. Then a range and one
// operator through the window's choices.
void DayEndReportWindowTest::showsTheDaysFigures()
{
    QFETCH(bool, manager);
    QFETCH(int, skin);
    if (skin < 0)
        SkinEngine::applyDefault();
    else
        SkinEngine::apply(skin);
    auto *window = new DayEndReportWindow(nullptr, db(), manager, kAddress);
    const std::unique_ptr<DayEndReportWindow> owned(window);
    QVERIFY(window->isVisible());
    QCOMPARE(window->fromEdit->date(), QDate(2024, 3, 5));
    QStringList expected = manager
                               ? QStringList{"小李|1|299.5|80.25|100|30|229.5", "小王|1|120|40|0|0|120",
                                             "（未记录）|1|15|5|0|0|15", "合计|3|434.5|125.25|100|30|364.5"}
                               : QStringList{"小李|1|299.5|100|30|229.5", "小王|1|120|0|0|120", "（未记录）|1|15|0|0|15",
                                             "合计|3|434.5|100|30|364.5"};
    QCOMPARE(rows(*window->operatorsGrid), expected);
    QCOMPARE(rows(*window->goodsGrid),
             (QStringList{"1|SP-跑步鞋|跑步鞋|1|1|299.5", "2|SP-篮球|篮球|1|1|120", "3|SP-袜子|袜子|1|1|15"}));
    QDir().mkpath(QStringLiteral(ARTIFACTS_DIR));
    window->grab().save(QStringLiteral(ARTIFACTS_DIR "/day-end-report-%1%2.png")
                            .arg(manager ? QStringLiteral("manager-default") : QStringLiteral("cashier-dark"),
                                 TestWorkspace::onServer() ? QStringLiteral("-server") : QString()));
    SkinEngine::applyDefault();

    // Both days, 小王 only: yesterday's sale owed 50 as entered, though 30 was paid since.
    window->fromEdit->setDate(QDate(2024, 3, 4));
    window->operatorChoice->setCurrentIndex(window->operatorChoice->findText(QStringLiteral("小王")));
    window->runButton->click();
    QCOMPARE(rows(*window->operatorsGrid).value(0),
             manager ? QStringLiteral("小王|2|240|80|50|0|190") : QStringLiteral("小王|2|240|50|0|190"));
    QCOMPARE(rows(*window->goodsGrid), QStringList{"1|SP-篮球|篮球|2|2|240"});
}

void DayEndReportWindowTest::printReadsBack()
{
    DayEndReportWindow window(nullptr, db(), true, kAddress);
    const QString path = m_workspace->filePath(QStringLiteral("dayend.pdf"));
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(path);
    ReportSettings settings = LedgerReport::settings(kAddress);
    settings.textBefore[0].text = QStringLiteral("日 结 报 表");
    QCOMPARE(LedgerReport::print(&printer, *window.operatorsGrid, settings), 1);
    ReadBack::verifyInOrder(ReadBack::pdfText(path), {"日结报表", "操作员", "销售笔数", "销售金额", "利润", "新增欠款",
                                                      "收到付款", "应收现金", "小李", "299.5", "80.25", "100", "30",
                                                      "229.5", "合计", "3", "434.5", "125.25", "364.5"});
}

void DayEndReportWindowTest::printButtonShowsThePreview()
{
    DayEndReportWindow window(nullptr, db(), true, kAddress);
    window.fromEdit->setDate(QDate(2024, 3, 4));
    window.printButton->click();
    ReportPreviewDialog *preview = window.findChild<ReportPreviewDialog *>();
    QVERIFY(preview);
    QVERIFY(preview->isVisible());
    QCOMPARE(preview->settings().textBefore.value(0).text, QStringLiteral("日 结 报 表  2024-03-04 至 2024-03-05"));
    QTRY_COMPARE(preview->pageCount(), 1);
    preview->close();
}

void DayEndReportWindowTest::exportReadsBack_data()
{
    QTest::addColumn<QString>("name");
    QTest::newRow(".xls") << "dayend.xls";
    QTest::newRow(".xlsx") << "dayend.xlsx";
    QTest::newRow(".csv") << "dayend.csv";
}

void DayEndReportWindowTest::exportReadsBack()
{
    QFETCH(QString, name);
    DayEndReportWindow window(nullptr, db(), false, kAddress);
    const QString path = m_workspace->filePath(name);
    m_chosenName = path;
    window.exportButton->click();
    QString error;
    const QList<QStringList> rows = ReadBack::worksheetRows(path, m_workspace->path(), &error);
    QVERIFY2(!rows.isEmpty(), qPrintable(error));
    // A cashier's export has no profit either.
    QCOMPARE(rows.value(2).mid(0, 6), (QStringList{"操作员", "销售笔数", "销售金额", "新增欠款", "收到付款", "应收现金"}));
    QCOMPARE(rows.value(3).mid(0, 6), (QStringList{"小李", "1", "299.5", "100", "30", "229.5"}));
    QCOMPARE(rows.value(5).mid(0, 6), (QStringList{"（未记录）", "1", "15", "0", "0", "15"}));
    QCOMPARE(rows.value(6).value(0), QStringLiteral("销售金额前十的商品"));
    QCOMPARE(rows.value(7).mid(0, 3), (QStringList{"1. SP-跑步鞋 跑步鞋", "1", "299.5"}));
    QCOMPARE(rows.value(10).mid(0, 6), (QStringList{"合计", "3", "434.5", "100", "30", "364.5"}));
}

QTEST_MAIN(DayEndReportWindowTest)
#include "tst_dayendreportwindow.moc"
