#include "biff5writer.h"
#include "clock.h"
#include "datamodule.h"
#include "dataset.h"
#include "exportprogresswindow.h"
#include "readback.h"
#include "savedialog.h"
#include "scriptedmessageboxes.h"
#include "spreadsheetexport.h"
#include "testworkspace.h"
#include "urlopener.h"

#include <QApplication>
#include <QFile>
#include <QLabel>
#include <QProgressBar>
#include <QtEndian>
#include <QtTest>
#include <memory>

namespace {

// One record of the stream, read back: type, row, column and the value as text
// ("" for blanks, the double for numbers, the integer for integer cells).
struct Record
{
    quint16 type;
    int row;
    int column;
    QString value;
    bool operator==(const Record &) const = default;
};

QList<Record> readRecords(const QByteArray &bytes)
{
    QList<Record> records;
    qsizetype at = 0;
    while (at + 4 <= bytes.size()) {
        const quint16 type = qFromLittleEndian<quint16>(bytes.constData() + at);
        const quint16 length = qFromLittleEndian<quint16>(bytes.constData() + at + 2);
        const char *data = bytes.constData() + at + 4;
        Record record{type, -1, -1, {}};
        if (type == 0x0204 || type == 0x0203 || type == 0x027E || type == 0x0201) {
            record.row = qFromLittleEndian<quint16>(data);
            record.column = qFromLittleEndian<quint16>(data + 2);
        }
        if (type == 0x0204) {
            const quint16 n = qFromLittleEndian<quint16>(data + 6);
            record.value = QString::fromUtf8(QByteArray(data + 8, n).toHex());
        } else if (type == 0x0203) {
            record.value = QString::number(qFromLittleEndian<double>(data + 6));
        } else if (type == 0x027E) {
            record.value = QString::number((qFromLittleEndian<qint32>(data + 6) - 2) / 4);
        }
        records.append(record);
        at += 4 + length;
    }
    return records;
}

Record text(int row, int column, const QString &value)
{
    return {0x0204, row, column, QString::fromUtf8(Biff5Writer::toGbk(value).toHex())};
}
Record number(int row, int column, double value)
{
    return {0x0203, row, column, QString::number(value)};
}
Record blank(int row, int column)
{
    return {0x0201, row, column, {}};
}

QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// The ledger grid's columns in the form's order.
QList<ExportColumn> ledgerColumns()
{
    const char *fields[] = {"a", "b", "c", "d", "1", "2", "3", "6", "4", "5", "day1", "e", "f", "z"};
    const char *titles[] = {"商品类别", "商品名称", "商品编码", "规格型号", "进货单价", "销售单价", "销售数量",
                            "销售合计", "利 润",   "欠款金额", "销售日期", "客户名称", "手 机",   "备 注"};
    QList<ExportColumn> columns;
    for (int i = 0; i < 14; ++i)
        columns.append({QString::fromLatin1(fields[i]), QString::fromUtf8(titles[i]), true,
                        i == 0 ? QStringLiteral("总计") : QString(), {}});
    return columns;
}

} // namespace

class SpreadsheetExportTest : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void smallExportByteLayout();
    void readBackBySpreadsheetProgram();
    void silentStops_data();
    void silentStops();
    void failedWriteIsReported();
    void overwriteQuestion_data();
    void overwriteQuestion();
    void progressWindowWhileWriting();

private:
    void addSale(const QVariantList &values);
    QString chosen(const QString &name);

    std::unique_ptr<TestWorkspace> m_workspace;
    std::unique_ptr<Tdmfm> m_data;
    ScriptedMessageBoxes *m_boxes = nullptr;
    QList<SaveDialogRequest> m_dialogs;
    std::optional<QString> m_chosenName;
    QList<QUrl> m_opened;
    bool m_openResult = true;
    std::function<void()> m_onOpen;
};

void SpreadsheetExportTest::init()
{
    m_workspace = std::make_unique<TestWorkspace>();
    m_data = std::make_unique<Tdmfm>(m_workspace->dataSource());
    m_boxes = &ScriptedMessageBoxes::install();
    m_dialogs.clear();
    m_opened.clear();
    m_openResult = true;
    m_onOpen = nullptr;
    m_chosenName.reset();
    SaveDialog::setChooser([this](QWidget *, const SaveDialogRequest &request) {
        m_dialogs << request;
        return m_chosenName;
    });
    UrlOpener::setOpener([this](const QUrl &url) {
        if (m_onOpen)
            m_onOpen();
        m_opened << url;
        return m_openResult;
    });
    Clock::setFixedNow(QDateTime(QDate(2014, 3, 12), QTime(15, 4, 5)));
}

