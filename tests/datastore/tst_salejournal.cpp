#include "apperror.h"
#include "clock.h"
#include "connection.h"
#include "datamodule.h"
#include "dataset.h"
#include "salejournal.h"
#include "schema.h"
#include "testfaults.h"
#include "testworkspace.h"

#include <QtTest>

namespace {

const QStringList kSaleColumns = {"a", "b", "c", "d", "1", "2", "3", "6", "4", "5", "e", "f", "h", "z", "day1", "o"};

QString columnList(const QStringList &columns)
{
    QStringList quoted;
    for (const QString &column : columns)
        quoted << QLatin1Char('"') + column + QLatin1Char('"');
    return quoted.join(QLatin1Char(','));
}

// Every column of every sale, each row as text with its kind, in the order of the
// sales' contents: a copy that differs in any value (a sale's time of day too), null or
// kind shows.
QStringList salesAsText(Connection &connection, const QStringList &columns = kSaleColumns)
{
    Statement rows = connection.prepare(QStringLiteral("select %1 from data").arg(columnList(columns)));
    QStringList result;
    while (rows.step()) {
        QStringList fields;
        for (int i = 0; i < columns.size(); ++i) {
            const QVariant value = rows.exactValue(i);
            fields << (value.isNull() ? QStringLiteral("<null>")
                                      : QStringLiteral("%1:%2").arg(QString::fromLatin1(value.typeName()), value.toString()));
        }
        result << fields.join(QLatin1Char('|'));
    }
    result.sort();
    return result;
}

int rowCount(Connection &connection, const QString &table)
{
    return connection.scalar(QStringLiteral("select count(*) from %1").arg(table)).toInt();
}

// Three sales: plain values, fractions and Chinese text, nulls and empty texts, a time of
// day (a sale of the Windows version).
void addSales(Connection &connection)
{
    const QString insert = QStringLiteral("insert into data (%1) values (?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?)").arg(columnList(kSaleColumns));
    connection.execute(insert, {"运动鞋", "跑步鞋", "SP1001", "42码", 168.0, 199.9, 2.0, 399.8, 63.8, 0.0, "王芳",
                                "13800000000", "双", "会员", QDate(2024, 3, 1), "1"});
    connection.execute(insert, {"服装", "速干T恤", "SP1007", "XL", 39.9, 59.95, 0.5, 29.975, 10.025, 12.3456, "",
                                "", "件", "", QDateTime(QDate(2024, 3, 2), QTime(15, 45, 30)), "1"});
    connection.execute(insert, {"球类", "篮球", QVariant(), QVariant(), 95.0, 120.0, 3.0, 360.0, 75.0, QVariant(),
                                QVariant(), QVariant(), "个", QVariant(), QDate(2024, 3, 3), QVariant()});
}

// Makes the ledger's current row the sale named `name`.
void goTo(Dataset &ledger, const QString &name)
{
    for (int row = 0; row < ledger.recordCount(); ++row) {
        ledger.setCurrentRow(row);
        if (ledger.value(QStringLiteral("b")).toString() == name)
            return;
    }
    QFAIL(qPrintable(QStringLiteral("no sale named ") + name));
}

const QDateTime kNow(QDate(2024, 5, 6), QTime(14, 30, 15));

} // namespace

class SaleJournalTest : public QObject
{
    Q_OBJECT

private slots:
    void init() { Clock::setFixedNow(kNow); }
    void cleanup() { Clock::setFixedNow(std::nullopt); }

    void deletedSaleComesBackEqualInEveryColumn_data();
    void deletedSaleComesBackEqualInEveryColumn();
    void modifyKeepsTheOldValues();
    void historyFollowsTheSaleThroughTheBin();
    void failedWritesLeaveNoTrace_data();
    void failedWritesLeaveNoTrace();
    void updateSalesKeepsHistoryForOtherCode();
    void olderLedgerGetsTheTablesWhenOpened();
    void journalNamesTheTerminal();
    void putBackTwiceIsRefused();
};

