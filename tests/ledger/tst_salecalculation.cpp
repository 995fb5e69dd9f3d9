#include "apperror.h"
#include "numberformat.h"
#include "salecalculation.h"
#include "saleform.h"

#include <QtTest>

using Source = SaleCalculation::Source;
Q_DECLARE_METATYPE(SaleCalculation::Source)

namespace {

// Marks a computed box that the calculation leaves as it is.
const QString kUnchanged = QStringLiteral("<unchanged>");

QString shown(const std::optional<QString> &text)
{
    return text ? *text : kUnchanged;
}

} // namespace

class TestSaleCalculation : public QObject
{
    Q_OBJECT

private slots:
    void calculation_data();
    void calculation();
    void recordConversion_data();
    void recordConversion();
    void convertedRecord();
    void storedValuesAreTheShownDecimals_data();
    void storedValuesAreTheShownDecimals();
    void quantitySteps_data();
    void quantitySteps();
};

void TestSaleCalculation::calculation_data()
{
    QTest::addColumn<QString>("salePrice");
    QTest::addColumn<QString>("quantity");
    QTest::addColumn<QString>("purchasePrice");
    QTest::addColumn<Source>("source");
    QTest::addColumn<QString>("saleTotal");
    QTest::addColumn<QString>("profit");
    QTest::addColumn<QString>("error");

    QTest::newRow("total and profit") << "12.5" << "2" << "10" << Source::SalePrice << "25" << "5" << "";
    QTest::newRow("no rounding to cents") << "2.5" << "3" << "" << Source::Quantity << "7.5" << kUnchanged << "";
    QTest::newRow("fractional quantity") << "3" << "1.5" << "" << Source::Quantity << "4.5" << kUnchanged << "";
    QTest::newRow("purchase price emptied") << "3" << "1.5" << "" << Source::PurchasePrice << "4.5" << "0" << "";
    QTest::newRow("purchase above sale price") << "10" << "2" << "12.5" << Source::PurchasePrice << "20" << "-5" << "";
    QTest::newRow("no sale price") << "" << "2" << "10" << Source::PurchasePrice << kUnchanged << kUnchanged << "";
    QTest::newRow("no quantity") << "5" << "" << "10" << Source::SalePrice << kUnchanged << kUnchanged << "";
    QTest::newRow("binary fractions") << "0.1" << "3" << "0.2" << Source::SalePrice << "0.3" << "-0.3" << "";
    QTest::newRow("fifteen significant digits") << "1" << "0.1234567890123456789" << "" << Source::Quantity
                                                << "0.123456789012346" << kUnchanged << "";
    QTest::newRow("large values in scientific notation") << "1e20" << "100000" << "" << Source::SalePrice << "1E25"
                                                          << kUnchanged << "";
    // Exact decimals of the typed texts: what a shop works out by hand, not binary noise.
    QTest::newRow("loss below the purchase price") << "87.1" << "1" << "88" << Source::SalePrice << "87.1" << "-0.9" << "";
    QTest::newRow("thousandths times a thousand") << "1.005" << "1000" << "1" << Source::Quantity << "1005" << "5"
                                                  << "";
    QTest::newRow("fifteen digits kept whole") << "123456789012.345" << "1" << "0.005" << Source::SalePrice
                                               << "123456789012.345" << "123456789012.34" << "";
    QTest::newRow("rounded half away from zero") << "0.3333333333333335" << "1" << "0.6666666666666665"
                                                 << Source::SalePrice << "0.333333333333334" << "-0.333333333333333"
                                                 << "";
    QTest::newRow("negative quantity") << "19.9" << "-3" << "20.1" << Source::Quantity << "-59.7" << "0.6" << "";
    QTest::newRow("very small") << "0.000001" << "0.000002" << "" << Source::Quantity << "2E-12" << kUnchanged << "";
    QTest::newRow("small, still in fixed notation") << "0.001" << "0.01" << "" << Source::Quantity << "0.00001"
                                                    << kUnchanged << "";
    QTest::newRow("zero quantity") << "7" << "0" << "3" << Source::Quantity << "0" << "0" << "";
    QTest::newRow("lone decimal point") << "." << "2" << "10" << Source::SalePrice << "" << ""
                                        << "'.' is not a valid floating point value";
    QTest::newRow("a blank is no number") << " " << "2" << "" << Source::SalePrice << "" << ""
                                          << "' ' is not a valid floating point value";
    QTest::newRow("letters in the purchase price") << "12.5" << "2" << "abc" << Source::PurchasePrice << "" << ""
                                                   << "'abc' is not a valid floating point value";
}

void TestSaleCalculation::calculation()
{
    QFETCH(QString, salePrice);
    QFETCH(QString, quantity);
    QFETCH(QString, purchasePrice);
    QFETCH(Source, source);
    QFETCH(QString, error);

    try {
        const SaleCalculation::Result result = SaleCalculation::calculate(salePrice, quantity, purchasePrice, source);
        QVERIFY2(error.isEmpty(), qPrintable(QStringLiteral("expected the error ") + error));
        QTEST(shown(result.saleTotal), "saleTotal");
        QTEST(shown(result.profit), "profit");
    } catch (const ConversionError &conversion) {
        QCOMPARE(conversion.message(), error);
    }
}

namespace {

SaleEntry validEntry()
{
    SaleEntry entry;
    entry.category = QStringLiteral(" 鞋类 ");
    entry.goodsName = QStringLiteral("运动鞋\t");
    entry.goodsCode = QString();
    entry.model = QStringLiteral(" ");
    entry.purchasePrice = QStringLiteral("10");
    entry.salePrice = QStringLiteral("12.5");
    entry.quantity = QStringLiteral("2");
    entry.saleTotal = QStringLiteral("25");
    entry.profit = QStringLiteral("5");
    entry.amountOwed = QStringLiteral(" 0 ");
    entry.customer = QStringLiteral(" 张三");
    entry.mobile = QStringLiteral("13800000000 ");
    entry.unit = QStringLiteral("双");
    entry.remarks = QString();
    entry.saleDate = QStringLiteral("2014-03-12");
    return entry;
}

} // namespace

