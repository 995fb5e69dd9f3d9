#include "clock.h"
#include "connection.h"
#include "customerdebts.h"
#include "datamodule.h"
#include "dayendreport.h"
#include "testworkspace.h"

#include <QtTest>
#include <map>
#include <memory>
#include <random>

namespace {

// Every amount of the fixture is a whole number of cents, so the expected figures are
// plain integer sums, made here from what the fixture wrote, not read back.
using Cents = long long;

struct KnownSale
{
    QDate day;
    QString operatorName;
    QString goods;
    Cents total;
    Cents profit;
    Cents owedAtEntry;
    QString customer;
};

struct KnownPayment
{
    QDate day;
    QString operatorName;
    Cents amount;
};

struct Expected
{
    int sales = 0;
    Cents total = 0;
    Cents profit = 0;
    Cents newOwed = 0;
    Cents paid = 0;
};

QDate day(int d)
{
    return QDate(2024, 3, d);
}

DayEndReport::Units units(Cents cents)
{
    return DayEndReport::Units(cents * 100);
}

QString money(Cents cents)
{
    return DayEndReport::amountText(units(cents));
}

QString figuresText(const DayEndReport::Figures &figures)
{
    return QStringLiteral("%1 sales, total %2, profit %3, owed %4, paid %5, cash %6")
        .arg(figures.sales)
        .arg(DayEndReport::amountText(figures.salesTotal), DayEndReport::amountText(figures.profit),
             DayEndReport::amountText(figures.newOwed), DayEndReport::amountText(figures.paymentsReceived),
             DayEndReport::amountText(figures.cashExpected()));
}

QString expectedText(const Expected &e)
{
    return QStringLiteral("%1 sales, total %2, profit %3, owed %4, paid %5, cash %6")
        .arg(e.sales)
        .arg(money(e.total), money(e.profit), money(e.newOwed), money(e.paid), money(e.total - e.newOwed + e.paid));
}

} // namespace

// The day-end figures against sums made independently from the sales and payments the
// fixture wrote: payments on sales of earlier days count on the day they were taken,
// and what they took off a sale counts back into that sale's amount owed.
class DayEndReportTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void figures_data();
    void figures();
    void operatorsListed();

private:
    Connection &db() { return *m_data->ADOConnection1; }
    void addSale(const KnownSale &sale, bool withTimeOfDay);
    void pay(int onDay, const QString &operatorName, const QString &customer, Cents amount);

    std::unique_ptr<TestWorkspace> m_workspace;
    std::unique_ptr<Tdmfm> m_data;
    std::vector<KnownSale> m_sales;
    std::vector<KnownPayment> m_payments;
};

void DayEndReportTest::addSale(const KnownSale &sale, bool withTimeOfDay)
{
    const QVariant saleDay = withTimeOfDay ? QVariant(QDateTime(sale.day, QTime(18, 30, 0))) : QVariant(sale.day);
    db().execute(QStringLiteral("insert into data (a,b,c,d,\"1\",\"2\",\"3\",\"6\",\"4\",\"5\",e,f,h,z,day1,o) "
                                "values ('类',?,?,'',1,1,?,?,?,?,?,'','','',?,'1')"),
                 {sale.goods, QStringLiteral("SP-") + sale.goods, 2.0, sale.total / 100.0, sale.profit / 100.0,
                  sale.owedAtEntry / 100.0, sale.customer, saleDay});
    const qint64 key = db().lastInsertRowId();
    // Sales from before operators were recorded have no origin at all.
    if (!sale.operatorName.isEmpty())
        db().execute(QStringLiteral("insert into sale_origins (sale_key, sold_by, sold_on, sold_at) values (?, ?, 'till', ?)"),
                     {key, sale.operatorName, QDateTime(sale.day, QTime(9, 0))});
    m_sales.push_back(sale);
}

void DayEndReportTest::pay(int onDay, const QString &operatorName, const QString &customer, Cents amount)
{
    Clock::setFixedNow(QDateTime(day(onDay), QTime(17, 45, 0)));
    m_data->setOperatorName(operatorName);
    for (const CustomerDebt &debt : CustomerDebts::load(db())) {
        if (debt.customer.name == customer) {
            CustomerDebts::pay(db(), debt, units(amount));
            m_payments.push_back({day(onDay), operatorName, amount});
            return;
        }
    }
    QFAIL("no such customer");
}

