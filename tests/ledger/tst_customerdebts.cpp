#include "clock.h"
#include "connection.h"
#include "customerdebts.h"
#include "databasetool.h"
#include "datagrid.h"
#include "datamodule.h"
#include "ledgerbackup.h"
#include "ledgergrid.h"
#include "salejournal.h"
#include "schema.h"
#include "testfaults.h"
#include "testworkspace.h"

#include <QCoreApplication>
#include <QProcess>
#include <QtTest>
#include <memory>
#include <random>
#include <thread>

namespace {

// One sale as far as debts go; an invalid QVariant is stored as null.
struct DebtSale
{
    QVariant name;
    QVariant mobile;
    QVariant owed;
    QVariant day = QDate(2014, 3, 12);
    QString goods = QStringLiteral("商品");
};

void addDebtSale(Connection &connection, const DebtSale &sale)
{
    connection.execute(QStringLiteral("insert into data (a,b,c,d,\"1\",\"2\",\"3\",\"6\",\"4\",\"5\",e,f,h,z,day1,o) "
                                      "values ('类',?,'','',1,1,1,1,0,?,?,?,'','',?,'1')"),
                       {sale.goods, sale.owed, sale.name, sale.mobile, sale.day});
}

// A list row as text: name|mobile|amount|sales|oldest|newest.
QString rowText(const CustomerDebt &debt)
{
    return QStringList{debt.listName(),
                       debt.customer.mobile,
                       debt.owedText(),
                       QString::number(debt.sales),
                       debt.oldest.toString(Qt::ISODate),
                       debt.newest.toString(Qt::ISODate)}
        .join(QLatin1Char('|'));
}

QStringList rowTexts(const QList<CustomerDebt> &debts)
{
    QStringList rows;
    for (const CustomerDebt &debt : debts)
        rows << rowText(debt);
    return rows;
}

const CustomerDebt *find(const QList<CustomerDebt> &debts, const QString &name, const QString &mobile = {})
{
    for (const CustomerDebt &debt : debts) {
        if (debt.customer == CustomerKey{name, mobile})
            return &debt;
    }
    return nullptr;
}

QDate day(int d)
{
    return QDate(2014, 3, d);
}

} // namespace

Q_DECLARE_METATYPE(QList<DebtSale>)

class CustomerDebtsTest : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void grouping_data();
    void grouping();
    void totalsEqualTheLedgerFooter_data();
    void totalsEqualTheLedgerFooter();
    void search_data();
    void search();
    void salesOfACustomer();
    void longCustomerTextsAreListed();

    void settleZeroesTheCustomersSalesOnly();
    void payment_data();
    void payment();
    void refusedPayments_data();
    void refusedPayments();
    void changedByAnotherTerminal_data();
    void changedByAnotherTerminal();
    void changedWhileThisTerminalWrites();
    void failureHalfwayLeavesNothingChanged_data();
    void failureHalfwayLeavesNothingChanged();
    void paymentsFollowSalesThroughRecycleBinAndCopy();

private:
    Connection &db() { return *m_data->ADOConnection1; }
    // The amounts owed of the sales, by goods name, in the order of the names given.
    QStringList amounts(const QStringList &goods);
    QString ledgerFooter();
    // The payments on record, oldest first: customer|mobile|amount|operator|terminal|time,
    // then each sale it reduced as goods:amount.
    QStringList paymentRecords();

    std::unique_ptr<TestWorkspace> m_workspace;
    std::unique_ptr<Tdmfm> m_data;
};

void CustomerDebtsTest::init()
{
    m_workspace = std::make_unique<TestWorkspace>();
    m_data = std::make_unique<Tdmfm>(m_workspace->dataSource());
}

void CustomerDebtsTest::cleanup()
{
    m_data.reset();
    m_workspace.reset();
}

QStringList CustomerDebtsTest::amounts(const QStringList &goods)
{
    QStringList result;
    for (const QString &name : goods) {
        const QVariant value = db().scalar(QStringLiteral("select \"5\" from data where b=?"), {name});
        result << (value.isNull() ? QStringLiteral("null") : CustomerDebts::amountText(CustomerDebts::unitsOf(value.toDouble())));
    }
    return result;
}

QStringList CustomerDebtsTest::paymentRecords()
{
    QStringList records;
    Statement payments = db().prepare(QStringLiteral("select rowid, customer_name, customer_mobile, amount, paid_by, paid_on, "
                                                     "paid_at from payments order by rowid"));
    while (payments.step()) {
        QStringList fields{payments.value(1).toString(), payments.value(2).toString(),
                           CustomerDebts::amountText(CustomerDebts::unitsOf(payments.doubleValue(3))),
                           payments.value(4).toString(), payments.value(5).toString(),
                           SaleJournal::timeRead(payments.value(6)).toString(Qt::ISODate)};
        Statement parts = db().prepare(QStringLiteral("select d.b, s.amount from payment_sales s left join data d "
                                                      "on d.rowid=s.sale_key where s.payment_key=? order by s.rowid"));
        parts.bind({payments.value(0)});
        while (parts.step())
            fields << parts.value(0).toString() + QLatin1Char(':')
                          + CustomerDebts::amountText(CustomerDebts::unitsOf(parts.doubleValue(1)));
        records << fields.join(QLatin1Char('|'));
    }
    return records;
}

