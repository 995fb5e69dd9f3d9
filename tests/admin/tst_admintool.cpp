#include "connection.h"
#include "databasetool.h"
#include "dataset.h"
#include "datetext.h"
#include "datasource.h"
#include "passwordhash.h"
#include "salejournal.h"
#include "schema.h"
#include "testworkspace.h"

#include <QProcess>
#include <QElapsedTimer>
#include <QRandomGenerator>
#include <QThread>
#include <csignal>
#include <sys/stat.h>
#include <QtTest>
#include <cmath>

namespace {

struct Run
{
    int exitCode;
    QString output;
};

Run runAdmin(const QStringList &arguments)
{
    QProcess process;
    process.setProgram(qEnvironmentVariable("QUILLMORA_BIN_DIR") + QStringLiteral("/quillmora-admin"));
    process.setArguments(arguments);
    process.start();
    process.waitForFinished(120000);
    return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
            QString::fromUtf8(process.readAllStandardOutput() + process.readAllStandardError())};
}

// Every row of every table in key order, each value with its type; doubles by their
// bits, so a copy that rounds anything differs.
QStringList ledgerContent(const DataSource &store)
{
    Connection connection(store);
    QStringList rows;
    for (const QString &table : {QStringLiteral("data"), QStringLiteral("userdb"), QStringLiteral("rz")}) {
        Statement statement = connection.prepare(QStringLiteral("select * from %1 order by rowid").arg(table));
        while (statement.step()) {
            QStringList cells{table};
            for (int i = 0; i < statement.columnCount(); ++i) {
                const QVariant value = statement.value(i);
                QString cell = statement.columnName(i) + QLatin1Char('=') + QString::fromLatin1(value.typeName()) + QLatin1Char(':');
                if (value.typeId() == QMetaType::Double) {
                    const double number = value.toDouble();
                    cell += QString::fromLatin1(QByteArray(reinterpret_cast<const char *>(&number), sizeof number).toHex());
                } else {
                    cell += value.toString();
                }
                cells << cell;
            }
            rows << cells.join(QLatin1Char('|'));
        }
    }
    return rows;
}

// A ledger with what a copy could get wrong: demo sales, empty texts beside nulls,
// awkward numbers, a second user and finished and open sessions.
void makeSourceLedger(const QString &path)
{
    DatabaseTool::createDatabase(path);
    Connection connection(path, Schema::databaseKey());
    DatabaseTool::addDemoSales(connection, 250);
    connection.execute(QStringLiteral("insert into data (a,b,c,\"1\",\"4\",\"5\",day1,o) values (?,?,?,?,?,?,?,?)"),
                       {QString(), QStringLiteral(""), QStringLiteral("它's \"引号\""), 0.1 + 0.2, 1e-300, -1234567.891,
                        QDate(2000, 2, 29), QStringLiteral("1")});
    connection.execute(QStringLiteral("delete from data where rowid = 7"));
    connection.execute(QStringLiteral("insert into userdb values (?, ?)"),
                       {QStringLiteral("Bob"), PasswordHash::hash(QStringLiteral("secret"))});
    connection.execute(QStringLiteral("insert into rz (username, btime, jtime) values (?, ?, ?)"),
                       {QStringLiteral("超级管理员"), QDateTime(QDate(2014, 3, 12), QTime(8, 30, 5)),
                        QDateTime(QDate(2014, 3, 12), QTime(18, 0, 59))});
    connection.execute(QStringLiteral("insert into rz (username, btime) values (?, ?)"),
                       {QStringLiteral("Bob"), QDateTime(QDate(2014, 3, 13), QTime(9, 0, 0))});
    connection.execute(QStringLiteral("delete from rz where id = 1"));
}