void TestSaleCalculation::recordConversion_data()
{
    QTest::addColumn<QString>("field");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("error");

    QTest::newRow("emptied amount owed") << "amountOwed" << "" << "'' is not a valid floating point value";
    QTest::newRow("letters in purchase price") << "purchasePrice" << "abc" << "'abc' is not a valid floating point value";
    QTest::newRow("computed profit left empty") << "profit" << "" << "'' is not a valid floating point value";
    QTest::newRow("no such day") << "saleDate" << "2014-02-30" << "'2014-02-30' is not a valid date";
    QTest::newRow("no date") << "saleDate" << "" << "'' is not a valid date";
    QTest::newRow("short date form") << "saleDate" << "2014-3-2" << "";
}

void TestSaleCalculation::recordConversion()
{
    QFETCH(QString, field);
    QFETCH(QString, text);
    QFETCH(QString, error);

    SaleEntry entry = validEntry();
    QString *target = field == QLatin1String("amountOwed")      ? &entry.amountOwed
                      : field == QLatin1String("purchasePrice") ? &entry.purchasePrice
                      : field == QLatin1String("profit")        ? &entry.profit
                                                                : &entry.saleDate;
    *target = text;
    // A later bad box must not hide an earlier one: the first in column order is named.
    if (field != QLatin1String("saleDate"))
        entry.saleDate = QStringLiteral("not a date");
    try {
        SaleRecord::fromEntry(entry);
        QVERIFY2(error.isEmpty(), qPrintable(QStringLiteral("expected the error ") + error));
    } catch (const ConversionError &conversion) {
        QCOMPARE(conversion.message(), error);
    }
}

void TestSaleCalculation::convertedRecord()
{
    const SaleRecord record = SaleRecord::fromEntry(validEntry());
    const QList<std::pair<QString, QVariant>> columns = record.columnValues();
    QStringList names;
    for (const auto &column : columns)
        names << column.first;
    QCOMPARE(names, QStringList({"a", "b", "c", "d", "1", "2", "3", "6", "4", "5", "e", "f", "h", "z", "day1"}));

    QCOMPARE(record.category, QStringLiteral("鞋类"));
    QCOMPARE(record.goodsName, QStringLiteral("运动鞋"));
    QCOMPARE(record.model, QString());
    QCOMPARE(record.customer, QStringLiteral("张三"));
    QCOMPARE(record.mobile, QStringLiteral("13800000000"));
    QCOMPARE(record.salePrice, 12.5);
    QCOMPARE(record.saleTotal, 25.0);
    QCOMPARE(record.amountOwed, 0.0);
    QCOMPARE(record.saleDate, QDate(2014, 3, 12));
}

void TestSaleCalculation::storedValuesAreTheShownDecimals_data()
{
    QTest::addColumn<QString>("salePrice");
    QTest::addColumn<QString>("quantity");
    QTest::addColumn<QString>("purchasePrice");
    QTest::addColumn<double>("saleTotal");
    QTest::addColumn<double>("profit");

    QTest::newRow("87.1 against 88") << "87.1" << "1" << "88" << 87.1 << -0.9;
    QTest::newRow("0.8 profit") << "3.6" << "2" << "3.2" << 7.2 << 0.8;
    QTest::newRow("6.8 profit") << "10.7" << "4" << "9" << 42.8 << 6.8;
    QTest::newRow("-7.2 profit") << "1.1" << "9" << "1.9" << 9.9 << -7.2;
}

// The record written is the double nearest to the decimal shown, so the grid, the report
// and the export of a new sale read -0.9, not -0.900000000000006.
void TestSaleCalculation::storedValuesAreTheShownDecimals()
{
    QFETCH(QString, salePrice);
    QFETCH(QString, quantity);
    QFETCH(QString, purchasePrice);

    const SaleCalculation::Result result =
        SaleCalculation::calculate(salePrice, quantity, purchasePrice, Source::SalePrice);
    SaleEntry entry = validEntry();
    entry.salePrice = salePrice;
    entry.quantity = quantity;
    entry.purchasePrice = purchasePrice;
    entry.saleTotal = result.saleTotal.value();
    entry.profit = result.profit.value();
    const SaleRecord record = SaleRecord::fromEntry(entry);
    QTEST(record.saleTotal, "saleTotal");
    QTEST(record.profit, "profit");
    QCOMPARE(NumberFormat::general(record.profit), entry.profit);
}

void TestSaleCalculation::quantitySteps_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("delta");
    QTest::addColumn<QString>("stepped");

    QTest::newRow("up from one") << "1" << 1 << "2";
    QTest::newRow("not below one") << "1" << -1 << "1";
    QTest::newRow("up to the top") << "99" << 1 << "100";
    QTest::newRow("not above a hundred") << "100" << 1 << "100";
    QTest::newRow("whole part of a fraction") << "5.7" << 1 << "6";
    QTest::newRow("down from above the range") << "250" << -1 << "99";
    QTest::newRow("no number") << "" << 1 << "2";
}

void TestSaleCalculation::quantitySteps()
{
    QFETCH(QString, text);
    QFETCH(int, delta);
    QTEST(QuantitySteps::step(text, delta), "stepped");
}

QTEST_GUILESS_MAIN(TestSaleCalculation)
#include "tst_salecalculation.moc"