// The 欠款金额 footer of the ledger grid over every record.
QString CustomerDebtsTest::ledgerFooter()
{
    DataGrid grid;
    LedgerGrid::configure(grid);
    LedgerController ledger(grid);
    ledger.attach(m_data->ADOQuery15);
    ledger.showAllRecords();
    return grid.footerTextAt(grid.positionOfField(QStringLiteral("5")));
}

void CustomerDebtsTest::grouping_data()
{
    QTest::addColumn<QList<DebtSale>>("sales");
    QTest::addColumn<QStringList>("rows");
    const QVariant null;

    QTest::newRow("trimmed names and mobiles are one customer")
        << QList<DebtSale>{{" 张三 ", "13800000000 ", 10, day(3)},
                           {"张三", "13800000000", 5, day(1)},
                           {QStringLiteral("张三\u3000"), QStringLiteral("\t13800000000"), 1.5, day(9)}}
        << QStringList{"张三|13800000000|16.5|3|2014-03-01|2014-03-09"};
    QTest::newRow("same name, other mobiles are other customers")
        << QList<DebtSale>{{"张三", "13800000000", 10}, {"张三", "13900000000", 20}, {"张三", "", 5}}
        << QStringList{"张三|13900000000|20|1|2014-03-12|2014-03-12", "张三|13800000000|10|1|2014-03-12|2014-03-12",
                       "张三||5|1|2014-03-12|2014-03-12"};
    QTest::newRow("no name and no mobile, however stored, are one row")
        << QList<DebtSale>{{"", "", 5}, {null, null, 7}, {"  ", null, 1}, {"", "13700000000", 3}}
        << QStringList{"（未填客户）||13|3|2014-03-12|2014-03-12", "|13700000000|3|1|2014-03-12|2014-03-12"};
    QTest::newRow("letter case tells customers apart")
        << QList<DebtSale>{{"Li", "", 2}, {"li", "", 1}}
        << QStringList{"Li||2|1|2014-03-12|2014-03-12", "li||1|1|2014-03-12|2014-03-12"};
    // A negative amount is money the shop owes the customer (a prepayment, a refund
    // not yet paid): it counts into the total as the ledger footer counts it. Credits
    // go last; a customer whose sales cancel out stays listed with 0.
    QTest::newRow("negative amounts")
        << QList<DebtSale>{{"李四", "", 100, day(2)}, {"李四", "", -30, day(5)}, {"王五", "", -20, day(1)},
                           {"赵六", "", 10, day(3)}, {"赵六", "", -10, day(4)}}
        << QStringList{"李四||70|2|2014-03-02|2014-03-05", "赵六||0|2|2014-03-03|2014-03-04",
                       "王五||-20|1|2014-03-01|2014-03-01"};
    QTest::newRow("nulls and zeros owe nothing; a sale without a date has none")
        << QList<DebtSale>{{"钱七", "", 0}, {"钱七", "", null}, {"孙八", "", null}, {"孙八", "", 8, null},
                           {"孙八", "", 2, day(7)}, {null, "13600000000", 4, day(8)}}
        << QStringList{"孙八||10|2|2014-03-07|2014-03-07", "|13600000000|4|1|2014-03-08|2014-03-08"};
    QTest::newRow("equal amounts: the longest outstanding first")
        << QList<DebtSale>{{"甲", "", 5, day(9)}, {"乙", "", 5, day(2)}, {"丙", "", 6, day(20)}}
        << QStringList{"丙||6|1|2014-03-20|2014-03-20", "乙||5|1|2014-03-02|2014-03-02",
                       "甲||5|1|2014-03-09|2014-03-09"};
    // Sales brought across from an old ledger keep their time of day.
    QTest::newRow("dates with a time of day")
        << QList<DebtSale>{{"吴十", "", 3, QStringLiteral("2014-03-05 18:30:00")},
                           {"吴十", "", 4, QStringLiteral("2014-03-01 08:05:09")},
                           {"吴十", "", 5, QStringLiteral("2014-03-01 23:59:59")}}
        << QStringList{"吴十||12|3|2014-03-01|2014-03-05"};
    QTest::newRow("nobody owes") << QList<DebtSale>{{"周九", "", 0}} << QStringList{};
}