void SpreadsheetExportTest::cleanup()
{
    QVERIFY2(m_boxes->unexpected.isEmpty(), qPrintable(m_boxes->unexpected.value(0).text));
    SaveDialog::setChooser(nullptr);
    UrlOpener::setOpener(nullptr);
    Clock::setFixedNow(std::nullopt);
    m_data.reset();
    m_workspace.reset();
}

void SpreadsheetExportTest::addSale(const QVariantList &values)
{
    m_data->ADOConnection1->execute(
        QStringLiteral("insert into data (a, b, \"6\", \"4\", day1, h) values (?, ?, ?, ?, ?, ?)"), values);
}

QString SpreadsheetExportTest::chosen(const QString &name)
{
    m_chosenName = m_workspace->filePath(name);
    return *m_chosenName;
}

void SpreadsheetExportTest::smallExportByteLayout()
{
    addSale({"水果", "苹果", 12.5, QVariant(), "2014-03-01", "斤"});
    addSale({"饮料", QVariant(), 0.0, -3.25, "2014-02-28", QVariant()});
    Dataset &sales = *m_data->ADOQuery15;
    sales.setSql(QStringLiteral("select a, b, \"6\", \"4\", day1, h from data"));
    sales.open();
    sales.setSort(QStringLiteral("day1"));
    // The grid shows a, 6 and 4 (hidden), in the order 6, a, 4; b, day1 and h follow.
    const QList<ExportColumn> columns{{"6", "销售合计", true, {}, {}}, {"a", "商品类别", true, "总计", {}}, {"4", "利 润", false, {}, {}}};
    const QString path = chosen(QStringLiteral("small"));

    SpreadsheetExport::exportGrid(nullptr, columns, &sales);

    QCOMPARE(m_dialogs.size(), 1);
    QCOMPARE(m_dialogs.first().filter, QStringLiteral("Microsoft Excel xls文件|*.xls|Excel 工作簿|*.xlsx|CSV|*.csv"));
    QCOMPARE(m_dialogs.first().defaultExtension, QStringLiteral("xls"));
    QCOMPARE(m_opened, QList<QUrl>{QUrl::fromLocalFile(path + ".xls")});
    const QByteArray bytes = readFile(path + ".xls");
    QVERIFY(bytes.startsWith(QByteArray::fromHex("0908 0800 0000 1000 0000 0000 4200 0200 a803")));
    const QList<Record> expected{
        {0x0809, -1, -1, {}}, {0x0042, -1, -1, {}},
        text(0, 3, "销售统计报表"), text(1, 0, "制表人：Quillmora"), text(1, 5, "制表时间：2014-03-12 15:04:05"),
        text(2, 0, "销售合计"), text(2, 1, "商品类别"),
        // Sorted by date: the drink first. Blank profit hidden, blank name, blank unit.
        number(3, 0, 0), text(3, 1, "饮料"), blank(3, 2), blank(3, 3), text(3, 4, "2014-02-28"), blank(3, 5),
        number(4, 0, 12.5), text(4, 1, "水果"), blank(4, 2), text(4, 3, "苹果"), text(4, 4, "2014-03-01"), text(4, 5, "斤"),
        text(5, 0, ""), text(5, 1, "总计"),
        {0x000A, -1, -1, {}}};
    QCOMPARE(readRecords(bytes), expected);
}