// A file's sale date and session times as stored: texts, "<null>" for none.
QStringList storedTimes(const QString &path)
{
    Connection connection(path, Schema::databaseKey());
    QStringList texts;
    for (const char *sql : {"select cast(day1 as text) from data", "select cast(btime as text) from rz",
                            "select cast(jtime as text) from rz"}) {
        Statement statement = connection.prepare(QString::fromLatin1(sql));
        while (statement.step())
            texts << (statement.isNull(0) ? QStringLiteral("<null>") : statement.value(0).toString());
    }
    return texts;
}

} // namespace

class AdminToolTest : public QObject
{
    Q_OBJECT

private slots:
    void initCreatesDatabaseWithAdministrator();
    void initRefusesToOverwrite();
    void demoAddsConsistentSales();
    void importLegacyPrintsItsCheck();
    void copyMovesALedgerThereAndBack();
    void copyToTheServerIsAllOrNothing();
    void copyCarriesTextsOfAnyLength();
    void copyKeepsTheRecycleBinAndHistory();
    void killedCopyOrInitLeavesNoHalfLedger_data();
    void killedCopyOrInitLeavesNoHalfLedger();
    void datesAndTimesRoundTrip_data();
    void datesAndTimesRoundTrip();
    void badArgumentsFail_data();
    void badArgumentsFail();
};

void AdminToolTest::initCreatesDatabaseWithAdministrator()
{
    TestWorkspace workspace(TestWorkspace::Database::None);
    const Run run = runAdmin({QStringLiteral("init")});
    QCOMPARE(run.exitCode, 0);
    Connection db(workspace.dataSource());
    QCOMPARE(db.tableFields(QStringLiteral("userdb")), (QStringList{"username", "passwd"}));
    QCOMPARE(db.scalar(QStringLiteral("select username from userdb")).toString(), QStringLiteral("超级管理员"));
    const QString stored = db.scalar(QStringLiteral("select passwd from userdb")).toString();
    QVERIFY(stored != QLatin1String("947"));
    QVERIFY(PasswordHash::verify(stored, QStringLiteral("947")));
    QCOMPARE(db.scalar(QStringLiteral("select count(*) from data")).toInt(), 0);
}

void AdminToolTest::initRefusesToOverwrite()
{
    TestWorkspace workspace;
    Connection(workspace.dataSource()).execute(QStringLiteral("insert into data (b) values ('留着')"));
    const Run run = runAdmin({QStringLiteral("init")});
    QCOMPARE(run.exitCode, 1);
    QVERIFY2(run.output.contains(QStringLiteral("exists already")), qPrintable(run.output));
    Connection db(workspace.dataSource());
    QCOMPARE(db.scalar(QStringLiteral("select b from data")).toString(), QStringLiteral("留着"));
}

void AdminToolTest::demoAddsConsistentSales()
{
    TestWorkspace workspace;
    QCOMPARE(runAdmin({QStringLiteral("demo"), QStringLiteral("500")}).exitCode, 0);
    Connection db(workspace.dataSource());
    Statement rows = db.prepare(QStringLiteral("select \"1\", \"2\", \"3\", \"6\", \"4\", a, b, day1, o from data"));
    rows.bind({});
    int count = 0;
    QSet<int> years;
    while (rows.step()) {
        ++count;
        const double purchase = rows.doubleValue(0), sale = rows.doubleValue(1), quantity = rows.doubleValue(2);
        QVERIFY(std::abs(rows.doubleValue(3) - sale * quantity) < 1e-9);
        QVERIFY(std::abs(rows.doubleValue(4) - (sale - purchase) * quantity) < 1e-9);
        QVERIFY(!rows.value(5).toString().isEmpty() && !rows.value(6).toString().isEmpty());
        QCOMPARE(rows.value(8).toString(), QStringLiteral("1"));
        years << rows.value(7).toDate().year();
    }
    QCOMPARE(count, 500);
    QVERIFY(years.size() >= 3);
}