void SaleJournalTest::deletedSaleComesBackEqualInEveryColumn_data()
{
    QTest::addColumn<QString>("name");
    QTest::newRow("plain values") << QStringLiteral("跑步鞋");
    QTest::newRow("fractions and empty texts") << QStringLiteral("速干T恤");
    QTest::newRow("nulls") << QStringLiteral("篮球");
}

void SaleJournalTest::deletedSaleComesBackEqualInEveryColumn()
{
    QFETCH(QString, name);
    TestWorkspace workspace;
    Tdmfm module(workspace.dataSource());
    Connection &connection = *module.ADOConnection1;
    addSales(connection);
    const QStringList before = salesAsText(connection);
    module.setOperatorName(QStringLiteral("收银员"));

    Dataset &ledger = *module.ADOQuery15;
    ledger.open();
    goTo(ledger, name);
    ledger.deleteCurrent();
    QCOMPARE(rowCount(connection, QStringLiteral("data")), 2);

    const std::vector<SaleJournal::Entry> bin = SaleJournal::deletedSales(connection);
    QCOMPARE(bin.size(), size_t(1));
    QCOMPARE(bin[0].operatorName, QStringLiteral("收银员"));
    QCOMPARE(bin[0].time, kNow);
    QCOMPARE(bin[0].values.at(SaleJournal::keptFields(connection).indexOf(QStringLiteral("b"))).toString(), name);

    SaleJournal::restoreDeleted(connection, bin[0].key);
    QCOMPARE(salesAsText(connection), before);
    QCOMPARE(rowCount(connection, QStringLiteral("deleted_sales")), 0);
    // The ledger shows exactly the sales' own columns, as before.
    ledger.open();
    QCOMPARE(ledger.fieldNames(), kSaleColumns);
    QCOMPARE(ledger.recordCount(), 3);
}

void SaleJournalTest::modifyKeepsTheOldValues()
{
    TestWorkspace workspace;
    Tdmfm module(workspace.dataSource());
    Connection &connection = *module.ADOConnection1;
    addSales(connection);
    module.setOperatorName(QStringLiteral("店长"));
    Dataset &ledger = *module.ADOQuery15;
    ledger.open();
    goTo(ledger, QStringLiteral("速干T恤"));
    ledger.edit();
    ledger.setValue(QStringLiteral("5"), 0.0);
    ledger.setValue(QStringLiteral("z"), QStringLiteral("已结清"));
    ledger.post();
    Clock::setFixedNow(kNow.addSecs(60));
    ledger.edit();
    ledger.setValue(QStringLiteral("3"), 1.0);
    ledger.post();

    const std::vector<SaleJournal::ChangedSale> sales = SaleJournal::changedSales(connection);
    QCOMPARE(sales.size(), size_t(1));
    QCOMPARE(sales[0].changes, 2);
    QCOMPARE(sales[0].lastChange, kNow.addSecs(60));
    const QStringList fields = SaleJournal::keptFields(connection);
    QCOMPARE(fields, kSaleColumns);
    QCOMPARE(sales[0].current.at(fields.indexOf("z")).toString(), QStringLiteral("已结清"));

    const std::vector<SaleJournal::Entry> changes = SaleJournal::changesOf(connection, sales[0].saleKey);
    QCOMPARE(changes.size(), size_t(2));
    // Newest first: the second change replaced the values the first one wrote.
    QCOMPARE(changes[0].time, kNow.addSecs(60));
    QCOMPARE(changes[0].values.at(fields.indexOf("3")).toDouble(), 0.5);
    QCOMPARE(changes[0].values.at(fields.indexOf("z")).toString(), QStringLiteral("已结清"));
    QCOMPARE(changes[1].time, kNow);
    QCOMPARE(changes[1].operatorName, QStringLiteral("店长"));
    QCOMPARE(changes[1].values.at(fields.indexOf("5")).toDouble(), 12.3456);
    QCOMPARE(changes[1].values.at(fields.indexOf("z")).toString(), QString());
    QVERIFY(!changes[1].values.at(fields.indexOf("z")).isNull());
}