void SpreadsheetExportTest::readBackBySpreadsheetProgram()
{
    const QString longName = QString(150, QChar(0x957F)); // 300 GBK bytes: cut to 254
    addSale({"文具", "铅笔", 3.5, 1.25, "2014-01-31", "支"});
    addSale({"水果", longName, QVariant(), -2.0, "2014-03-12", QVariant()});
    addSale({"饮料", "可乐\"冰\"", 1234567.89, 0.0, "2013-12-01", "瓶"});
    Dataset &sales = *m_data->ADOQuery15;
    sales.setSql(QStringLiteral("select * from data"));
    sales.open();
    sales.setSort(QStringLiteral("4 DESC"));
    // Purchase price and profit hidden, as the check box does.
    QList<ExportColumn> columns = ledgerColumns();
    columns[4].visible = false;
    columns[8].visible = false;
    const QString path = chosen(QStringLiteral("sales.xls"));
    SpreadsheetExport::exportGrid(nullptr, columns, &sales);
    QVERIFY(QFile::exists(path));

    QString error;
    const QList<QStringList> rows = ReadBack::worksheetRows(path, m_workspace->path(), &error);
    QVERIFY2(!rows.isEmpty(), qPrintable(error));
    auto at = [&rows](int row, int column) { return rows.value(row).value(column); };

    QCOMPARE(at(0, 3), QStringLiteral("销售统计报表"));
    QCOMPARE(at(1, 0), QStringLiteral("制表人：Quillmora"));
    QCOMPARE(at(1, 5), QStringLiteral("制表时间：2014-03-12 15:04:05"));
    const QStringList titles{"商品类别", "商品名称", "商品编码", "规格型号", "",         "销售单价", "销售数量",
                             "销售合计", "",         "欠款金额", "销售日期", "客户名称", "手 机",   "备 注"};
    QCOMPARE(rows.value(2).mid(0, 14), titles);
    // Sorted by profit, descending; the profit column (8) and purchase price (4) stay blank.
    QCOMPARE(at(3, 0), QStringLiteral("文具"));
    QCOMPARE(at(3, 1), QStringLiteral("铅笔"));
    QCOMPARE(at(3, 7), QStringLiteral("3.5"));
    QCOMPARE(at(3, 8), QString());
    QCOMPARE(at(3, 10), QStringLiteral("2014-01-31"));
    QCOMPARE(at(3, 14), QStringLiteral("支")); // h follows the grid's fields
    QCOMPARE(at(4, 0), QStringLiteral("饮料"));
    QCOMPARE(at(4, 1), QStringLiteral("可乐\"冰\""));
    QCOMPARE(at(4, 7), QStringLiteral("1234567.89"));
    QCOMPARE(at(5, 0), QStringLiteral("水果"));
    QCOMPARE(at(5, 1), QString(127, QChar(0x957F)));
    QCOMPARE(at(5, 7), QString());
    QCOMPARE(at(5, 8), QString());
    QCOMPARE(at(5, 14), QString());
    QCOMPARE(at(6, 0), QStringLiteral("总计"));
    QCOMPARE(rows.value(6).mid(1).join(QString()), QString());
    QCOMPARE(rows.size(), 7);
}

void SpreadsheetExportTest::silentStops_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("cancel");
    QTest::addColumn<bool>("empty");
    QTest::addColumn<bool>("closed");
    QTest::newRow("cancel") << "a.xls" << true << false << false;
    QTest::newRow("empty result") << "a.xls" << false << true << false;
    QTest::newRow("closed dataset") << "a.xls" << false << false << true;
    QTest::newRow("blank name") << "   " << false << false << false;
}

void SpreadsheetExportTest::silentStops()
{
    QFETCH(QString, name);
    QFETCH(bool, cancel);
    QFETCH(bool, empty);
    QFETCH(bool, closed);
    if (!empty)
        addSale({"水果", "苹果", 1.0, 1.0, "2014-03-01", "斤"});
    Dataset &sales = *m_data->ADOQuery15;
    sales.open();
    if (closed)
        sales.close();
    if (!cancel)
        m_chosenName = name.trimmed().isEmpty() ? name : m_workspace->filePath(name);

    SpreadsheetExport::exportGrid(nullptr, ledgerColumns(), &sales);

    QCOMPARE(m_dialogs.size(), 1);
    QVERIFY(m_boxes->asked.isEmpty());
    QVERIFY(m_opened.isEmpty());
    QVERIFY(!QFile::exists(m_workspace->filePath(QStringLiteral("a.xls"))));
    QVERIFY(QApplication::overrideCursor() == nullptr);
}