void AdminToolTest::importLegacyPrintsItsCheck()
{
    if (TestWorkspace::onServer())
        QSKIP("the import writes an embedded file");
    TestWorkspace workspace(TestWorkspace::Database::None);
    const QString old = qEnvironmentVariable("QUILLMORA_SOURCE_DIR") + QStringLiteral("/tests/data/legacy/legacy-small.mdb");
    const Run run = runAdmin({QStringLiteral("import-legacy"), old});
    QVERIFY2(run.exitCode == 0, qPrintable(run.output));
    // The sums are those of the expected rows, added exactly.
    for (const char *line : {"data: 29 rows read, 29 rows written", "userdb: 3 rows read, 3 rows written",
                             "rz: 6 rows read, 6 rows written", "data: sum of 6: 7447.25 read, 7447.25 written",
                             "data: sum of 4: 774.0999999999998 read, 774.0999999999998 written",
                             "data: sum of 5: 12346020.9 read, 12346020.9 written"})
        QVERIFY2(run.output.contains(QString::fromUtf8(line)), qPrintable(run.output));
    Connection db(workspace.databasePath(), Schema::databaseKey());
    QCOMPARE(db.scalar(QStringLiteral("select count(*) from data")).toInt(), 29);

    // A second run finds the ledger and leaves it alone.
    const QByteArray before = [&] { QFile f(workspace.databasePath()); f.open(QIODevice::ReadOnly); return f.readAll(); }();
    const Run again = runAdmin({QStringLiteral("import-legacy"), old});
    QCOMPARE(again.exitCode, 1);
    QVERIFY2(again.output.contains(QStringLiteral("已存在")), qPrintable(again.output));
    QFile after(workspace.databasePath());
    QVERIFY(after.open(QIODevice::ReadOnly));
    QCOMPARE(after.readAll(), before);
}

void AdminToolTest::copyMovesALedgerThereAndBack()
{
    TestWorkspace workspace(TestWorkspace::Database::None);
    const QString source = workspace.filePath(QStringLiteral("source.mdb"));
    makeSourceLedger(source);
    // Over there: the server under test, or another file.
    const QString there = TestWorkspace::onServer() ? workspace.serverUrl() : workspace.filePath(QStringLiteral("there.mdb"));
    const DataSource thereStore = TestWorkspace::onServer() ? DataSource::server(there) : DataSource::embeddedFile(there);

    Run run = runAdmin({QStringLiteral("copy"), QStringLiteral("--from"), source, QStringLiteral("--to"), there});
    QVERIFY2(run.exitCode == 0, qPrintable(run.output));
    QVERIFY2(run.output.contains(QStringLiteral("copied 250 sales")), qPrintable(run.output));
    run = runAdmin({QStringLiteral("copy"), QStringLiteral("--from"), there, QStringLiteral("--to"), QStringLiteral("back.mdb")});
    QVERIFY2(run.exitCode == 0, qPrintable(run.output));

    const QStringList original = ledgerContent(DataSource::embeddedFile(source));
    QCOMPARE(original.size(), 250 + 2 + 1);
    QCOMPARE(ledgerContent(thereStore).size(), original.size());
    // Keys of sales are the engine's own; everything else comes back exactly.
    QCOMPARE(ledgerContent(DataSource::embeddedFile(workspace.filePath(QStringLiteral("back.mdb")))), original);
    // Session ids are kept, and new sessions go on after them.
    Connection back(workspace.filePath(QStringLiteral("back.mdb")), Schema::databaseKey());
    Connection server(thereStore);
    for (Connection *connection : {&back, &server}) {
        connection->execute(QStringLiteral("insert into rz (username, btime) values ('Bob', ?)"), {QDateTime::currentDateTime()});
        QCOMPARE(connection->lastInsertRowId(), 3);
        QVERIFY(PasswordHash::verify(
            connection->scalar(QStringLiteral("select passwd from userdb where username='Bob'")).toString(),
            QStringLiteral("secret")));
    }

    // A server ledger comes with an index for each column the grid sorts by, and one
    // more for the long texts of each text column, made after the rows.
    if (TestWorkspace::onServer()) {
        QCOMPARE(server.scalar(QStringLiteral("select count(*) from pg_indexes where schemaname = current_schema() "
                                              "and indexname like 'data_sort_%'"))
                     .toInt(),
                 14 + 7);
    }

    // A target that holds a ledger is refused and left as it is.
    run = runAdmin({QStringLiteral("copy"), QStringLiteral("--from"), source, QStringLiteral("--to"), there});
    QCOMPARE(run.exitCode, 1);
    QVERIFY2(run.output.contains(QStringLiteral("exists already")), qPrintable(run.output));
    QCOMPARE(server.scalar(QStringLiteral("select count(*) from data")).toInt(), 250);
}