void CustomerDebtsTest::grouping()
{
    QFETCH(QList<DebtSale>, sales);
    QFETCH(QStringList, rows);
    for (const DebtSale &sale : sales)
        addDebtSale(db(), sale);
    const QList<CustomerDebt> debts = CustomerDebts::load(db());
    QCOMPARE(rowTexts(debts), rows);
    QCOMPARE(CustomerDebts::amountText(CustomerDebts::totalUnits(debts)), ledgerFooter());
}

void CustomerDebtsTest::totalsEqualTheLedgerFooter_data()
{
    QTest::addColumn<QString>("ledger");
    QTest::newRow("halves of the last decimal, thirds, nulls, negatives") << QStringLiteral("edges");
    QTest::newRow("random amounts with up to six decimals") << QStringLiteral("random");
    QTest::newRow("the demo generator's ledger") << QStringLiteral("demo");
    QTest::newRow("amounts of 10^15 and 10^300") << QStringLiteral("huge");
}

// The list's total is the ledger footer's over every record, to the last digit: both
// bring each amount to the nearest 0.0001 before adding, including the amounts that
// lie exactly halfway and those a double cannot hold exactly.
void CustomerDebtsTest::totalsEqualTheLedgerFooter()
{
    QFETCH(QString, ledger);
    if (ledger == QLatin1String("edges")) {
        const QList<QVariant> values{0.03125, 0.00005, -0.00005, 1.0 / 3, 2.0 / 3, 0.1, 0.2, 0.00001, 123456.78905,
                                     -0.03125, 0.00015, 0.00025, QVariant(), -1.0 / 3, 1e9 + 0.00005};
        int i = 0;
        for (const QVariant &value : values)
            addDebtSale(db(), {QStringLiteral("客户%1").arg(i++ % 4), QString(), value});
    } else if (ledger == QLatin1String("random")) {
        std::mt19937 random(12);
        std::uniform_int_distribution<int> customer(0, 40);
        std::uniform_int_distribution<long long> micro(-5'000'000'000LL, 50'000'000'000LL);
        std::uniform_int_distribution<int> scale(0, 3);
        db().beginTransaction();
        for (int i = 0; i < 2000; ++i) {
            const double divisor[] = {1.0, 100.0, 10000.0, 1000000.0};
            const QVariant owed = i % 50 == 0 ? QVariant() : QVariant(double(micro(random)) / divisor[scale(random)]);
            addDebtSale(db(), {QStringLiteral("客户%1").arg(customer(random)), QString(), owed,
                               QDate(2014, 1, 1).addDays(i % 365)});
        }
        db().commit();
    } else if (ledger == QLatin1String("huge")) {
        // What an imported ledger may hold: no customer's total wraps around.
        const QList<QVariant> values{1e15, 0.5, 1e300, -1e300, 1e15 + 2, 0.25};
        int i = 0;
        for (const QVariant &value : values)
            addDebtSale(db(), {QStringLiteral("客户%1").arg(i++ % 3), QString(), value});
    } else {
        DatabaseTool::addDemoSales(db(), 3000, 7);
    }
    const QList<CustomerDebt> debts = CustomerDebts::load(db());
    if (ledger == QLatin1String("huge")) {
        // 10^300 and -10^300 of two customers cancel exactly in the total.
        QCOMPARE(rowTexts(debts), (QStringList{"客户2||1E300|2|2014-03-12|2014-03-12",
                                               "客户1||1E15|2|2014-03-12|2014-03-12",
                                               "客户0||-1E300|2|2014-03-12|2014-03-12"}));
        QCOMPARE(ledgerFooter(), QStringLiteral("2E15"));
    }
    QVERIFY(!debts.isEmpty());
    QCOMPARE(CustomerDebts::amountText(CustomerDebts::totalUnits(debts)), ledgerFooter());
    const qint64 sales = db().scalar(QStringLiteral("select count(*) from data where \"5\"<>0")).toLongLong();
    qint64 counted = 0;
    for (const CustomerDebt &debt : debts)
        counted += debt.sales;
    QCOMPARE(counted, sales);
}

void CustomerDebtsTest::search_data()
{
    QTest::addColumn<QString>("search");
    QTest::addColumn<QStringList>("names");
    QTest::newRow("empty: everybody") << QString() << QStringList{"Wang Li", "张三", "张三丰", "（未填客户）", ""};
    QTest::newRow("blanks: everybody") << QStringLiteral("  ") << QStringList{"Wang Li", "张三", "张三丰", "（未填客户）", ""};
    QTest::newRow("part of a name") << QStringLiteral("张三") << QStringList{"张三", "张三丰"};
    QTest::newRow("part of a mobile") << QStringLiteral("1390") << QStringList{"张三丰", ""};
    QTest::newRow("letter case ignored") << QStringLiteral("wang") << QStringList{"Wang Li"};
    QTest::newRow("typed with blanks") << QStringLiteral(" 丰 ") << QStringList{"张三丰"};
    QTest::newRow("nothing matches") << QStringLiteral("赵") << QStringList{};
}

