#include "clock.h"
#include "ledgerfixture.h"
#include "readback.h"
#include "savedialog.h"
#include "scriptedmessageboxes.h"
#include "spreadsheetexport.h"
#include "urlopener.h"

#include <QFile>
#include <QProcess>
#include <QtTest>
#include <memory>

// The ledger's export as .xlsx and .csv, read back by the spreadsheet program a shop
// uses: the grid's records in its order, numbers, dates and texts as they are, and
// the footer row as the grid shows it.
class ExportFormatsTest : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void readBackBySpreadsheetProgram_data();
    void readBackBySpreadsheetProgram();
    void csvBytes();
    void workbookKeepsTitlesInViewAndFitsColumns();

private:
    void addThreeSales();
    QString exportAs(const QString &name);

    std::unique_ptr<LedgerGridFixture> m_ledger;
    ScriptedMessageBoxes *m_boxes = nullptr;
    std::optional<QString> m_chosenName;
    QList<QUrl> m_opened;
};

namespace {

// A name with everything a comma-separated line must quote.
const QString kAwkwardName = QStringLiteral("铅笔, 2B \"绘图\"\n第二行");

QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

void ExportFormatsTest::init()
{
    m_ledger = std::make_unique<LedgerGridFixture>();
    m_boxes = &ScriptedMessageBoxes::install();
    m_opened.clear();
    SaveDialog::setChooser([this](QWidget *, const SaveDialogRequest &) { return m_chosenName; });
    UrlOpener::setOpener([this](const QUrl &url) {
        m_opened << url;
        return true;
    });
    Clock::setFixedNow(QDateTime(QDate(2014, 3, 12), QTime(15, 4, 5)));
}

void ExportFormatsTest::cleanup()
{
    QVERIFY2(m_boxes->unexpected.isEmpty(), qPrintable(m_boxes->unexpected.value(0).text));
    SaveDialog::setChooser(nullptr);
    UrlOpener::setOpener(nullptr);
    Clock::setFixedNow(std::nullopt);
    m_ledger.reset();
}

void ExportFormatsTest::addThreeSales()
{
    Connection &db = *m_ledger->data.ADOConnection1;
    addSale(db, {QStringLiteral("文具"), kAwkwardName, 3.5, 1.25, 0.0, QDate(2014, 1, 31)});
    addSale(db, {QStringLiteral("水果"), QStringLiteral("苹果"), QVariant(), -2.0, 10.5, QDate(2014, 3, 12)});
    addSale(db, {QStringLiteral("饮料"), QStringLiteral("可乐"), 1234567.89, QVariant(), 0.1, QDate(2013, 12, 1)});
    m_ledger->controller.showAllRecords();
    // Sorted by date (the first click descends); the profit column hidden, as its
    // check box does.
    m_ledger->grid.clickTitle(10);
    m_ledger->grid.setColumnVisibleAt(8, false);
}

QString ExportFormatsTest::exportAs(const QString &name)
{
    m_chosenName = m_ledger->workspace.filePath(name);
    SpreadsheetExport::exportGrid(nullptr, SpreadsheetExport::columnsOf(m_ledger->grid), m_ledger->data.ADOQuery15);
    return *m_chosenName;
}

void ExportFormatsTest::readBackBySpreadsheetProgram_data()
{
    QTest::addColumn<QString>("name");
    QTest::newRow("workbook") << "sales.xlsx";
    QTest::newRow("comma-separated") << "sales.csv";
}

void ExportFormatsTest::readBackBySpreadsheetProgram()
{
    QFETCH(QString, name);
    addThreeSales();
    const QString path = exportAs(name);
    QVERIFY(m_boxes->asked.isEmpty());
    QCOMPARE(m_opened, QList<QUrl>{QUrl::fromLocalFile(path)});

    QString error;
    const QList<QStringList> rows = ReadBack::worksheetRows(path, m_ledger->workspace.path(), &error);
    QVERIFY2(!rows.isEmpty(), qPrintable(error));
    auto at = [&rows](int row, int column) { return rows.value(row).value(column); };

    QCOMPARE(at(0, 3), QStringLiteral("销售统计报表"));
    QCOMPARE(at(1, 0), QStringLiteral("制表人：Quillmora"));
    QCOMPARE(at(1, 5), QStringLiteral("制表时间：2014-03-12 15:04:05"));
    const QStringList titles{"商品类别", "商品名称", "商品编码", "规格型号", "进货单价", "销售单价", "销售数量",
                             "销售合计", "",         "欠款金额", "销售日期", "客户名称", "手 机",   "备 注"};
    QCOMPARE(rows.value(2).mid(0, 14), titles);

    // Latest first: the apples, the pencils, the drink. Profit (8) hidden, a null total blank.
    QCOMPARE(rows.value(3).mid(0, 11), (QStringList{"水果", "苹果", "SP1", "", "1", "2", "1", "", "", "10.5",
                                                    "2014-03-12"}));
    QCOMPARE(rows.value(4).mid(0, 11), (QStringList{"文具", kAwkwardName, "SP1", "", "1", "2", "1", "3.5", "", "0",
                                                    "2014-01-31"}));
    QCOMPARE(rows.value(5).mid(0, 11), (QStringList{"饮料", "可乐", "SP1", "", "1", "2", "1", "1234567.89", "", "0.1",
                                                    "2013-12-01"}));
    // The footer as the grid shows it: the count under the names, the totals; none for
    // the hidden profit.
    QCOMPARE(m_ledger->grid.footerTextAt(7), QStringLiteral("1234571.39"));
    QCOMPARE(rows.value(6).mid(0, 11), (QStringList{"总计", "3", "", "", "", "", "", "1234571.39", "", "10.6", ""}));
    QCOMPARE(rows.size(), 7);
}

void ExportFormatsTest::csvBytes()
{
    addThreeSales();
    const QByteArray bytes = readFile(exportAs(QStringLiteral("sales.csv")));
    // A byte-order mark, then UTF-8; lines end with CR LF, every line as wide as the
    // sheet: the grid's columns and the fields no column shows.
    QVERIFY(bytes.startsWith("\xEF\xBB\xBF,,,"));
    const QList<QByteArray> lines = bytes.mid(3).split('\n');
    QCOMPARE(lines.size(), 8 + 1); // the quoted line break splits one record; a last empty piece
    for (const QByteArray &line : lines.mid(0, 8)) {
        if (line.contains("绘图")) // the first half of the quoted line break
            continue;
        QVERIFY2(line.endsWith('\r'), line.constData());
    }
    QCOMPARE(lines.at(0).count(','), m_ledger->data.ADOQuery15->fieldNames().size() - 1);
    // The awkward name quoted, its quotes doubled, its line break kept.
    QVERIFY2(bytes.contains(QStringLiteral("文具,\"铅笔, 2B \"\"绘图\"\"\n第二行\",SP1,,1,2,1,3.5,,0,2014-01-31,").toUtf8()),
             bytes.constData());
    // The shortest text of each double: 0.1, not 0.10000000000000001.
    QVERIFY2(bytes.contains(",1234567.89,,0.1,2013-12-01,"), bytes.constData());
}

void ExportFormatsTest::workbookKeepsTitlesInViewAndFitsColumns()
{
    addThreeSales();
    const QString path = exportAs(QStringLiteral("sales.xlsx"));
    // The sheet's own XML, out of the workbook's zip container.
    QProcess unzip;
    unzip.start(QStringLiteral("python3"),
                {QStringLiteral("-c"),
                 QStringLiteral("import sys, zipfile; "
                                "sys.stdout.write(zipfile.ZipFile(sys.argv[1]).read('xl/worksheets/sheet1.xml').decode())"),
                 path});
    QVERIFY(unzip.waitForFinished(60000));
    const QString xml = QString::fromUtf8(unzip.readAllStandardOutput());
    QVERIFY2(xml.contains(QStringLiteral("<sheetData>")), qPrintable(unzip.readAllStandardError()));
    // The title, maker and column title rows stay in view.
    QVERIFY2(xml.contains(QStringLiteral("ySplit=\"3\"")) && xml.contains(QStringLiteral("state=\"frozen\"")),
             qPrintable(xml.left(600)));
    // "商品类别" takes eight character widths, and two more of room; "手 机" fits the default.
    QVERIFY2(xml.contains(QStringLiteral("<col min=\"1\" max=\"1\" width=\"10.7109375\" customWidth=\"1\"/>")),
             qPrintable(xml.left(1200)));
    QVERIFY2(!xml.contains(QStringLiteral("<col min=\"13\" max=\"13\"")), qPrintable(xml.left(1200)));
}

QTEST_MAIN(ExportFormatsTest)
#include "tst_exportformats.moc"
