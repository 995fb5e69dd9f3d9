#include "clock.h"
#include "connection.h"
#include "databasetool.h"
#include "datamodule.h"
#include "dataset.h"
#include "ledgerrecords.h"
#include "mylib.h"
#include "salejournal.h"
#include "saleform.h"
#include "schema.h"
#include "testworkspace.h"

#include <QtTest>

// Who added each sale: written with the sale, kept through the recycle bin and a copy
// of the ledger, never among data's columns.
class SaleOriginsTest : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void addedSaleRecordsOperatorTerminalAndTime();
    void originFollowsSaleThroughRecycleBin();
    void copyCarriesOrigins();

private:
    qint64 addSale(const QString &goods, const QString &operatorName);
    qint64 keyOf(const QString &goods);

    std::unique_ptr<TestWorkspace> m_workspace;
    std::unique_ptr<Tdmfm> m_data;
};

void SaleOriginsTest::init()
{
    m_workspace = std::make_unique<TestWorkspace>();
    m_data = std::make_unique<Tdmfm>();
    m_data->openAppendTable();
    Clock::setFixedNow(QDateTime(QDate(2024, 3, 5), QTime(9, 30, 0)));
}

void SaleOriginsTest::cleanup()
{
    Clock::setFixedNow(std::nullopt);
    m_data.reset();
    m_workspace.reset();
}

qint64 SaleOriginsTest::addSale(const QString &goods, const QString &operatorName)
{
    m_data->setOperatorName(operatorName);
    SaleEntry entry;
    entry.goodsName = goods;
    entry.purchasePrice = QStringLiteral("1");
    entry.salePrice = QStringLiteral("2");
    entry.quantity = QStringLiteral("1");
    entry.saleTotal = QStringLiteral("2");
    entry.profit = QStringLiteral("1");
    entry.amountOwed = QStringLiteral("0");
    entry.saleDate = QStringLiteral("2024-03-05");
    LedgerRecords::add(*m_data->ADOTable5, entry);
    return keyOf(goods);
}

qint64 SaleOriginsTest::keyOf(const QString &goods)
{
    return m_data->ADOConnection1->scalar(QStringLiteral("select rowid from data where b = ?"), {goods}).toLongLong();
}

void SaleOriginsTest::addedSaleRecordsOperatorTerminalAndTime()
{
    Connection &connection = *m_data->ADOConnection1;
    const QStringList dataFields = connection.tableFields(QStringLiteral("data"));
    const qint64 first = addSale(QStringLiteral("篮球"), QStringLiteral("小王"));
    Clock::setFixedNow(QDateTime(QDate(2024, 3, 5), QTime(10, 0, 5)));
    const qint64 second = addSale(QStringLiteral("跑步鞋"), QStringLiteral("小李"));
    QVERIFY(first != 0 && second != 0 && first != second);

    const SaleJournal::SaleOrigin a = SaleJournal::originOf(connection, first);
    QCOMPARE(a.operatorName, QStringLiteral("小王"));
    QCOMPARE(a.terminal, SaleJournal::thisTerminal());
    QVERIFY(!a.terminal.isEmpty());
    QCOMPARE(a.time, QDateTime(QDate(2024, 3, 5), QTime(9, 30, 0)));
    const SaleJournal::SaleOrigin b = SaleJournal::originOf(connection, second);
    QCOMPARE(b.operatorName, QStringLiteral("小李"));
    QCOMPARE(b.time, QDateTime(QDate(2024, 3, 5), QTime(10, 0, 5)));

    // The operators can be told apart by a query over the origins.
    QCOMPARE(connection.scalar(QStringLiteral("select count(*) from data join sale_origins on sale_key = data.rowid "
                                              "where sold_by = ?"),
                               {QStringLiteral("小李")})
                 .toInt(),
             1);
    // A sale written without the journal (as older sales were) has none.
    connection.execute(QStringLiteral("insert into data (b) values ('旧货')"));
    QVERIFY(SaleJournal::originOf(connection, keyOf(QStringLiteral("旧货"))).operatorName.isEmpty());
    // data keeps exactly its columns.
    QCOMPARE(connection.tableFields(QStringLiteral("data")), dataFields);
}

void SaleOriginsTest::originFollowsSaleThroughRecycleBin()
{
    Connection &connection = *m_data->ADOConnection1;
    addSale(QStringLiteral("篮球"), QStringLiteral("小王"));
    addSale(QStringLiteral("跑步鞋"), QStringLiteral("小李"));
    Dataset &ledger = *m_data->ADOQuery15;
    mylib::openSql(ledger, QStringLiteral("select * from data where b = '跑步鞋'"));
    m_data->setOperatorName(QStringLiteral("店长"));
    ledger.deleteCurrent();
    ledger.close();
    const std::vector<SaleJournal::Entry> bin = SaleJournal::deletedSales(connection);
    QCOMPARE(int(bin.size()), 1);
    // While in the bin the origin is nobody's sale.
    QCOMPARE(connection.scalar(QStringLiteral("select count(*) from sale_origins where sale_key is not null")).toInt(), 1);

    const qint64 back = SaleJournal::restoreDeleted(connection, bin.front().key);
    const SaleJournal::SaleOrigin origin = SaleJournal::originOf(connection, back);
    QCOMPARE(origin.operatorName, QStringLiteral("小李"));
    QCOMPARE(origin.time, QDateTime(QDate(2024, 3, 5), QTime(9, 30, 0)));
    QCOMPARE(connection.scalar(QStringLiteral("select count(*) from sale_origins")).toInt(), 2);
}

void SaleOriginsTest::copyCarriesOrigins()
{
    Connection &connection = *m_data->ADOConnection1;
    // A sale without an origin first, so the copy's keys cannot simply line up by luck.
    connection.execute(QStringLiteral("insert into data (b) values ('旧货')"));
    connection.execute(QStringLiteral("delete from data where b = '旧货'"));
    addSale(QStringLiteral("篮球"), QStringLiteral("小王"));
    addSale(QStringLiteral("跑步鞋"), QStringLiteral("小李"));
    const QString target = m_workspace->filePath(QStringLiteral("copy.mdb"));
    {
        Connection to(DataSource::embeddedFile(target), Connection::OpenMode::CreateFile);
        DatabaseTool::copyLedger(connection, to);
    }
    auto copy = Schema::openLedger(target);
    for (const auto &[goods, operatorName] : {std::pair{QStringLiteral("篮球"), QStringLiteral("小王")},
                                              std::pair{QStringLiteral("跑步鞋"), QStringLiteral("小李")}}) {
        const qint64 key = copy->scalar(QStringLiteral("select rowid from data where b = ?"), {goods}).toLongLong();
        QCOMPARE(SaleJournal::originOf(*copy, key).operatorName, operatorName);
    }
}

QTEST_MAIN(SaleOriginsTest)
#include "tst_saleorigins.moc"