// No box limits its text's length: a remark of 100 KB (that does not compress) and a
// long name go to the other engine and back unchanged.
void AdminToolTest::copyCarriesTextsOfAnyLength()
{
    TestWorkspace workspace(TestWorkspace::Database::None);
    const QString source = workspace.filePath(QStringLiteral("source.mdb"));
    DatabaseTool::createDatabase(source);
    QString remark;
    QRandomGenerator random(7);
    for (int i = 0; i < 100 * 1024 / 3; ++i) // three bytes each
        remark += QChar(char16_t(0x4E00 + random.bounded(0x5000)));
    {
        Connection connection(source, Schema::databaseKey());
        connection.execute(QStringLiteral("insert into data (b, e, z, \"6\") values (?, ?, ?, 1)"),
                           {remark.left(1000), remark.mid(1000, 1000), remark});
        connection.execute(QStringLiteral("insert into data (b, z, \"6\") values ('短', ?, 2)"), {remark.left(5000)});
    }
    const QString there = TestWorkspace::onServer() ? workspace.serverUrl() : workspace.filePath(QStringLiteral("there.mdb"));
    Run run = runAdmin({QStringLiteral("copy"), QStringLiteral("--from"), source, QStringLiteral("--to"), there});
    QVERIFY2(run.exitCode == 0, qPrintable(run.output));
    run = runAdmin({QStringLiteral("copy"), QStringLiteral("--from"), there, QStringLiteral("--to"), QStringLiteral("back.mdb")});
    QVERIFY2(run.exitCode == 0, qPrintable(run.output));

    const QStringList original = ledgerContent(DataSource::embeddedFile(source));
    QVERIFY(original.join(QString()).contains(remark));
    QCOMPARE(ledgerContent(DataSource::embeddedFile(workspace.filePath(QStringLiteral("back.mdb")))), original);
}

void AdminToolTest::copyToTheServerIsAllOrNothing()
{
    if (!TestWorkspace::onServer())
        QSKIP("the server checks every date");
    TestWorkspace workspace(TestWorkspace::Database::None);
    const QString source = workspace.filePath(QStringLiteral("source.mdb"));
    makeSourceLedger(source);
    // A date the embedded file kept as text: the server refuses that row, far into the copy.
    Connection(source, Schema::databaseKey()).execute(QStringLiteral("insert into data (b, day1) values ('坏', '2014-02-30')"));
    const Run run =
        runAdmin({QStringLiteral("copy"), QStringLiteral("--from"), source, QStringLiteral("--to"), workspace.serverUrl()});
    QCOMPARE(run.exitCode, 1);
    QVERIFY2(run.output.contains(QStringLiteral("2014-02-30")), qPrintable(run.output));
    QCOMPARE(Connection(workspace.dataSource()).tableNames(), QStringList());
}