void SaleJournalTest::historyFollowsTheSaleThroughTheBin()
{
    TestWorkspace workspace;
    Tdmfm module(workspace.dataSource());
    Connection &connection = *module.ADOConnection1;
    addSales(connection);
    Dataset &ledger = *module.ADOQuery15;
    ledger.open();
    // The last sale: the embedded engine gives its row key to the next new sale.
    goTo(ledger, QStringLiteral("篮球"));
    ledger.edit();
    ledger.setValue(QStringLiteral("b"), QStringLiteral("排球"));
    ledger.post();
    ledger.deleteCurrent();
    QVERIFY(SaleJournal::changedSales(connection).empty());

    connection.execute(QStringLiteral("insert into data (b) values ('新的一笔')"));
    const qint64 newcomer = connection.lastInsertRowId();
    QVERIFY(SaleJournal::changesOf(connection, newcomer).empty());

    const qint64 restored = SaleJournal::restoreDeleted(connection, SaleJournal::deletedSales(connection).at(0).key);
    const std::vector<SaleJournal::Entry> changes = SaleJournal::changesOf(connection, restored);
    QCOMPARE(changes.size(), size_t(1));
    QCOMPARE(changes[0].values.at(SaleJournal::keptFields(connection).indexOf("b")).toString(), QStringLiteral("篮球"));
    QCOMPARE(connection.scalar(QStringLiteral("select b from data where rowid=?"), {restored}).toString(),
             QStringLiteral("排球"));
}

void SaleJournalTest::failedWritesLeaveNoTrace_data()
{
    QTest::addColumn<QString>("write");
    QTest::addColumn<QString>("fault");
    QTest::addColumn<QString>("message");
    const QString gone = QStringLiteral("Row cannot be located for updating");
    QTest::newRow("delete of a sale another terminal deleted") << "delete" << "gone" << gone;
    QTest::newRow("modify of a sale another terminal deleted") << "modify" << "gone" << gone;
    QTest::newRow("modify refused by the store") << "modify" << "refuse update on data" << "不许改";
    QTest::newRow("delete refused by the store") << "delete" << "refuse delete on data" << "不许删";
    QTest::newRow("history refused by the store") << "modify" << "refuse insert on sale_changes" << "不许记";
    QTest::newRow("recycle bin refused by the store") << "delete" << "refuse insert on deleted_sales" << "不许记";
}

void SaleJournalTest::failedWritesLeaveNoTrace()
{
    QFETCH(QString, write);
    QFETCH(QString, fault);
    QFETCH(QString, message);
    TestWorkspace workspace;
    Tdmfm module(workspace.dataSource());
    Connection &connection = *module.ADOConnection1;
    addSales(connection);
    Dataset &ledger = *module.ADOQuery15;
    ledger.open();
    goTo(ledger, QStringLiteral("跑步鞋"));
    {
        Connection other(workspace.dataSource());
        if (fault == QLatin1String("gone")) {
            other.execute(QStringLiteral("delete from data where b='跑步鞋'"));
        } else {
            const QStringList words = fault.split(QLatin1Char(' '));
            TestFaults::refuseWrites(other, words[3], words[1], message);
        }
    }
    const QStringList before = salesAsText(connection);

    try {
        if (write == QLatin1String("delete")) {
            ledger.deleteCurrent();
        } else {
            ledger.edit();
            ledger.setValue(QStringLiteral("z"), QStringLiteral("改过"));
            ledger.post();
        }
        QFAIL("the write succeeded");
    } catch (const DatabaseError &error) {
        QVERIFY2(error.message().contains(message), qPrintable(error.message()));
    }
    QCOMPARE(salesAsText(connection), before);
    QCOMPARE(rowCount(connection, QStringLiteral("deleted_sales")), 0);
    QCOMPARE(rowCount(connection, QStringLiteral("sale_changes")), 0);
    // The connection is usable afterwards: nothing was left half done.
    connection.execute(QStringLiteral("insert into data (b) values ('之后')"));
}