void SpreadsheetExportTest::failedWriteIsReported()
{
    addSale({"水果", "苹果", 1.0, 1.0, "2014-03-01", "斤"});
    Dataset &sales = *m_data->ADOQuery15;
    sales.open();
    const QString path = chosen(QStringLiteral("no/such/folder.xls"));
    m_boxes->expect(QMessageBox::Ok);

    SpreadsheetExport::exportGrid(nullptr, ledgerColumns(), &sales);

    QCOMPARE(m_boxes->asked.size(), 1);
    const MessageBoxRequest &box = m_boxes->asked.first().request;
    QCOMPARE(box.icon, QMessageBox::Critical);
    QCOMPARE(box.text, QStringLiteral("导出失败：文件夹不存在（%1）").arg(path));
    QVERIFY(m_opened.isEmpty());
    QVERIFY(!QFile::exists(path));
    QVERIFY(QApplication::overrideCursor() == nullptr);
}

void SpreadsheetExportTest::overwriteQuestion_data()
{
    QTest::addColumn<QMessageBox::StandardButton>("answer");
    QTest::newRow("no keeps the file") << QMessageBox::No;
    QTest::newRow("yes replaces it") << QMessageBox::Yes;
}

void SpreadsheetExportTest::overwriteQuestion()
{
    QFETCH(QMessageBox::StandardButton, answer);
    addSale({"水果", "苹果", 1.0, 1.0, "2014-03-01", "斤"});
    Dataset &sales = *m_data->ADOQuery15;
    sales.open();
    const QString path = chosen(QStringLiteral("old.xls"));
    {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("old content");
    }
    m_boxes->expect(answer);

    SpreadsheetExport::exportGrid(nullptr, ledgerColumns(), &sales);

    QCOMPARE(m_boxes->asked.size(), 1);
    const MessageBoxRequest &box = m_boxes->asked.first().request;
    QCOMPARE(box.caption, QStringLiteral("提示"));
    QCOMPARE(box.text, QStringLiteral("已存在文件（%1），是否覆盖？").arg(path));
    QCOMPARE(box.icon, QMessageBox::Question);
    QCOMPARE(box.buttons, QMessageBox::Yes | QMessageBox::No);
    QCOMPARE(box.defaultButton, QMessageBox::No);
    const QByteArray content = readFile(path);
    if (answer == QMessageBox::No) {
        QCOMPARE(content, QByteArray("old content"));
        QVERIFY(m_opened.isEmpty());
    } else {
        QVERIFY(content.startsWith(QByteArray::fromHex("0908")));
        QCOMPARE(m_opened.size(), 1);
    }
    QVERIFY(QApplication::overrideCursor() == nullptr);
}

void SpreadsheetExportTest::progressWindowWhileWriting()
{
    for (int i = 0; i < 5; ++i)
        addSale({"水果", QString::number(i), 1.0, 1.0, "2014-03-01", "斤"});
    Dataset &sales = *m_data->ADOQuery15;
    sales.open();
    chosen(QStringLiteral("p.xls"));
    bool seen = false;
    m_openResult = false; // an opener that fails is not reported either
    m_onOpen = [&seen] {
        for (QWidget *widget : QApplication::topLevelWidgets()) {
            auto *window = qobject_cast<ExportProgressWindow *>(widget);
            if (!window || !window->isVisible())
                continue;
            seen = true;
            QCOMPARE(window->size(), QSize(300, 100));
            QVERIFY(window->windowFlags().testFlag(Qt::FramelessWindowHint));
            QCOMPARE(window->label()->text(), QStringLiteral("正在导出数据，请稍候......"));
            QCOMPARE(window->bar()->minimum(), 0);
            QCOMPARE(window->bar()->maximum(), 5);
            QCOMPARE(window->bar()->value(), 5);
            QCOMPARE(QApplication::overrideCursor()->shape(), Qt::WaitCursor);
        }
    };
    SpreadsheetExport::exportGrid(nullptr, ledgerColumns(), &sales);
    QVERIFY(seen);
    QCOMPARE(m_opened.size(), 1);
    QVERIFY(m_boxes->asked.isEmpty());
    for (QWidget *widget : QApplication::topLevelWidgets())
        QVERIFY(!qobject_cast<ExportProgressWindow *>(widget));
    QVERIFY(QApplication::overrideCursor() == nullptr);
}

QTEST_MAIN(SpreadsheetExportTest)
#include "tst_spreadsheetexport.moc"