namespace {

// Three sales; the second changed once; the third changed, then deleted.
void makeJournal(Connection &db)
{
    for (const char *name : {"跑步鞋", "速干T恤", "篮球"})
        db.execute(QStringLiteral("insert into data (b, z, \"6\") values (?, '', 10.5)"), {QString::fromUtf8(name)});
    const SaleJournal::Stamp stamp{QStringLiteral("店长"), QDateTime(QDate(2024, 5, 6), QTime(9, 0)),
                                   QStringLiteral("收银台2")};
    SaleJournal::updateSales(db, QStringLiteral("z=?"), {QStringLiteral("已结清")}, QStringLiteral("b=?"),
                             {QStringLiteral("速干T恤")}, stamp);
    SaleJournal::updateSales(db, QStringLiteral("b=?"), {QStringLiteral("排球")}, QStringLiteral("b=?"),
                             {QStringLiteral("篮球")}, stamp);
    db.beginTransaction();
    const qint64 key = db.scalar(QStringLiteral("select rowid from data where b='排球'")).toLongLong();
    QVERIFY(SaleJournal::keepDeleted(db, key, stamp) > 0);
    db.execute(QStringLiteral("delete from data where rowid=?"), {key});
    db.commit();
}

// The copy holds the same bin and history, each still linked to its own sale.
void checkJournal(Connection &db)
{
    const QStringList fields = SaleJournal::keptFields(db);
    const int name = int(fields.indexOf(QStringLiteral("b")));
    const std::vector<SaleJournal::ChangedSale> changed = SaleJournal::changedSales(db);
    QCOMPARE(changed.size(), size_t(1));
    QCOMPARE(changed[0].current.at(name).toString(), QStringLiteral("速干T恤"));
    const std::vector<SaleJournal::Entry> changes = SaleJournal::changesOf(db, changed[0].saleKey);
    QCOMPARE(changes.size(), size_t(1));
    QCOMPARE(changes[0].operatorName, QStringLiteral("店长"));
    QCOMPARE(changes[0].terminal, QStringLiteral("收银台2"));
    QCOMPARE(changes[0].values.at(fields.indexOf(QStringLiteral("z"))).toString(), QString());

    const std::vector<SaleJournal::Entry> bin = SaleJournal::deletedSales(db);
    QCOMPARE(bin.size(), size_t(1));
    QCOMPARE(bin[0].values.at(name).toString(), QStringLiteral("排球"));
    QCOMPARE(bin[0].terminal, QStringLiteral("收银台2"));
    const qint64 back = SaleJournal::restoreDeleted(db, bin[0].key);
    const std::vector<SaleJournal::Entry> history = SaleJournal::changesOf(db, back);
    QCOMPARE(history.size(), size_t(1));
    QCOMPARE(history[0].values.at(name).toString(), QStringLiteral("篮球"));
    QCOMPARE(db.scalar(QStringLiteral("select count(*) from data")).toInt(), 3);
}

} // namespace

void AdminToolTest::copyKeepsTheRecycleBinAndHistory()
{
    TestWorkspace workspace;
    {
        Connection db(workspace.dataSource());
        // Gaps in the keys: the copy numbers the sales anew.
        db.execute(QStringLiteral("insert into data (b) values ('作废')"));
        db.execute(QStringLiteral("delete from data"));
        makeJournal(db);
    }
    const QString from = TestWorkspace::onServer() ? workspace.serverUrl() : workspace.databasePath();
    const Run run = runAdmin({QStringLiteral("copy"), QStringLiteral("--from"), from, QStringLiteral("--to"),
                              workspace.filePath(QStringLiteral("copy.mdb"))});
    QVERIFY2(run.exitCode == 0, qPrintable(run.output));
    {
        Connection copy(workspace.filePath(QStringLiteral("copy.mdb")), Schema::databaseKey());
        checkJournal(copy);
    }
    if (!TestWorkspace::onServer())
        return;
    // And from the file to a server.
    const QString file = workspace.filePath(QStringLiteral("copy.mdb"));
    {
        Connection db(file, Schema::databaseKey());
        db.execute(QStringLiteral("delete from data"));
        db.execute(QStringLiteral("delete from sale_changes"));
        db.execute(QStringLiteral("delete from deleted_sales"));
        makeJournal(db);
    }
    TestWorkspace target(TestWorkspace::Database::None);
    const Run back = runAdmin({QStringLiteral("copy"), QStringLiteral("--from"), file, QStringLiteral("--to"), target.serverUrl()});
    QVERIFY2(back.exitCode == 0, qPrintable(back.output));
    Connection server(target.dataSource());
    checkJournal(server);
}