void DayEndReportTest::initTestCase()
{
    m_workspace = std::make_unique<TestWorkspace>();
    m_data = std::make_unique<Tdmfm>(m_workspace->dataSource());
    std::mt19937 random(28);
    auto pick = [&](int from, int to) { return std::uniform_int_distribution<int>(from, to)(random); };
    const QStringList operators{QStringLiteral("小王"), QStringLiteral("小李"), QString()};
    const QStringList customers{QStringLiteral("张三"), QStringLiteral("李四"), QStringLiteral("王五")};
    // Days 4 to 7 of March, the 3rd and 8th around them so the range's edges matter.
    for (int d = 3; d <= 8; ++d) {
        for (int i = 0; i < 14; ++i) {
            KnownSale sale;
            sale.day = day(d);
            sale.operatorName = operators[pick(0, 2)];
            sale.goods = QStringLiteral("货%1").arg(pick(1, 14));
            sale.total = pick(100, 99999);
            sale.profit = pick(-2000, sale.total / 2);
            sale.owedAtEntry = pick(0, 3) == 0 ? pick(1, int(sale.total)) : 0;
            sale.customer = sale.owedAtEntry ? customers[pick(0, 2)] : QString();
            addSale(sale, i == 13);
        }
    }
    // A customer's credit sale (a prepayment) counts as stored.
    addSale({day(5), QStringLiteral("小王"), QStringLiteral("货1"), 5000, 1000, -3000, QStringLiteral("赵六")}, false);
    // Payments on sales of earlier days and of the same day, by different operators.
    pay(4, QStringLiteral("小李"), QStringLiteral("张三"), 1234);
    pay(5, QStringLiteral("小王"), QStringLiteral("李四"), 2001);
    pay(5, QStringLiteral("小李"), QStringLiteral("张三"), 777);
    pay(6, QStringLiteral("小王"), QStringLiteral("王五"), 4321);
    pay(7, QStringLiteral("店长"), QStringLiteral("李四"), 1500);
    pay(8, QStringLiteral("小李"), QStringLiteral("张三"), 999);
    Clock::setFixedNow(std::nullopt);
}

void DayEndReportTest::cleanupTestCase()
{
    m_data.reset();
    m_workspace.reset();
}

void DayEndReportTest::figures_data()
{
    QTest::addColumn<QDate>("from");
    QTest::addColumn<QDate>("to");
    QTest::addColumn<bool>("all");
    QTest::addColumn<QString>("operatorName");
    QTest::newRow("one day, all") << day(5) << day(5) << true << QString();
    QTest::newRow("range, all") << day(4) << day(7) << true << QString();
    QTest::newRow("range, one operator") << day(4) << day(7) << false << QStringLiteral("小王");
    QTest::newRow("one day, another operator") << day(6) << day(6) << false << QStringLiteral("小李");
    QTest::newRow("sales without an operator") << day(3) << day(8) << false << QString();
    QTest::newRow("an operator with payments only") << day(7) << day(7) << false << QStringLiteral("店长");
    QTest::newRow("a day without anything") << day(20) << day(21) << true << QString();
}

void DayEndReportTest::figures()
{
    QFETCH(QDate, from);
    QFETCH(QDate, to);
    QFETCH(bool, all);
    QFETCH(QString, operatorName);
    auto inRange = [&](const QDate &d) { return d >= from && d <= to; };
    auto counted = [&](const QString &name) { return all || name == operatorName; };

    std::map<QString, Expected> expected;
    Expected total;
    std::map<QString, std::pair<Cents, int>> goods;
    for (const KnownSale &sale : m_sales) {
        if (!inRange(sale.day) || !counted(sale.operatorName))
            continue;
        for (Expected *e : {&expected[sale.operatorName], &total}) {
            ++e->sales;
            e->total += sale.total;
            e->profit += sale.profit;
            e->newOwed += sale.owedAtEntry;
        }
        goods[sale.goods].first += sale.total;
        ++goods[sale.goods].second;
    }
    for (const KnownPayment &payment : m_payments) {
        if (!inRange(payment.day) || !counted(payment.operatorName))
            continue;
        expected[payment.operatorName].paid += payment.amount;
        total.paid += payment.amount;
    }

    const DayEndReport::Report report = DayEndReport::compute(db(), {from, to, all, operatorName});
    QStringList shown;
    for (const DayEndReport::OperatorFigures &row : report.operators)
        shown << row.operatorName + QStringLiteral(": ") + figuresText(row.figures);
    QStringList wanted;
    for (const auto &[name, e] : expected) {
        if (!name.isEmpty())
            wanted << name + QStringLiteral(": ") + expectedText(e);
    }
    // Sales without a recorded operator come last.
    if (expected.count(QString()))
        wanted << QStringLiteral(": ") + expectedText(expected[QString()]);
    QCOMPARE(shown, wanted);
    QCOMPARE(figuresText(report.total), expectedText(total));

    // The ten goods with the largest totals, largest first.
    std::vector<std::pair<Cents, QString>> ranked;
    for (const auto &[name, figures] : goods)
        ranked.push_back({figures.first, name});
    std::sort(ranked.begin(), ranked.end(), [](const auto &a, const auto &b) {
        return a.first != b.first ? a.first > b.first : a.second < b.second;
    });
    QStringList top;
    for (size_t i = 0; i < ranked.size() && i < 10; ++i)
        top << ranked[i].second + QLatin1Char('|') + money(ranked[i].first) + QLatin1Char('|')
                   + QString::number(goods[ranked[i].second].second);
    QStringList reportedTop;
    for (const DayEndReport::GoodsFigures &item : report.topGoods)
        reportedTop << item.name + QLatin1Char('|') + DayEndReport::amountText(item.total) + QLatin1Char('|')
                           + QString::number(item.sales);
    QCOMPARE(reportedTop, top);
    QVERIFY(report.topGoods.size() <= 10);
}

void DayEndReportTest::operatorsListed()
{
    QCOMPARE(DayEndReport::operatorsOf(db()), (QStringList{QStringLiteral("小李"), QStringLiteral("小王"), QStringLiteral("店长")}));
}

QTEST_MAIN(DayEndReportTest)
#include "tst_dayendreport.moc"