void CustomerDebtsTest::search()
{
    QFETCH(QString, search);
    QFETCH(QStringList, names);
    const QList<CustomerDebt> debts{{{"Wang Li", "13700000001"}, 1, 1, {}, {}},
                                    {{"张三", "13800000001"}, 1, 1, {}, {}},
                                    {{"张三丰", "13900000001"}, 1, 1, {}, {}},
                                    {{"", ""}, 1, 1, {}, {}},
                                    {{"", "13900000002"}, 1, 1, {}, {}}};
    QStringList found;
    for (const CustomerDebt &debt : debts) {
        if (CustomerDebts::matches(debt, search))
            found << debt.listName();
    }
    QCOMPARE(found, names);
}

// The statement the main grid runs on a double click lists exactly the sales the
// customer's row counts, oldest first, and opens as the ledger's editable keyset.
void CustomerDebtsTest::salesOfACustomer()
{
    addDebtSale(db(), {" 张三", "138", 10, day(5), "帽子"});
    addDebtSale(db(), {"张三", "138 ", 20, day(2), "鞋"});
    addDebtSale(db(), {"张三", "138", 0, day(1), "袜子"});
    addDebtSale(db(), {"张三", "139", 30, day(1), "手套"});
    addDebtSale(db(), {"", "", 40, day(1), "伞"});
    addDebtSale(db(), {QVariant(), QVariant(), 50, day(3), "包"});
    Dataset &ledger = *m_data->ADOQuery15;
    auto goods = [&](const CustomerKey &customer) {
        const SqlStatement statement = CustomerDebts::salesOf(customer);
        ledger.setSql(statement.text, statement.parameters);
        ledger.open();
        QStringList names;
        for (int row = 0; row < ledger.recordCount(); ++row)
            names << ledger.valueAt(row, ledger.fieldIndex(QStringLiteral("b"))).toString();
        return names;
    };
    QCOMPARE(goods({"张三", "138"}), (QStringList{"鞋", "帽子"}));
    QCOMPARE(goods({"", ""}), (QStringList{"伞", "包"}));
    QCOMPARE(goods({"张三'--", "138"}), QStringList{});
    // The keyset can be edited as any ledger query.
    goods({"张三", "139"});
    ledger.edit();
    ledger.setValue(QStringLiteral("z"), QStringLiteral("已联系"));
    ledger.post();
    QCOMPARE(db().scalar(QStringLiteral("select z from data where b='手套'")).toString(), QStringLiteral("已联系"));
}

// No box limits a customer's name: a sale owed by a customer with a name of 100 KB is
// stored and listed, also on a ledger whose list index came before long names.
void CustomerDebtsTest::longCustomerTextsAreListed()
{
    if (db().engine() == Connection::Engine::Server) {
        db().execute(QStringLiteral("create index data_debts on data (e, f, \"5\", day1) where \"5\"<>0"));
        Schema::openLedger(m_workspace->dataSource());
    }
    QString longName;
    QRandomGenerator random(5);
    for (int i = 0; i < 100 * 1024 / 3; ++i) // three bytes each, not compressible
        longName += QChar(char16_t(0x4E00 + random.bounded(0x5000)));
    addDebtSale(db(), {longName, QStringLiteral("13800000001"), 10.0});
    addDebtSale(db(), {longName, QStringLiteral("13800000001"), 10.5});
    addDebtSale(db(), {longName, longName.left(500), 5.0});
    addDebtSale(db(), {QStringLiteral("张三"), QString(), 3.0});

    const QList<CustomerDebt> debts = CustomerDebts::load(db());
    QCOMPARE(debts.size(), 3);
    const CustomerDebt *owing = find(debts, longName, QStringLiteral("13800000001"));
    QVERIFY(owing);
    QCOMPARE(owing->owedText(), QStringLiteral("20.5"));
    QCOMPARE(owing->sales, 2);
    QVERIFY(find(debts, longName, longName.left(500)));
    QVERIFY(find(debts, QStringLiteral("张三")));
    QCOMPARE(CustomerDebts::amountText(CustomerDebts::totalUnits(debts)), QStringLiteral("28.5"));
}