// A sale date as the program and the import write it, and session times as texts (old
// logs hold dates alone; an open session's log-out is empty, one never closed has
// none), carried to the store under test and back into a file.
void AdminToolTest::datesAndTimesRoundTrip_data()
{
    QTest::addColumn<QVariant>("day");          // as written into the file
    QTest::addColumn<QString>("stored");        // the file's text for it
    QTest::addColumn<QString>("afterServer");   // the file's text after a trip over the server
    QTest::addColumn<QString>("shown");         // the grid's text on every store
    QTest::addColumn<QVariant>("loggedIn");
    QTest::addColumn<QVariant>("loggedOut");
    const QVariant none;
    QTest::newRow("date only") << QVariant(QDate(2023, 5, 1)) << "2023-05-01" << "2023-05-01" << "2023-05-01"
                               << QVariant("2023-05-01") << QVariant("2023-05-01 18:00:00");
    QTest::newRow("date with time") << QVariant(QDateTime(QDate(2023, 5, 1), QTime(14, 32, 10)))
                                    << "2023-05-01 14:32:10" << "2023-05-01 14:32:10" << "2023-05-01"
                                    << QVariant("2023-05-01 14:30:00") << QVariant("");
    // The server holds a sale at midnight and its date alone as one value.
    QTest::newRow("midnight") << QVariant(QDateTime(QDate(2023, 5, 2), QTime(0, 0))) << "2023-05-02 00:00:00"
                              << "2023-05-02" << "2023-05-02" << QVariant("2023-05-02 00:00:00") << none;
    QTest::newRow("no sale date") << none << "<null>" << "<null>" << "" << QVariant("2023-05-03 09:00:00")
                                  << QVariant("");
    QTest::newRow("far past") << QVariant(QDateTime(QDate(1, 1, 1), QTime(0, 0, 1))) << "0001-01-01 00:00:01"
                              << "0001-01-01 00:00:01" << "0001-01-01" << QVariant("0001-01-01")
                              << QVariant("0001-01-01 00:00:01");
    QTest::newRow("far future") << QVariant(QDateTime(QDate(9999, 12, 31), QTime(23, 59, 59)))
                                << "9999-12-31 23:59:59" << "9999-12-31 23:59:59" << "9999-12-31"
                                << QVariant("9999-12-31 23:59:59") << QVariant("9999-12-31");
}