void SaleJournalTest::updateSalesKeepsHistoryForOtherCode()
{
    TestWorkspace workspace;
    Connection connection(workspace.dataSource());
    addSales(connection);
    const SaleJournal::Stamp stamp{QStringLiteral("会计"), kNow};
    // Settling what the customers owe: every sale with an amount owed.
    const int settled = SaleJournal::updateSales(connection, QStringLiteral("\"5\"=?"), {0.0}, QStringLiteral("\"5\">?"),
                                                 {0.0}, stamp);
    QCOMPARE(settled, 1);
    QCOMPARE(rowCount(connection, QStringLiteral("sale_changes")), 1);
    QCOMPARE(connection.scalar(QStringLiteral("select \"5\" from sale_changes")).toDouble(), 12.3456);
    QCOMPARE(connection.scalar(QStringLiteral("select changed_by from sale_changes")).toString(), QStringLiteral("会计"));

    // The same in a transaction of the caller's own, failing at its update.
    TestFaults::refuseWrites(connection, QStringLiteral("data"), QStringLiteral("update"), QStringLiteral("不许改"));
    connection.beginTransaction();
    QCOMPARE(SaleJournal::recordOldValues(connection, QStringLiteral("b=?"), {QStringLiteral("跑步鞋")}, stamp), 1);
    QVERIFY_THROWS_EXCEPTION(DatabaseError, connection.execute(QStringLiteral("update data set z='x' where b='跑步鞋'")));
    connection.rollback();
    QCOMPARE(rowCount(connection, QStringLiteral("sale_changes")), 1);
    QVERIFY_THROWS_EXCEPTION(DatabaseError, SaleJournal::updateSales(connection, QStringLiteral("z=?"), {QStringLiteral("x")},
                                                                       QStringLiteral("1=1"), {}, stamp));
    QCOMPARE(rowCount(connection, QStringLiteral("sale_changes")), 1);
}

void SaleJournalTest::olderLedgerGetsTheTablesWhenOpened()
{
    TestWorkspace workspace;
    {
        // A ledger as shops have it: the three tables only, and a column a legacy
        // import carried over.
        Connection connection(workspace.dataSource());
        connection.execute(QStringLiteral("drop table deleted_sales"));
        connection.execute(QStringLiteral("drop table sale_changes"));
        connection.execute(QStringLiteral("alter table data add column \"会员卡号\" text"));
        addSales(connection);
        connection.execute(QStringLiteral("update data set \"会员卡号\"='VIP-7' where b='跑步鞋'"));
    }
    Connection plain(workspace.dataSource());
    const QStringList columns = kSaleColumns + QStringList{QStringLiteral("会员卡号")};
    const QStringList before = salesAsText(plain, columns);

    Tdmfm module(workspace.dataSource());
    Connection &connection = *module.ADOConnection1;
    QVERIFY(connection.tableNames().contains(QStringLiteral("deleted_sales")));
    QVERIFY(connection.tableNames().contains(QStringLiteral("sale_changes")));
    QCOMPARE(SaleJournal::keptFields(connection), columns);
    QCOMPARE(salesAsText(connection, columns), before);
    QCOMPARE(connection.tableFields(QStringLiteral("data")), columns);

    Dataset &ledger = *module.ADOQuery15;
    ledger.open();
    goTo(ledger, QStringLiteral("跑步鞋"));
    ledger.deleteCurrent();
    SaleJournal::restoreDeleted(connection, SaleJournal::deletedSales(connection).at(0).key);
    QCOMPARE(salesAsText(connection, columns), before);

    // Opening again finds everything in place and changes nothing.
    const QStringList tables = connection.tableNames();
    Schema::openLedger(workspace.dataSource());
    QCOMPARE(connection.tableNames(), tables);
}