void CustomerDebtsTest::settleZeroesTheCustomersSalesOnly()
{
    addDebtSale(db(), {"张三", "138", 10.25, day(5), "A"});
    addDebtSale(db(), {" 张三 ", "138", -3, day(6), "B"});
    addDebtSale(db(), {"张三", "138", 0, day(7), "C"});
    addDebtSale(db(), {"张三", "138", QVariant(), day(8), "D"});
    addDebtSale(db(), {"张三", "139", 7, day(5), "E"});
    addDebtSale(db(), {"李四", "138", 9, day(5), "F"});
    const QList<CustomerDebt> before = CustomerDebts::load(db());
    const CustomerDebt *zhang = find(before, "张三", "138");
    QVERIFY(zhang);
    QCOMPARE(zhang->owedText(), QStringLiteral("7.25"));

    m_data->setOperatorName(QStringLiteral("店长"));
    Clock::setFixedNow(QDateTime(QDate(2014, 3, 20), QTime(18, 5, 7)));
    const CustomerDebts::Settlement settlement = CustomerDebts::settle(db(), *zhang);
    Clock::setFixedNow(std::nullopt);
    // One payment for the settle, naming each sale it changed and what it took from it,
    // the credit included.
    const QString terminal = SaleJournal::thisTerminal();
    QCOMPARE(paymentRecords(),
             QStringList{QStringLiteral("张三|138|7.25|店长|%1|2014-03-20T18:05:07|A:10.25|B:-3").arg(terminal)});
    const QList<CustomerDebts::Payment> listed = CustomerDebts::paymentsOf(db(), {"张三", "138"});
    QCOMPARE(listed.size(), 1);
    QCOMPARE(listed[0].key, settlement.paymentKey);
    QCOMPARE(listed[0].sales, 2);
    QCOMPARE(CustomerDebts::amountText(listed[0].units), QStringLiteral("7.25"));
    QVERIFY(CustomerDebts::paymentsOf(db(), {"张三", "139"}).isEmpty());
    // One row of old values in the history per sale the settle changed.
    QCOMPARE(db().scalar(QStringLiteral("select count(*) from sale_changes")).toInt(), 2);
    QCOMPARE(db().scalar(QStringLiteral("select count(*) from sale_changes where changed_by='店长' and b='A' and \"5\"=10.25")).toInt(), 1);
    QCOMPARE(db().scalar(QStringLiteral("select count(*) from sale_changes where b='B' and \"5\"=-3")).toInt(), 1);
    QCOMPARE(CustomerDebts::amountText(settlement.paidUnits), QStringLiteral("7.25"));
    QCOMPARE(CustomerDebts::amountText(settlement.remainingUnits), QStringLiteral("0"));
    QCOMPARE(settlement.changedSales, 2);
    QCOMPARE(amounts({"A", "B", "C", "D", "E", "F"}), (QStringList{"0", "0", "0", "null", "7", "9"}));
    const QList<CustomerDebt> after = CustomerDebts::load(db());
    QVERIFY(!find(after, "张三", "138"));
    QCOMPARE(after.size(), 2);
    QCOMPARE(ledgerFooter(), QStringLiteral("16"));
}

void CustomerDebtsTest::payment_data()
{
    QTest::addColumn<QString>("payment");
    QTest::addColumn<QStringList>("remaining");
    QTest::addColumn<QString>("owedAfter");
    QTest::addColumn<QString>("parts");
    // Sales oldest first: 30 (day 1), a credit of -10 (day 2), 50.5 (day 3), 20 (day 4),
    // and 0.33333 (no date: oldest of all). Owed in all: 90.8333.
    QTest::newRow("within the oldest sale")
        << "0.2" << QStringList{"0.1333", "30", "-10", "50.5", "20"} << "90.6333" << "Z:0.2";
    QTest::newRow("exactly the two oldest")
        << "30.3333" << QStringList{"0", "0", "-10", "50.5", "20"} << "60.5" << "Z:0.3333|A:30";
    QTest::newRow("across sales, the credit left alone")
        << "45.25" << QStringList{"0", "0", "-10", "35.5833", "20"} << "45.5833" << "Z:0.3333|A:30|C:14.9167";
    QTest::newRow("all that is owed")
        << "90.8333" << QStringList{"0", "0", "-10", "0", "10"} << "0" << "Z:0.3333|A:30|C:50.5|D:10";
    QTest::newRow("rounded to the ledger's last decimal")
        << "1.000049" << QStringList{"0", "29.3333", "-10", "50.5", "20"} << "89.8333" << "Z:0.3333|A:0.6667";
}