void AdminToolTest::datesAndTimesRoundTrip()
{
    QFETCH(QVariant, day);
    QFETCH(QString, stored);
    QFETCH(QString, afterServer);
    QFETCH(QString, shown);
    QFETCH(QVariant, loggedIn);
    QFETCH(QVariant, loggedOut);
    TestWorkspace workspace(TestWorkspace::Database::None);
    const QString source = workspace.filePath(QStringLiteral("source.mdb"));
    DatabaseTool::createDatabase(source);
    {
        Connection file(source, Schema::databaseKey());
        file.execute(QStringLiteral("insert into data (b, \"4\", day1, o) values ('样品', 2.5, ?, '1')"), {day});
        file.execute(QStringLiteral("insert into rz (username, btime, jtime) values ('小王', ?, ?)"), {loggedIn, loggedOut});
    }
    auto text = [](const QVariant &value) { return value.isNull() ? QStringLiteral("<null>") : value.toString(); };
    const QStringList written{stored, text(loggedIn), text(loggedOut)};
    QCOMPARE(storedTimes(source), written);

    // The store under test: the server, or the folder's own file.
    {
        Connection reader(source, Schema::databaseKey());
        Connection writer(workspace.dataSource(), Connection::OpenMode::CreateFile);
        DatabaseTool::copyLedger(reader, writer);
    }
    Connection store(workspace.dataSource());
    Statement sale = store.prepare(QStringLiteral("select day1 from data"));
    QVERIFY(sale.step());
    QCOMPARE(sale.declaredType(0), FieldType::Date);
    QCOMPARE(Dataset::displayTextOf(sale.value(0), sale.declaredType(0)), shown);
    QCOMPARE(sale.value(0).typeId(), day.isNull() ? QMetaType::UnknownType : QMetaType::QDate);
    if (!day.isNull()) {
        // A range ending on the sale's day holds it, whatever its time of day; one
        // ending the day before does not.
        const QDate date = day.toDate();
        const QString inRange = QStringLiteral("select count(*), sum(\"4\"), sum(month(day1)) from data "
                                               "where day1>=? and day1<=?");
        Statement counted = store.prepare(inRange);
        counted.bind({date, DateText::lastSecondOf(date)});
        QVERIFY(counted.step());
        QCOMPARE(counted.int64Value(0), 1);
        QCOMPARE(counted.doubleValue(1), 2.5);
        QCOMPARE(counted.int64Value(2), date.month());
        if (date > QDate(1, 1, 1)) {
            QCOMPARE(store.scalar(inRange, {QDate(1, 1, 1), DateText::lastSecondOf(date.addDays(-1))}).toInt(), 0);
        }
    }

    // The session log reads the same texts on every store.
    const Run sessions = runAdmin({QStringLiteral("sessions")});
    QCOMPARE(sessions.exitCode, 0);
    QCOMPARE(sessions.output, QStringLiteral("1\t小王\t%1\t%2\n").arg(loggedIn.toString(), loggedOut.toString()));

    // And back into a new file: exactly what the first one held.
    const QString back = workspace.filePath(QStringLiteral("back.mdb"));
    {
        Connection writer(DataSource::embeddedFile(back), Connection::OpenMode::CreateFile);
        DatabaseTool::copyLedger(store, writer);
    }
    QStringList expected = written;
    if (TestWorkspace::onServer())
        expected[0] = afterServer;
    QCOMPARE(storedTimes(back), expected);
}

void AdminToolTest::badArgumentsFail_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("exitCode");
    QTest::newRow("none") << QStringList{} << 2;
    QTest::newRow("unknown") << QStringList{"drop"} << 2;
    QTest::newRow("demo without number") << QStringList{"demo", "many"} << 2;
    QTest::newRow("demo without database") << QStringList{"demo", "3"} << 1;
    // Refused before any database is looked for.
    QTest::newRow("demo of 10^12 sales") << QStringList{"demo", "1000000000000"} << 2;
    QTest::newRow("import without file") << QStringList{"import-legacy"} << 2;
    QTest::newRow("import of a missing file") << QStringList{"import-legacy", "old.mdb"} << 1;
}

void AdminToolTest::badArgumentsFail()
{
    QFETCH(QStringList, arguments);
    QFETCH(int, exitCode);
    TestWorkspace workspace(TestWorkspace::Database::None);
    const Run run = runAdmin(arguments);
    QCOMPARE(run.exitCode, exitCode);
    QVERIFY(!run.output.isEmpty());
    QVERIFY(!QFile::exists(workspace.databasePath()));
}

void AdminToolTest::killedCopyOrInitLeavesNoHalfLedger_data()
{
    QTest::addColumn<QString>("command");
    QTest::newRow("copy") << "copy";
    QTest::newRow("init") << "init";
}

