#include "backgroundsheetwriter.h"
#include "xlsxsheetwriter.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>
#include <functional>

namespace {

// One cell of the sheet's XML: its reference, style, type and text.
struct SheetCell
{
    QString reference;
    QString style;
    QString type;
    QString value;
};

// The cells of the workbook's only sheet, in the order the XML holds them.
QList<SheetCell> sheetCells(const QString &path, QString *error)
{
    QProcess python;
    python.start(QStringLiteral("python3"),
                 {QStringLiteral("-c"),
                  QStringLiteral(
                      "import sys, json, zipfile, xml.etree.ElementTree as ET\n"
                      "ns = '{http://schemas.openxmlformats.org/spreadsheetml/2006/main}'\n"
                      "root = ET.fromstring(zipfile.ZipFile(sys.argv[1]).read('xl/worksheets/sheet1.xml'))\n"
                      "cells = []\n"
                      "for c in root.iter(ns + 'c'):\n"
                      "    text = ''.join(t.text or '' for t in c.iter(ns + 't')) if c.get('t') == 'inlineStr' "
                      "else (c.find(ns + 'v').text if c.find(ns + 'v') is not None else '')\n"
                      "    cells.append([c.get('r'), c.get('s') or '', c.get('t') or '', text])\n"
                      "sys.stdout.write(json.dumps(cells))\n"),
                  path});
    if (!python.waitForFinished(120000) || python.exitCode() != 0) {
        *error = QString::fromUtf8(python.readAllStandardError());
        return {};
    }
    QList<SheetCell> cells;
    for (const QJsonValue &cell : QJsonDocument::fromJson(python.readAllStandardOutput()).array()) {
        const QJsonArray parts = cell.toArray();
        cells.append({parts[0].toString(), parts[1].toString(), parts[2].toString(), parts[3].toString()});
    }
    return cells;
}

// Writes a workbook the way an export does: the cells handed to the workbook on its
// own thread.
void writeWorkbook(const QString &path, const std::function<void(SheetWriter &)> &cells)
{
    XlsxSheetWriter workbook(path);
    BackgroundSheetWriter writer(workbook);
    writer.prepare({2, 0, {}});
    writer.beginFile();
    cells(writer);
    writer.endFile();
}

} // namespace

class XlsxSheetWriterTest : public QObject
{
    Q_OBJECT

private slots:
    void cellValues_data();
    void cellValues();
    void manyCellsKeepTheirPlaceAndText();

private:
    QTemporaryDir m_dir;
};

void XlsxSheetWriterTest::cellValues_data()
{
    QTest::addColumn<std::function<void(SheetWriter &)>>("write");
    // What the sheet holds at B4: type ("n" for a number), value, and whether it is
    // shown as a date. An empty type: no cell at all.
    QTest::addColumn<QString>("type");
    QTest::addColumn<QString>("value");
    QTest::addColumn<bool>("asDate");

    using W = std::function<void(SheetWriter &)>;
    auto date = [](int y, int m, int d) { return W([=](SheetWriter &w) { w.date(3, 1, QDate(y, m, d)); }); };
    auto text = [](const QString &t) { return W([=](SheetWriter &w) { w.text(3, 1, t); }); };
    // Day numbers count from 1900 with its 29 February, as the spreadsheet programs do.
    QTest::newRow("date 1900-02-28") << date(1900, 2, 28) << "n" << "59" << true;
    QTest::newRow("date 1900-03-01") << date(1900, 3, 1) << "n" << "61" << true;
    QTest::newRow("date 2000-02-29") << date(2000, 2, 29) << "n" << "36585" << true;
    QTest::newRow("date 2014-03-12") << date(2014, 3, 12) << "n" << "41710" << true;
    QTest::newRow("date 9999-12-31") << date(9999, 12, 31) << "n" << "2958465" << true;
    QTest::newRow("date before 1900") << date(1899, 12, 31) << "inlineStr" << "1899-12-31" << false;
    QTest::newRow("invalid date") << W([](SheetWriter &w) { w.date(3, 1, QDate()); }) << "" << "" << false;
    QTest::newRow("number") << W([](SheetWriter &w) { w.number(3, 1, 1234567.89); }) << "n" << "1234567.89" << false;
    QTest::newRow("tenth") << W([](SheetWriter &w) { w.number(3, 1, 0.1); }) << "n" << "0.1" << false;
    QTest::newRow("integer") << W([](SheetWriter &w) { w.integer(3, 1, -42); }) << "n" << "-42" << false;
    QTest::newRow("text to escape") << text(QStringLiteral("铅笔 <2B> & \"绘图\"")) << "inlineStr"
                                    << QStringLiteral("铅笔 <2B> & \"绘图\"") << false;
    QTest::newRow("empty text") << text(QString()) << "" << "" << false;
    // 20,000 Chinese characters take 60,000 bytes but fit; 40,000 letters are cut.
    QTest::newRow("long Chinese text") << text(QString(20000, QChar(0x6C49))) << "inlineStr"
                                       << QString(20000, QChar(0x6C49)) << false;
    QTest::newRow("too long a text") << text(QString(40000, QLatin1Char('a'))) << "inlineStr"
                                     << QString(XlsxSheetWriter::kMaxTextLength, QLatin1Char('a')) << false;
}