void CustomerDebtsTest::payment()
{
    QFETCH(QString, payment);
    QFETCH(QStringList, remaining);
    QFETCH(QString, owedAfter);
    QFETCH(QString, parts);
    addDebtSale(db(), {"张三", "", 50.5, day(3), "C"});
    addDebtSale(db(), {"张三", "", 30, day(1), "A"});
    addDebtSale(db(), {"张三", "", 20, day(4), "D"});
    addDebtSale(db(), {"张三", "", -10, day(2), "B"});
    addDebtSale(db(), {"张三", "", 0.33333, QVariant(), "Z"});
    addDebtSale(db(), {"李四", "", 40, day(1), "L"});
    const CustomerDebt *zhang = nullptr;
    const QList<CustomerDebt> before = CustomerDebts::load(db());
    zhang = find(before, "张三");
    QVERIFY(zhang);
    QCOMPARE(zhang->owedText(), QStringLiteral("90.8333"));

    const CustomerDebts::Units units = CustomerDebts::unitsOf(payment.toDouble());
    m_data->setOperatorName(QStringLiteral("收银员甲"));
    const CustomerDebts::Settlement settlement = CustomerDebts::pay(db(), *zhang, units);
    QVERIFY(settlement.paidUnits == units);
    QCOMPARE(paymentRecords().size(), 1);
    QCOMPARE(paymentRecords().value(0).section(QLatin1Char('|'), 0, 3),
             QStringLiteral("张三||%1|收银员甲").arg(CustomerDebts::amountText(units)));
    // What it took from each sale is what each sale lost, and adds up to the payment.
    QCOMPARE(parts, paymentRecords().value(0).section(QLatin1Char('|'), 6));
    QCOMPARE(CustomerDebts::amountText(settlement.remainingUnits), owedAfter);
    QCOMPARE(amounts({"Z", "A", "B", "C", "D"}), remaining);
    QCOMPARE(amounts({"L"}), QStringList{"40"});
    const QList<CustomerDebt> after = CustomerDebts::load(db());
    QCOMPARE(find(after, "张三")->owedText(), owedAfter);
    QCOMPARE(CustomerDebts::amountText(CustomerDebts::totalUnits(after)), ledgerFooter());
}

void CustomerDebtsTest::refusedPayments_data()
{
    QTest::addColumn<double>("payment");
    QTest::addColumn<QString>("refusal");
    QTest::newRow("more than owed") << 60.01 << QStringLiteral("付款金额 60.01 元大于 张三（138） 的欠款 60 元。");
    QTest::newRow("nothing") << 0.0 << QStringLiteral("付款金额必须大于 0。");
    QTest::newRow("negative") << -5.0 << QStringLiteral("付款金额必须大于 0。");
}

void CustomerDebtsTest::refusedPayments()
{
    QFETCH(double, payment);
    QFETCH(QString, refusal);
    addDebtSale(db(), {"张三", "138", 50, day(1), "A"});
    addDebtSale(db(), {"张三", "138", 10, day(2), "B"});
    const CustomerDebt zhang = CustomerDebts::load(db()).value(0);
    const CustomerDebts::Units units = CustomerDebts::unitsOf(payment);
    QCOMPARE(CustomerDebts::paymentRefusal(zhang, units), refusal);
    try {
        CustomerDebts::pay(db(), zhang, units);
        QFAIL("the payment was taken");
    } catch (const AppError &error) {
        QCOMPARE(error.message(), refusal);
    }
    QCOMPARE(amounts({"A", "B"}), (QStringList{"50", "10"}));
    QCOMPARE(paymentRecords(), QStringList());

    // A customer whose sales add up to nothing or to a credit owes nothing to pay or settle.
    addDebtSale(db(), {"王五", "", -5, day(1), "W"});
    const CustomerDebt *wang = nullptr;
    const QList<CustomerDebt> debts = CustomerDebts::load(db());
    wang = find(debts, "王五");
    QVERIFY(wang);
    QCOMPARE(CustomerDebts::paymentRefusal(*wang, 1), QStringLiteral("王五 没有欠款。"));
    QVERIFY_THROWS_EXCEPTION(AppError, CustomerDebts::settle(db(), *wang));
    QCOMPARE(amounts({"W"}), QStringList{"-5"});
}

void CustomerDebtsTest::changedByAnotherTerminal_data()
{
    QTest::addColumn<bool>("settle");
    QTest::addColumn<QString>("statement");
    QTest::addColumn<QStringList>("values");
    QTest::addColumn<bool>("otherProcess");
    QTest::addColumn<QString>("current");
    const QString raise = QStringLiteral("update data set \"5\"=? where b=?");
    const QString add = QStringLiteral("insert into data (b,\"5\",e,f,day1) values (?,?,?,'138','2014-03-20')");
    QTest::newRow("settle: an amount raised, in another process")
        << true << raise << QStringList{"45", "A"} << true << "55";
    QTest::newRow("settle: a sale added for the customer") << true << add << QStringList{"N", "5", "张三"} << false << "65";
    QTest::newRow("pay: one sale paid off elsewhere") << false << raise << QStringList{"0", "B"} << true << "50";
    QTest::newRow("pay: the customer settled elsewhere")
        << false << QStringLiteral("update data set \"5\"=0 where e=?") << QStringList{"张三"} << false << "0";
}