// Killed at any moment, copy and init leave either no file under the target's name or
// a whole ledger there, never a half-made one; the next run clears what the killed
// ones left under their temporary names.
void AdminToolTest::killedCopyOrInitLeavesNoHalfLedger()
{
    QFETCH(QString, command);
    if (TestWorkspace::onServer())
        QSKIP("about a ledger file");
    TestWorkspace workspace(TestWorkspace::Database::None);
    const QString source = workspace.filePath(QStringLiteral("source.mdb"));
    DatabaseTool::createDatabase(source);
    {
        Connection connection(source, Schema::databaseKey());
        DatabaseTool::addDemoSales(connection, 40000);
    }
    const QString target = workspace.filePath(QStringLiteral("c/data.mdb"));
    QDir().mkpath(QFileInfo(target).absolutePath());
    const QStringList arguments = command == QLatin1String("copy")
                                      ? QStringList{QStringLiteral("copy"), QStringLiteral("--from"), source,
                                                    QStringLiteral("--to"), target}
                                      : QStringList{QStringLiteral("init")};
    const int sales = command == QLatin1String("copy") ? 40000 : 0;
    auto start = [&](QProcess &process) {
        process.setProgram(qEnvironmentVariable("QUILLMORA_BIN_DIR") + QStringLiteral("/quillmora-admin"));
        process.setArguments(arguments);
        process.setWorkingDirectory(QFileInfo(target).absolutePath());
        process.setProcessChannelMode(QProcess::MergedChannels);
        process.start();
        QVERIFY(process.waitForStarted());
    };
    QElapsedTimer timer;
    timer.start();
    {
        QProcess whole;
        start(whole);
        QVERIFY(whole.waitForFinished(120000));
        QVERIFY2(whole.exitCode() == 0, whole.readAll().constData());
    }
    const qint64 duration = timer.elapsed();
    // A ledger made by this account is for it alone.
    struct stat status;
    QCOMPARE(::stat(QFile::encodeName(target).constData(), &status), 0);
    QCOMPARE(status.st_mode & 0777, mode_t(0600));

    const quint32 seed = QRandomGenerator::global()->generate();
    qInfo("a whole %s takes %lld ms; kill seed %u", qPrintable(command), duration, seed);
    QRandomGenerator random(seed);
    int killed = 0;
    int whole = 0;
    for (int round = 0; round < 24; ++round) {
        QFile::remove(target);
        QProcess process;
        start(process);
        QThread::msleep(random.bounded(quint32(duration + 20)));
        if (process.state() == QProcess::Running) {
            ::kill(pid_t(process.processId()), SIGKILL);
            ++killed;
        }
        QVERIFY(process.waitForFinished(120000));
        if (QFileInfo::exists(target + QStringLiteral("-journal")))
            QFAIL(qPrintable(QStringLiteral("round %1 left a journal beside the ledger").arg(round)));
        if (!QFileInfo::exists(target))
            continue;
        ++whole;
        Connection ledger(target, Schema::databaseKey());
        QCOMPARE(ledger.scalar(QStringLiteral("pragma integrity_check")).toString(), QStringLiteral("ok"));
        QCOMPARE(ledger.scalar(QStringLiteral("select count(*) from data")).toInt(), sales);
        QCOMPARE(ledger.scalar(QStringLiteral("select count(*) from userdb")).toInt(), 1);
    }
    qInfo("%d kills landed; %d rounds left a whole ledger", killed, whole);
    QVERIFY2(killed >= 20, qPrintable(QStringLiteral("only %1 kills landed").arg(killed)));

    QFile::remove(target);
    QProcess last;
    start(last);
    QVERIFY(last.waitForFinished(120000));
    QCOMPARE(last.exitCode(), 0);
    const QStringList leftovers =
        QDir(QFileInfo(target).absolutePath()).entryList(QDir::Files | QDir::Hidden);
    QCOMPARE(leftovers, QStringList{QStringLiteral("data.mdb")});
}

QTEST_MAIN(AdminToolTest)
#include "tst_admintool.moc"
