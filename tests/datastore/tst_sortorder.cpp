#include "sortorder.h"

#include <QtTest>
#include <random>

// The in-memory sorts behind every sort of the grid: keys beyond sixteen bits take
// more than one radix pass, and a pass that all keys share a digit of is skipped, so
// both are where an off-by-one would hide.
class SortOrderTest : public QObject
{
    Q_OBJECT

private slots:
    void pairsComeInKeyOrder_data();
    void pairsComeInKeyOrder();
    void equalKeysKeepTheirOrder();
};

void SortOrderTest::pairsComeInKeyOrder_data()
{
    QTest::addColumn<QList<qint64>>("keys");
    QTest::newRow("nothing") << QList<qint64>{};
    QTest::newRow("one") << QList<qint64>{7};
    QTest::newRow("within one digit") << QList<qint64>{5, 3, 9, 1};
    QTest::newRow("across digits") << QList<qint64>{70000, 3, 65536, 65535, 1LL << 40, 2};
    QTest::newRow("negative and large") << QList<qint64>{-1, 4, -70000, (1LL << 62) + 5, 0, -(1LL << 50)};
    QTest::newRow("high digits only differ") << QList<qint64>{3LL << 48, 1LL << 48, 2LL << 48};
}

void SortOrderTest::pairsComeInKeyOrder()
{
    QFETCH(QList<qint64>, keys);
    std::vector<double> values;
    for (qint64 key : keys)
        values.push_back(double(key) / 2);
    const std::vector<SortOrder::KeyedValue> sorted =
        SortOrder::byKey(std::vector<qint64>(keys.begin(), keys.end()), std::move(values));

    QList<qint64> expected = keys;
    std::sort(expected.begin(), expected.end());
    QCOMPARE(qsizetype(sorted.size()), expected.size());
    for (qsizetype i = 0; i < expected.size(); ++i) {
        QCOMPARE(sorted[size_t(i)].key, expected[i]);
        QCOMPARE(sorted[size_t(i)].value, double(expected[i]) / 2); // each value stays with its key
    }
}

void SortOrderTest::equalKeysKeepTheirOrder()
{
    // Ten thousand keys from a few values, in random order: the positions of equal keys
    // must come out ascending, and the keys in order.
    std::mt19937 random(7);
    std::vector<std::uint64_t> keys(10000);
    for (auto &key : keys)
        key = std::uint64_t(random() % 5) << 33 | (random() % 3);
    const std::vector<std::uint64_t> copy = keys;
    const std::vector<int> order = SortOrder::stableOrderOf(std::move(keys));
    QCOMPARE(order.size(), copy.size());
    for (size_t i = 1; i < order.size(); ++i) {
        const std::uint64_t before = copy[size_t(order[i - 1])];
        const std::uint64_t after = copy[size_t(order[i])];
        QVERIFY(before <= after);
        if (before == after)
            QVERIFY(order[i - 1] < order[i]);
    }
}

QTEST_MAIN(SortOrderTest)
#include "tst_sortorder.moc"