// This terminal read the list; another terminal changed the customer's sales since.
// Settling on the old figures would write what nobody confirmed: it is refused, names
// both totals, and leaves the other terminal's figures as they are.
void CustomerDebtsTest::changedByAnotherTerminal()
{
    QFETCH(bool, settle);
    QFETCH(QString, statement);
    QFETCH(QStringList, values);
    QFETCH(bool, otherProcess);
    QFETCH(QString, current);
    addDebtSale(db(), {"张三", "138", 50, day(1), "A"});
    addDebtSale(db(), {"张三", "138", 10, day(2), "B"});
    const CustomerDebt zhang = CustomerDebts::load(db()).value(0);
    QCOMPARE(zhang.owedText(), QStringLiteral("60"));

    if (otherProcess) {
        QProcess other;
        other.start(QCoreApplication::applicationDirPath() + QStringLiteral("/otherterminal"),
                    QStringList{m_workspace->dataSource().location(), statement} + values);
        QVERIFY(other.waitForFinished(30000));
        QVERIFY2(other.exitStatus() == QProcess::NormalExit && other.exitCode() == 0,
                 other.readAllStandardError().constData());
    } else {
        Connection other(m_workspace->dataSource());
        QVariantList bound;
        for (const QString &value : values)
            bound << value;
        QVERIFY(other.execute(statement, bound) > 0);
    }
    const QStringList figures = amounts({"A", "B"});

    try {
        if (settle)
            CustomerDebts::settle(db(), zhang);
        else
            CustomerDebts::pay(db(), zhang, CustomerDebts::unitsOf(20));
        QFAIL("settled on stale figures");
    } catch (const DebtChangedError &error) {
        QCOMPARE(error.message(), QStringLiteral("张三（138） 的欠款已被其他终端更改（原为 60 元，现为 %1 元），未做任何修改。请核对后重试。")
                                      .arg(current));
        QCOMPARE(CustomerDebts::amountText(error.currentUnits()), current);
    }
    QCOMPARE(amounts({"A", "B"}), figures);
    QCOMPARE(paymentRecords(), QStringList());
}

// Another terminal changes a sale while this one is settling: on the embedded file its
// write holds the lock, so this terminal reads the new figures and refuses; on the
// server this terminal has read the old figures and its write waits for the other's
// commit, after which the write finds the sale changed and refuses.
void CustomerDebtsTest::changedWhileThisTerminalWrites()
{
    addDebtSale(db(), {"张三", "", 50, day(1), "A"});
    addDebtSale(db(), {"张三", "", 10, day(2), "B"});
    const CustomerDebt zhang = CustomerDebts::load(db()).value(0);

    Connection other(m_workspace->dataSource());
    other.beginTransaction();
    QCOMPARE(other.execute(QStringLiteral("update data set \"5\"=44 where b='A'")), 1);
    std::thread committer([&other] {
        std::this_thread::sleep_for(std::chrono::milliseconds(1500));
        other.commit();
    });
    bool refused = false;
    try {
        CustomerDebts::settle(db(), zhang);
    } catch (const DebtChangedError &) {
        refused = true;
    }
    committer.join();
    QVERIFY(refused);
    QCOMPARE(amounts({"A", "B"}), (QStringList{"44", "10"}));
    QCOMPARE(paymentRecords(), QStringList());
}

void CustomerDebtsTest::failureHalfwayLeavesNothingChanged_data()
{
    QTest::addColumn<bool>("settle");
    QTest::addColumn<QString>("table");
    QTest::addColumn<QString>("event");
    QTest::addColumn<QString>("column");
    QTest::addColumn<QString>("value");
    // The second sale's amount; then the payment's row and the rows of the sales it
    // reduced, both written after every amount changed.
    QTest::newRow("settle: a sale's amount") << true << "data" << "update" << "b" << "refused";
    QTest::newRow("partial payment: a sale's amount") << false << "data" << "update" << "b" << "refused";
    QTest::newRow("settle: the payment") << true << "payments" << "insert" << "customer_name" << "张三";
    QTest::newRow("partial payment: the payment") << false << "payments" << "insert" << "customer_name" << "张三";
    QTest::newRow("settle: the sales it reduced") << true << "payment_sales" << "insert" << "" << "";
    QTest::newRow("partial payment: the sales it reduced") << false << "payment_sales" << "insert" << "" << "";
}

