#include "apperror.h"
#include "biff5writer.h"
#include "worksheet.h"

#include <QBuffer>
#include <QtTest>

namespace {

QByteArray hex(const char *text)
{
    return QByteArray::fromHex(text);
}

QByteArray written(const std::function<void(Biff5Writer &)> &write)
{
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    Biff5Writer writer(buffer);
    write(writer);
    return buffer.data();
}

} // namespace

class Biff5WriterTest : public QObject
{
    Q_OBJECT

private slots:
    void records_data();
    void records();
    void gbkText_data();
    void gbkText();
    void smallSheetByteLayout();
    void failingDeviceRaises();
};

void Biff5WriterTest::records_data()
{
    QTest::addColumn<std::function<void(Biff5Writer &)>>("write");
    QTest::addColumn<QByteArray>("bytes");
    using W = std::function<void(Biff5Writer &)>;
    // Begin of file for a worksheet, then the code page 936.
    QTest::newRow("begin") << W([](Biff5Writer &w) { w.beginFile(); })
                           << hex("0908 0800 0000 1000 0000 0000  4200 0200 a803");
    QTest::newRow("end") << W([](Biff5Writer &w) { w.endFile(); }) << hex("0a00 0000");
    QTest::newRow("text") << W([](Biff5Writer &w) { w.text(2, 1, QStringLiteral("ab")); })
                          << hex("0402 0a00 0200 0100 0000 0200 6162");
    QTest::newRow("empty text") << W([](Biff5Writer &w) { w.text(0, 0, QString()); })
                                << hex("0402 0800 0000 0000 0000 0000");
    QTest::newRow("number") << W([](Biff5Writer &w) { w.number(3, 7, 1.5); })
                            << hex("0302 0e00 0300 0700 0000 000000000000f83f");
    QTest::newRow("integer") << W([](Biff5Writer &w) { w.integer(4, 2, 5); })
                             << hex("7e02 0a00 0400 0200 0000 16000000");
    QTest::newRow("negative integer") << W([](Biff5Writer &w) { w.integer(0, 0, -1); })
                                      << hex("7e02 0a00 0000 0000 0000 feffffff");
    QTest::newRow("largest integer cell") << W([](Biff5Writer &w) { w.integer(0, 0, 536870911); })
                                          << hex("7e02 0a00 0000 0000 0000 feffff7f");
    QTest::newRow("integer too large for a cell") << W([](Biff5Writer &w) { w.integer(0, 0, 536870912); })
                                                  << hex("0302 0e00 0000 0000 0000 000000000000c041");
    QTest::newRow("blank") << W([](Biff5Writer &w) { w.blank(9, 3); }) << hex("0102 0600 0900 0300 1700");
}

void Biff5WriterTest::records()
{
    QFETCH(std::function<void(Biff5Writer &)>, write);
    QFETCH(QByteArray, bytes);
    QCOMPARE(written(write).toHex(' '), bytes.toHex(' '));
}

void Biff5WriterTest::gbkText_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QByteArray>("stored");
    QTest::newRow("chinese") << QStringLiteral("销售统计报表") << hex("cffacadBcdb3bcc6b1a8b1ed");
    QTest::newRow("full-width colon") << QStringLiteral("制表人：Q") << hex("d6c6b1edc8cba3ba51");
    QTest::newRow("no GBK form") << QStringLiteral("a\U0001F600b") << QByteArray("a?b");
    // 300 ASCII bytes keep 255.
    QTest::newRow("long ascii") << QString(300, QLatin1Char('x')) << QByteArray(255, 'x');
    // A two-byte character never gets split: 127 characters make 254 bytes.
    QTest::newRow("long chinese") << QString(200, QChar(0x9500)) << QByteArray(254, 'x');
    QTest::newRow("ascii then chinese at the edge")
        << QString(254, QLatin1Char('x')) + QChar(0x9500) << QByteArray(254, 'x');
}

void Biff5WriterTest::gbkText()
{
    QFETCH(QString, text);
    QFETCH(QByteArray, stored);
    const QByteArray bytes = written([&](Biff5Writer &w) { w.text(0, 0, text); });
    const QByteArray payload = bytes.mid(12);
    QCOMPARE(quint8(bytes.at(10)) | quint8(bytes.at(11)) << 8, int(payload.size()));
    QCOMPARE(quint8(bytes.at(2)) | quint8(bytes.at(3)) << 8, int(payload.size()) + 8);
    if (QByteArray(QTest::currentDataTag()) == "long chinese") {
        QCOMPARE(payload, Biff5Writer::toGbk(QString(127, QChar(0x9500))));
        return;
    }
    QCOMPARE(payload.toHex(' '), stored.toHex(' '));
}

void Biff5WriterTest::smallSheetByteLayout()
{
    WorksheetContent content;
    content.title = QStringLiteral("T");
    content.maker = QStringLiteral("M");
    content.madeAt = QDateTime(QDate(2014, 3, 12), QTime(0, 0));
    content.titles = {{0, QStringLiteral("A")}, {2, QStringLiteral("C")}};
    content.recordCount = 2;
    content.record = [](int record) {
        return QList<WorksheetCell>{WorksheetCell::fromText(QStringLiteral("x")), WorksheetCell::blank(),
                                    WorksheetCell::fromNumber(record), WorksheetCell::fromInteger(record + 1)};
    };
    content.footer = {{0, QStringLiteral("S")}, {2, QString()}};
    QList<int> progress;
    const QByteArray bytes = written([&](Biff5Writer &w) { writeWorksheet(w, content, [&](int n) { progress << n; }); });

    QByteArray expected = hex("0908 0800 0000 1000 0000 0000  4200 0200 a803");
    expected += hex("0402 0900 0000 0300 0000 0100") + "T";
    expected += hex("0402 1100 0100 0000 0000 0900") + Biff5Writer::toGbk(QStringLiteral("制表人：")) + "M";
    expected += hex("0402 1c00 0100 0500 0000 1400") + Biff5Writer::toGbk(QStringLiteral("制表时间：")) + "2014-03-12";
    expected += hex("0402 0900 0200 0000 0000 0100") + "A";
    expected += hex("0402 0900 0200 0200 0000 0100") + "C";
    for (int record = 0; record < 2; ++record) {
        const char row = char(3 + record);
        expected += hex("0402 0900") + QByteArray(1, row) + hex("00 0000 0000 0100") + "x";
        expected += hex("0102 0600") + QByteArray(1, row) + hex("00 0100 1700");
        expected += hex("0302 0e00") + QByteArray(1, row) + hex("00 0200 0000")
                    + (record == 0 ? hex("0000000000000000") : hex("000000000000f03f"));
        expected += hex("7e02 0a00") + QByteArray(1, row) + hex("00 0300 0000")
                    + (record == 0 ? hex("06000000") : hex("0a000000"));
    }
    expected += hex("0402 0900 0500 0000 0000 0100") + "S";
    expected += hex("0402 0800 0500 0200 0000 0000");
    expected += hex("0a00 0000");
    QCOMPARE(bytes.toHex(' '), expected.toHex(' '));
    QCOMPARE(progress, (QList<int>{1, 2}));
}

void Biff5WriterTest::failingDeviceRaises()
{
    QBuffer buffer;
    buffer.open(QIODevice::ReadOnly);
    Biff5Writer writer(buffer);
    QVERIFY_THROWS_EXCEPTION(AppError, writer.beginFile());
}

QTEST_MAIN(Biff5WriterTest)
#include "tst_biff5writer.moc"