// Every till may log in as the same user: the bin and the history say which terminal
// made each change. A ledger whose journal predates that gets the columns when opened;
// its older rows name none.
void SaleJournalTest::journalNamesTheTerminal()
{
    TestWorkspace workspace;
    {
        Connection connection(workspace.dataSource());
        for (const auto &[table, column] : {std::pair{"deleted_sales", "deleted_on"}, std::pair{"sale_changes", "changed_on"}}) {
            const QString name = QString::fromLatin1(table);
            if (connection.engine() == Connection::Engine::Server) {
                connection.execute(QStringLiteral("alter table %1 drop column %2").arg(name, QLatin1String(column)));
                continue;
            }
            // The embedded engine cannot drop a column: the table is made again without it.
            QStringList kept = connection.tableFields(name);
            kept.removeAll(QLatin1String(column));
            for (QString &field : kept)
                field = QLatin1Char('"') + field + QLatin1Char('"');
            connection.execute(QStringLiteral("create table old_journal as select %1 from %2").arg(kept.join(QLatin1Char(',')), name));
            connection.execute(QStringLiteral("drop table %1").arg(name));
            connection.execute(QStringLiteral("alter table old_journal rename to %1").arg(name));
        }
        addSales(connection);
        connection.execute(QStringLiteral("insert into sale_changes (sale_key, changed_at, changed_by, b) "
                                          "select rowid, ?, '老店长', b from data where b='跑步鞋'"),
                           {kNow.addDays(-1)});
    }
    Tdmfm module(workspace.dataSource());
    Connection &connection = *module.ADOConnection1;
    QCOMPARE(connection.tableFields(QStringLiteral("deleted_sales")).constLast(), QStringLiteral("deleted_on"));
    QCOMPARE(connection.tableFields(QStringLiteral("sale_changes")).constLast(), QStringLiteral("changed_on"));
    QCOMPARE(SaleJournal::keptFields(connection), kSaleColumns);

    const SaleJournal::Stamp there{QStringLiteral("超级管理员"), kNow, QStringLiteral("收银台2")};
    QCOMPARE(SaleJournal::updateSales(connection, QStringLiteral("z=?"), {QStringLiteral("改")}, QStringLiteral("b=?"),
                                      {QStringLiteral("跑步鞋")}, there),
             1);
    const qint64 sale = connection.scalar(QStringLiteral("select rowid from data where b='跑步鞋'")).toLongLong();
    const std::vector<SaleJournal::Entry> changes = SaleJournal::changesOf(connection, sale);
    QCOMPARE(changes.size(), size_t(2));
    QCOMPARE(changes[0].terminal, QStringLiteral("收银台2"));
    QCOMPARE(changes[1].operatorName, QStringLiteral("老店长"));
    QCOMPARE(changes[1].terminal, QString());

    // The data module's writes name this machine.
    module.setOperatorName(QStringLiteral("超级管理员"));
    Dataset &ledger = *module.ADOQuery15;
    ledger.open();
    goTo(ledger, QStringLiteral("篮球"));
    ledger.deleteCurrent();
    const std::vector<SaleJournal::Entry> bin = SaleJournal::deletedSales(connection);
    QCOMPARE(bin.size(), size_t(1));
    QVERIFY(!SaleJournal::thisTerminal().isEmpty());
    QCOMPARE(bin[0].terminal, SaleJournal::thisTerminal());
}

void SaleJournalTest::putBackTwiceIsRefused()
{
    TestWorkspace workspace;
    Tdmfm module(workspace.dataSource());
    Connection &connection = *module.ADOConnection1;
    addSales(connection);
    module.ADOQuery15->open();
    module.ADOQuery15->deleteCurrent();
    const qint64 binKey = SaleJournal::deletedSales(connection).at(0).key;
    Connection other(workspace.dataSource());
    SaleJournal::restoreDeleted(other, binKey);
    try {
        SaleJournal::restoreDeleted(connection, binKey);
        QFAIL("put back twice");
    } catch (const DatabaseError &error) {
        QVERIFY2(error.message().startsWith(QLatin1String("Row cannot be located")), qPrintable(error.message()));
    }
    QCOMPARE(rowCount(connection, QStringLiteral("data")), 3);
}

QTEST_MAIN(SaleJournalTest)
#include "tst_salejournal.moc"