// A write fails (the store refuses it) after others in the same transaction were done:
// none of them may stay, neither the amounts nor any part of the payment's record.
void CustomerDebtsTest::failureHalfwayLeavesNothingChanged()
{
    QFETCH(bool, settle);
    QFETCH(QString, table);
    QFETCH(QString, event);
    QFETCH(QString, column);
    QFETCH(QString, value);
    addDebtSale(db(), {"张三", "", 30, day(1), "A"});
    addDebtSale(db(), {"张三", "", 20, day(2), "refused"});
    addDebtSale(db(), {"张三", "", 10, day(3), "C"});
    const CustomerDebt zhang = CustomerDebts::load(db()).value(0);
    if (column.isEmpty())
        TestFaults::refuseWrites(db(), table, event, QStringLiteral("disk full"));
    else
        TestFaults::refuseWritesWhere(db(), table, event, QStringLiteral("disk full"), column, value);
    try {
        if (settle)
            CustomerDebts::settle(db(), zhang);
        else
            CustomerDebts::pay(db(), zhang, CustomerDebts::unitsOf(40));
        QFAIL("the refused write was not reported");
    } catch (const DebtChangedError &) {
        QFAIL("a refused write was taken for another terminal's change");
    } catch (const AppError &error) {
        QVERIFY2(error.message().contains(QStringLiteral("disk full")), qPrintable(error.message()));
    }
    QCOMPARE(amounts({"A", "refused", "C"}), (QStringList{"30", "20", "10"}));
    QCOMPARE(db().scalar(QStringLiteral("select count(*) from sale_changes")).toInt(), 0);
    QCOMPARE(db().scalar(QStringLiteral("select count(*) from payments")).toInt(), 0);
    QCOMPARE(db().scalar(QStringLiteral("select count(*) from payment_sales")).toInt(), 0);
    // The connection is usable afterwards: the next settle of another customer works
    // (where the planted fault spares it).
    if (column.isEmpty())
        return;
    addDebtSale(db(), {"李四", "", 5, day(1), "L"});
    const QList<CustomerDebt> debts = CustomerDebts::load(db());
    CustomerDebts::settle(db(), *find(debts, "李四"));
    QCOMPARE(amounts({"L", "A"}), (QStringList{"0", "30"}));
    QCOMPARE(paymentRecords().size(), 1);
}

// A sale a payment reduced goes to the recycle bin and comes back under a new key; a
// copy of the ledger renumbers sales and payments. Each time the payment still names
// its sales, and a ledger holding payments passes the check of what a restore may hold.
void CustomerDebtsTest::paymentsFollowSalesThroughRecycleBinAndCopy()
{
    // A sale deleted first, so the copy's keys differ from the source's.
    addDebtSale(db(), {"旧客", "", 1, day(1), "old"});
    db().execute(QStringLiteral("delete from data where b='old'"));
    addDebtSale(db(), {"张三", "", 30, day(1), "A"});
    addDebtSale(db(), {"张三", "", 20, day(2), "B"});
    addDebtSale(db(), {"李四", "", 8, day(2), "L"});
    m_data->setOperatorName(QStringLiteral("店长"));
    CustomerDebts::pay(db(), CustomerDebts::load(db()).value(0), CustomerDebts::unitsOf(35));
    CustomerDebts::settle(db(), *find(CustomerDebts::load(db()), "李四"));
    const QStringList records = paymentRecords();
    QCOMPARE(records.size(), 2);
    QVERIFY2(records[0].endsWith(QLatin1String("|A:30|B:5")), qPrintable(records[0]));

    const qint64 saleB = db().scalar(QStringLiteral("select rowid from data where b='B'")).toLongLong();
    const qint64 binKey = SaleJournal::keepDeleted(db(), saleB, {QStringLiteral("店长"), QDateTime()});
    QVERIFY(binKey != 0);
    db().execute(QStringLiteral("delete from data where rowid=?"), {saleB});
    QVERIFY2(paymentRecords()[0].endsWith(QLatin1String("|A:30|:5")), qPrintable(paymentRecords()[0]));
    QVERIFY(SaleJournal::restoreDeleted(db(), binKey) != saleB);
    QCOMPARE(paymentRecords(), records);

    QCOMPARE(LedgerBackup::foreignObjects(db()), QStringList());
    const QString target = m_workspace->filePath(QStringLiteral("copy.mdb"));
    {
        Connection to(DataSource::embeddedFile(target), Connection::OpenMode::CreateFile);
        DatabaseTool::copyLedger(db(), to);
    }
    auto copy = Schema::openLedger(target);
    Statement parts = copy->prepare(QStringLiteral("select p.customer_name, d.b, s.amount from payment_sales s "
                                                   "join payments p on p.rowid=s.payment_key "
                                                   "join data d on d.rowid=s.sale_key order by s.rowid"));
    QStringList copied;
    while (parts.step())
        copied << parts.value(0).toString() + QLatin1Char(':') + parts.value(1).toString() + QLatin1Char(':')
                      + CustomerDebts::amountText(CustomerDebts::unitsOf(parts.doubleValue(2)));
    QCOMPARE(copied, (QStringList{"张三:A:30", "张三:B:5", "李四:L:8"}));
    QCOMPARE(CustomerDebts::paymentsOf(*copy, {"张三", ""}).size(), 1);
}

QTEST_MAIN(CustomerDebtsTest)
#include "tst_customerdebts.moc"
