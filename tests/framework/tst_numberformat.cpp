#include "apperror.h"
#include "datetext.h"
#include "numberformat.h"

#include <QtTest>

class NumberFormatTest : public QObject
{
    Q_OBJECT

private slots:
    void general_data();
    void general();
    void parse_data();
    void parse();
    void dateTimeText_data();
    void dateTimeText();
};

void NumberFormatTest::general_data()
{
    QTest::addColumn<double>("value");
    QTest::addColumn<QString>("text");
    QTest::newRow("whole") << 25.0 << "25";
    QTest::newRow("fraction") << 7.5 << "7.5";
    QTest::newRow("negative") << -12.25 << "-12.25";
    QTest::newRow("zero") << 0.0 << "0";
    QTest::newRow("binary noise rounds away") << 0.1 + 0.2 << "0.3";
    QTest::newRow("fifteen digits") << 123456789012345.0 << "123456789012345";
    QTest::newRow("sixteen digits go scientific") << 1234567890123456.0 << "1.23456789012346E15";
    QTest::newRow("small stays fixed") << 0.00001 << "0.00001";
    QTest::newRow("smaller goes scientific") << 0.0000015 << "1.5E-6";
    QTest::newRow("no thousands separator") << 1234567.5 << "1234567.5";
}

void NumberFormatTest::general()
{
    QFETCH(double, value);
    QFETCH(QString, text);
    QCOMPARE(NumberFormat::general(value), text);
}

void NumberFormatTest::parse_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("valid");
    QTest::addColumn<double>("value");
    QTest::newRow("plain") << "12.5" << true << 12.5;
    QTest::newRow("blanks around") << " 3 " << true << 3.0;
    QTest::newRow("leading point") << ".5" << true << 0.5;
    QTest::newRow("trailing point") << "5." << true << 5.0;
    QTest::newRow("exponent") << "1E3" << true << 1000.0;
    QTest::newRow("lone point") << "." << false << 0.0;
    QTest::newRow("empty") << "" << false << 0.0;
    QTest::newRow("letters") << "abc" << false << 0.0;
    QTest::newRow("thousands separator") << "1,000" << false << 0.0;
    QTest::newRow("infinity") << "inf" << false << 0.0;
}

void NumberFormatTest::parse()
{
    QFETCH(QString, text);
    QFETCH(bool, valid);
    QFETCH(double, value);
    if (valid) {
        QCOMPARE(NumberFormat::parse(text), value);
        return;
    }
    try {
        NumberFormat::parse(text);
        QFAIL("the text must be refused");
    } catch (const ConversionError &error) {
        QCOMPARE(error.message(), QStringLiteral("'%1' is not a valid floating point value").arg(text));
    }
}

void NumberFormatTest::dateTimeText_data()
{
    QTest::addColumn<QDateTime>("value");
    QTest::addColumn<QString>("text");
    QTest::newRow("afternoon") << QDateTime(QDate(2014, 3, 12), QTime(15, 4, 5)) << "2014-03-12 15:04:05";
    QTest::newRow("midnight has no time") << QDateTime(QDate(2014, 3, 12), QTime(0, 0)) << "2014-03-12";
    QTest::newRow("one second past") << QDateTime(QDate(2014, 3, 12), QTime(0, 0, 1)) << "2014-03-12 00:00:01";
}

void NumberFormatTest::dateTimeText()
{
    QFETCH(QDateTime, value);
    QFETCH(QString, text);
    QCOMPARE(DateText::dateTime(value), text);
}

QTEST_MAIN(NumberFormatTest)
#include "tst_numberformat.moc"