void XlsxSheetWriterTest::cellValues()
{
    QFETCH(std::function<void(SheetWriter &)>, write);
    QFETCH(QString, type);
    QFETCH(QString, value);
    QFETCH(bool, asDate);
    const QString path = m_dir.filePath(QStringLiteral("cell.xlsx"));
    writeWorkbook(path, [&](SheetWriter &writer) {
        writer.text(0, 0, QStringLiteral("标题"));
        write(writer);
    });
    QString error;
    const QList<SheetCell> cells = sheetCells(path, &error);
    QVERIFY2(!cells.isEmpty(), qPrintable(error));
    QCOMPARE(cells.first().value, QStringLiteral("标题"));
    if (type.isEmpty()) {
        QCOMPARE(cells.size(), 1);
        return;
    }
    QCOMPARE(cells.size(), 2);
    const SheetCell &cell = cells.at(1);
    QCOMPARE(cell.reference, QStringLiteral("B4"));
    QCOMPARE(cell.type.isEmpty() ? QStringLiteral("n") : cell.type, type);
    QCOMPARE(cell.value, value);
    // Only dates carry a style: the date format.
    QCOMPARE(!cell.style.isEmpty(), asDate);
}

void XlsxSheetWriterTest::manyCellsKeepTheirPlaceAndText()
{
    // Far more cells than one batch between the threads holds, with texts of every
    // length, so batches are handed over and used again many times.
    constexpr int kRows = 30000;
    auto textOf = [](int row) { return QStringLiteral("第%1行").arg(row) + QString(row % 37, QChar(0x7B14)); };
    const QString path = m_dir.filePath(QStringLiteral("many.xlsx"));
    writeWorkbook(path, [&](SheetWriter &writer) {
        for (int row = 0; row < kRows; ++row) {
            writer.text(row, 0, textOf(row));
            writer.number(row, 1, row + 0.25);
            writer.date(row, 2, QDate(2014, 3, 12).addDays(row));
        }
    });
    QString error;
    const QList<SheetCell> cells = sheetCells(path, &error);
    QVERIFY2(!cells.isEmpty(), qPrintable(error));
    QCOMPARE(cells.size(), 3 * kRows);
    for (int row = 0; row < kRows; ++row) {
        const QString line = QString::number(row + 1);
        const SheetCell &text = cells.at(3 * row), &number = cells.at(3 * row + 1), &date = cells.at(3 * row + 2);
        QCOMPARE(text.reference, QStringLiteral("A") + line);
        QCOMPARE(text.value, textOf(row));
        QCOMPARE(number.reference, QStringLiteral("B") + line);
        QCOMPARE(number.value, QString::number(row + 0.25, 'g', 16));
        QCOMPARE(date.reference, QStringLiteral("C") + line);
        QCOMPARE(date.value, QString::number(41710 + row));
    }
}

QTEST_MAIN(XlsxSheetWriterTest)
#include "tst_xlsxsheetwriter.moc"
