#include "apperror.h"
#include "backupfiles.h"
#include "clock.h"
#include "connection.h"
#include "databasetool.h"
#include "datamodule.h"
#include "fileledgerbackup.h"
#include "ledgerbackup.h"
#include "ledgerkey.h"
#include "ledgerlock.h"
#include "openerror.h"
#include "privateserver.h"
#include "salejournal.h"
#include "schema.h"
#include "testworkspace.h"

#include <QCryptographicHash>
#include <QDir>
#include <QElapsedTimer>
#include <QProcess>
#include <QRandomGenerator>
#include <QtTest>
#include <csignal>
#include <sys/mount.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace {

const QStringList kTables = {"data", "deleted_sales", "payment_sales", "payments", "rz", "sale_changes", "userdb"};

// Every row of every table of the ledger, as text with each value's kind, sorted: two
// ledgers with the same snapshot hold the same rows.
QStringList snapshot(Connection &connection)
{
    QStringList rows;
    for (const QString &table : kTables) {
        Statement statement = connection.prepare(QStringLiteral("select * from %1").arg(table));
        while (statement.step()) {
            QStringList fields{table};
            for (int i = 0; i < statement.columnCount(); ++i) {
                const QVariant value = statement.value(i);
                fields << (value.isNull() ? QStringLiteral("<null>")
                                          : QString::fromLatin1(value.typeName()) + QLatin1Char(':') + value.toString());
            }
            rows << fields.join(QLatin1Char('|'));
        }
    }
    rows.sort();
    return rows;
}

QByteArray digest(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    QCryptographicHash hash(QCryptographicHash::Sha256);
    hash.addData(&file);
    return hash.result();
}

QStringList backupFiles(const QString &folder)
{
    return QDir(folder).entryList({QStringLiteral("data-*")}, QDir::Files, QDir::Name);
}

QString adminPath()
{
    return qEnvironmentVariable("QUILLMORA_BIN_DIR") + QStringLiteral("/quillmora-admin");
}

// A sale changed and another deleted, so the bin and the history hold rows too, and a
// payment recorded.
void addJournalRows(Connection &connection)
{
    const SaleJournal::Stamp stamp{QStringLiteral("店长"), QDateTime(QDate(2024, 5, 1), QTime(10, 0))};
    SaleJournal::updateSales(connection, QStringLiteral("z=?"), {QStringLiteral("改过")}, QStringLiteral("rowid=?"),
                             {connection.scalar(QStringLiteral("select min(rowid) from data"))}, stamp);
    connection.beginTransaction();
    const qint64 last = connection.scalar(QStringLiteral("select max(rowid) from data")).toLongLong();
    SaleJournal::keepDeleted(connection, last, stamp);
    connection.execute(QStringLiteral("delete from data where rowid=?"), {last});
    // A customer's payment on the first sale.
    connection.execute(QStringLiteral("insert into payments (paid_at, customer_name, customer_mobile, amount, paid_by, paid_on) "
                                      "values (?, '张三', '138', 12.5, '店长', 'till')"),
                       {stamp.time});
    connection.execute(QStringLiteral("insert into payment_sales (payment_key, sale_key, amount) values (?, ?, 12.5)"),
                       {connection.lastInsertRowId(), connection.scalar(QStringLiteral("select min(rowid) from data"))});
    connection.commit();
}

const QDateTime kNow(QDate(2024, 5, 6), QTime(18, 30, 0));

} // namespace

class LedgerBackupTest : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        Clock::setFixedNow(kNow);
        // The shop's key lives under each workspace's own home.
        qunsetenv("XDG_CONFIG_HOME");
    }
    void cleanup() { Clock::setFixedNow(std::nullopt); }

    void backupIsAnEncryptedCheckedCopy();
    void writesDuringABackupGoOnAndAreInTheCopy_data();
    void writesDuringABackupGoOnAndAreInTheCopy();
    void stoppedBackupLeavesNothing();
    void restoredBackupHoldsTheRowsOfItsMoment();
    void unusableBackupsAreRefused_data();
    void unusableBackupsAreRefused();
    void foreignObjectsAreRefused_data();
    void foreignObjectsAreRefused();
    void restoreAtTheTargetOfALink();
    void chosenBackupRemovedWhileWaitingIsRestored();
    void filesAreForThisAccountOnly();
    void copyToAnotherDisk_data();
    void copyToAnotherDisk();
    void serverBackupsGoWhereTheSettingSays();
    void backupsOfTheEarlierFileAreListedBesideTheDumps();
    void shopKeyRoundTrip();
    void killedKeyChangeLeavesAReadableLedger();
    void restoreWaitsForTheLedgerToBeFree();
    void lostConnectionHoldsTheLedgerAgain();
    void adminCommandsListAndRestore();
    void restoreAfterServerRestartFindsAnIdleTill();
    void restoreCountsTerminalSessionsWithoutTheirLock();
    void oldBackupsAreRemovedByTheKeepingRules();
    void killedBackupsLeaveEverythingWhole();
    void fullDiskReportsAndKeepsEverything_data();
    void fullDiskReportsAndKeepsEverything();
};

void LedgerBackupTest::backupIsAnEncryptedCheckedCopy()
{
    TestWorkspace workspace;
    Connection connection(workspace.dataSource());
    DatabaseTool::addDemoSales(connection, 300);
    addJournalRows(connection);
    const auto backups = LedgerBackup::forSource(workspace.dataSource(), workspace.path());
    const QString path = backups->backup(&connection);
    const QString expected = TestWorkspace::onServer() ? QStringLiteral("data-20240506-183000.dump")
                                                       : QStringLiteral("data-20240506-183000.mdb");
    QCOMPARE(path, workspace.filePath(QStringLiteral("backups/") + expected));
    // A second one in the same second gets a name of its own; both stay (the last
    // 48 hours are kept whole).
    const QString second = backups->backup(&connection);
    QCOMPARE(QFileInfo(second).fileName(), QString(expected).replace(QStringLiteral("000."), QStringLiteral("000-2.")));
    QCOMPARE(backupFiles(backups->folder()), (QStringList{QFileInfo(second).fileName(), expected}));
    QVERIFY(backups->hasBackupOf(kNow.date()));
    QVERIFY(!backups->hasBackupOf(kNow.date().addDays(-1)));

    const std::vector<BackupInfo> listed = backups->list();
    QCOMPARE(listed.size(), size_t(2));
    QCOMPARE(listed[0].sales, 299);
    QCOMPARE(listed[0].size, QFileInfo(second).size());
    QCOMPARE(listed[0].time, kNow);
    if (TestWorkspace::onServer())
        return;

    // The copy is encrypted with the ledger's key, opens with it and nothing else.
    QFile raw(second);
    QVERIFY(raw.open(QIODevice::ReadOnly));
    QVERIFY(!raw.read(16).startsWith("SQLite format 3"));
    Connection copy(second, Schema::databaseKey());
    QCOMPARE(copy.scalar(QStringLiteral("pragma integrity_check")).toString(), QStringLiteral("ok"));
    QCOMPARE(snapshot(copy), snapshot(connection));
    QVERIFY_THROWS_EXCEPTION(DatabaseOpenError, Connection(second, QByteArrayLiteral("another key")));
}

void LedgerBackupTest::writesDuringABackupGoOnAndAreInTheCopy_data()
{
    QTest::addColumn<QList<int>>("writesAt");
    QTest::newRow("one write between two slices") << QList<int>{2};
    // More than the copy starts over for: the rest is then copied holding the file,
    // and the writes wait for it instead of failing.
    QTest::newRow("a write before each of four slices") << QList<int>{1, 2, 3, 4};
}

// A backup made while a till goes on selling: each write goes through at once between
// the copy's slices (a copy holding the file throughout would keep it waiting until it
// fails as "database is locked"), and the copy holds every write made before it ended.
void LedgerBackupTest::writesDuringABackupGoOnAndAreInTheCopy()
{
    QFETCH(QList<int>, writesAt);
    if (TestWorkspace::onServer())
        QSKIP("the embedded file's copy");
    TestWorkspace workspace;
    {
        Connection filling(workspace.dataSource());
        // Over five megabytes: the copy goes in more slices than it starts over for.
        DatabaseTool::addDemoSales(filling, 40000);
    }
    QVERIFY(QFileInfo(workspace.databasePath()).size() > 5 * 1024 * 1024);
    Connection till(workspace.dataSource());
    FileLedgerBackup backups(workspace.dataSource(), workspace.path());
    int asked = 0;
    QStringList writeErrors;
    backups.setGoOn([&] {
        if (writesAt.contains(++asked)) {
            try {
                till.beginTransaction();
                till.execute(QStringLiteral("insert into data (a, b, f) values (?, '赶时间', 1)"), {asked});
                till.commit();
            } catch (const AppError &error) {
                writeErrors << error.message();
            }
        }
        return true;
    });
    QString made;
    QString failure;
    // The backup in a thread of its own, on a connection of its own, as after a login.
    std::thread copier([&] {
        try {
            made = backups.backup();
        } catch (const std::exception &error) {
            failure = QString::fromUtf8(error.what());
        }
    });
    copier.join();
    QVERIFY2(failure.isEmpty(), qPrintable(failure));
    QCOMPARE(writeErrors, QStringList());
    QVERIFY(asked > writesAt.last());
    QCOMPARE(till.scalar(QStringLiteral("select count(*) from data where b='赶时间'")).toInt(), writesAt.size());
    Connection copy(made, Schema::databaseKey());
    QCOMPARE(copy.scalar(QStringLiteral("pragma integrity_check")).toString(), QStringLiteral("ok"));
    QCOMPARE(snapshot(copy), snapshot(till));
}

// A backup stopped at any of the moments it asks whether to go on (between the copy's
// slices, before its last one, while the copy is checked, before it is named) ends at
// once and leaves nothing: no file under a backup's name, no temporary file.
void LedgerBackupTest::stoppedBackupLeavesNothing()
{
    if (TestWorkspace::onServer())
        QSKIP("the embedded file's copy");
    TestWorkspace workspace;
    {
        Connection filling(workspace.dataSource());
        DatabaseTool::addDemoSales(filling, 40000);
    }
    FileLedgerBackup backups(workspace.dataSource(), workspace.path());
    int asked = 0;
    backups.setGoOn([&] { return ++asked > 0; });
    const QString before = backups.backup();
    const int all = asked;
    // The last but one is asked inside the copy's check: a stop there ends the check,
    // and nothing more is asked.
    for (const int stopAt : {1, 2, all / 2, all - 1, all}) {
        asked = 0;
        backups.setGoOn([&] { return ++asked < stopAt; });
        QVERIFY_THROWS_EXCEPTION(BackupError, backups.backup());
        QCOMPARE(asked, stopAt);
        QCOMPARE(QDir(backups.folder()).entryList(QDir::Files | QDir::Hidden), QStringList{QFileInfo(before).fileName()});
    }
    QCOMPARE(backups.list().size(), size_t(1));
}

void LedgerBackupTest::restoredBackupHoldsTheRowsOfItsMoment()
{
    TestWorkspace workspace;
    const auto backups = LedgerBackup::forSource(workspace.dataSource(), workspace.path());
    QStringList atBackup, later;
    QString taken;
    {
        Connection connection(workspace.dataSource());
        DatabaseTool::addDemoSales(connection, 200);
        addJournalRows(connection);
        atBackup = snapshot(connection);
        taken = backups->backup(&connection);
        // Afterwards: more sales, one deleted, the history grows, a user added.
        DatabaseTool::addDemoSales(connection, 50, 7);
        addJournalRows(connection);
        connection.execute(QStringLiteral("insert into userdb values ('新来的', 'x')"));
        later = snapshot(connection);
    }
    QVERIFY(atBackup != later);

    Clock::setFixedNow(kNow.addSecs(3600));
    const QString kept = backups->restore(QFileInfo(taken).fileName());
    {
        Connection restored(workspace.dataSource());
        QCOMPARE(snapshot(restored), atBackup);
        // New sales continue after the restored ones.
        restored.execute(QStringLiteral("insert into data (b) values ('恢复后')"));
        QVERIFY(restored.lastInsertRowId() > 0);
    }
    // The replaced ledger is a backup of its own, kept apart from the keeping rules.
    QVERIFY(QFileInfo(kept).fileName().endsWith(TestWorkspace::onServer() ? QStringLiteral("-before-restore.dump")
                                                                          : QStringLiteral("-before-restore.mdb")));
    QVERIFY(QFile::exists(taken));
    backups->backup();
    QVERIFY(QFile::exists(kept));
    if (!TestWorkspace::onServer()) {
        Connection replaced(kept, Schema::databaseKey());
        QCOMPARE(snapshot(replaced), later);
    } else {
        QCOMPARE(backups->check(kept), 200 - 1 + 50 - 1);
    }
    // The data module opens the restored ledger as usual.
    Tdmfm module(workspace.dataSource());
    QCOMPARE(module.ADOConnection1->scalar(QStringLiteral("select count(*) from data")).toInt(), 200 - 1 + 1);
}

void LedgerBackupTest::unusableBackupsAreRefused_data()
{
    QTest::addColumn<QString>("kind");
    QTest::newRow("damaged in the middle") << "damaged";
    QTest::newRow("cut short") << "truncated";
    QTest::newRow("keyed with another password") << "other key";
    QTest::newRow("random bytes") << "random";
    QTest::newRow("a database without the ledger's tables") << "no ledger";
    QTest::newRow("no such file") << "missing";
    QTest::newRow("backup of another ledger") << "other ledger";
}

void LedgerBackupTest::unusableBackupsAreRefused()
{
    QFETCH(QString, kind);
    TestWorkspace workspace;
    const bool server = TestWorkspace::onServer();
    if (!server && kind == QLatin1String("other ledger"))
        QSKIP("a file holds no name of its ledger");
    if (server && kind == QLatin1String("other key"))
        QSKIP("a server's dump has no key");
    if (server && kind == QLatin1String("no ledger"))
        QSKIP("about a database file without the ledger's tables");
    const auto backups = LedgerBackup::forSource(workspace.dataSource(), workspace.path());
    QStringList before;
    QString good;
    {
        Connection connection(workspace.dataSource());
        DatabaseTool::addDemoSales(connection, 2000);
        good = backups->backup(&connection);
        connection.execute(QStringLiteral("delete from data where rowid < 100"));
        before = snapshot(connection);
    }
    const QString bad = workspace.filePath(QStringLiteral("backups/") + (server ? QStringLiteral("data-20240505-120000.dump")
                                                                                : QStringLiteral("data-20240505-120000.mdb")));
    QFile::copy(good, bad);
    QFile file(bad);
    if (kind == QLatin1String("damaged")) {
        QVERIFY(file.open(QIODevice::ReadWrite));
        file.seek(file.size() / 2);
        file.write(QByteArray(64, '\x5a'));
    } else if (kind == QLatin1String("truncated")) {
        QVERIFY(file.resize(file.size() / 2));
    } else if (kind == QLatin1String("other key")) {
        QFile::remove(bad);
        Connection other(bad, QByteArrayLiteral("not the key"), Connection::OpenMode::CreateFile);
        Schema::createTables(other);
    } else if (kind == QLatin1String("random")) {
        QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        for (int i = 0; i < 16 * 1024; ++i)
            file.write(QByteArray(1, char(QRandomGenerator::global()->bounded(256))));
    } else if (kind == QLatin1String("no ledger")) {
        QFile::remove(bad);
        Connection other(bad, Schema::databaseKey(), Connection::OpenMode::CreateFile);
        other.execute(QStringLiteral("create table notes (t text)"));
    } else if (kind == QLatin1String("missing")) {
        QFile::remove(bad);
    } else if (kind == QLatin1String("other ledger")) {
        TestWorkspace other;
        const auto otherBackups = LedgerBackup::forSource(other.dataSource(), other.path());
        QFile::remove(bad);
        QVERIFY(QFile::copy(otherBackups->backup(), bad));
        QDir::setCurrent(workspace.path());
    }
    file.close();
    const QStringList filesBefore = backupFiles(backups->folder());
    const QByteArray ledgerBefore = server ? QByteArray() : digest(workspace.databasePath());

    try {
        backups->restore(bad);
        QFAIL("an unusable backup was restored");
    } catch (const BackupError &error) {
        QCOMPARE(error.kind(), BackupError::Kind::Unusable);
    }
    QCOMPARE(backupFiles(backups->folder()), filesBefore);
    if (!server)
        QCOMPARE(digest(workspace.databasePath()), ledgerBefore);
    Connection connection(workspace.dataSource());
    QCOMPARE(snapshot(connection), before);
    // The listing shows a file that does not open as a ledger without a count (the
    // listing only counts; finding damage inside is the full check's work).
    if (kind == QLatin1String("other key") || kind == QLatin1String("random") || kind == QLatin1String("no ledger")) {
        bool listed = false;
        for (const BackupInfo &info : backups->list()) {
            if (info.path == bad) {
                listed = true;
                QCOMPARE(info.sales, -1);
            }
        }
        QVERIFY(listed);
    }
}

void LedgerBackupTest::foreignObjectsAreRefused_data()
{
    // What is added to the ledger before the backup is made of it, and the words that
    // must name it in the refusal (empty: the backup is a ledger and is restored).
    QTest::addColumn<QStringList>("embedded");
    QTest::addColumn<QStringList>("server");
    QTest::addColumn<QStringList>("dumpedAlso");
    QTest::addColumn<QString>("named");
    const QString function = QStringLiteral(
        "create function reset_password() returns trigger language plpgsql as "
        "$$ begin update userdb set passwd = 'known'; return new; end $$");
    QTest::newRow("trigger")
        << QStringList{"create trigger reset_password after insert on data begin update userdb set passwd = 'known'; end"}
        << QStringList{function, "create trigger reset_password after insert on data for each row execute function reset_password()"}
        << QStringList{} << "trigger";
    QTest::newRow("function")
        << QStringList{} << QStringList{function} << QStringList{"--schema"} << "function";
    QTest::newRow("view") << QStringList{"create view owed as select e, \"5\" from data"}
                          << QStringList{"create view owed as select e, \"5\" from data"} << QStringList{"owed"} << "view";
    QTest::newRow("other table") << QStringList{"create table notes (t text)", "insert into notes values ('x')"}
                                 << QStringList{"create table notes (t text)", "insert into notes values ('x')"}
                                 << QStringList{"notes"} << "table";
    QTest::newRow("other schema") << QStringList{} << QStringList{"create schema elsewhere", "create table elsewhere.data (t text)"}
                                  << QStringList{"elsewhere.data"} << "schema";
    // A converted ledger's extra columns, an index of the shop's own: a ledger still.
    QTest::newRow("extra columns and an index")
        << QStringList{"alter table data add column extra text", "alter table deleted_sales add column terminal text",
                       "create index data_extra on data (extra)"}
        << QStringList{"alter table data add column extra text", "alter table deleted_sales add column terminal text",
                       "create index data_extra on data (extra)"}
        << QStringList{} << "";
}

void LedgerBackupTest::foreignObjectsAreRefused()
{
    QFETCH(QStringList, embedded);
    QFETCH(QStringList, server);
    QFETCH(QStringList, dumpedAlso);
    QFETCH(QString, named);
    const bool onServer = TestWorkspace::onServer();
    const QStringList statements = onServer ? server : embedded;
    if (statements.isEmpty())
        QSKIP("no such object in this engine's ledger");
    TestWorkspace workspace;
    const auto backups = LedgerBackup::forSource(workspace.dataSource(), workspace.path());
    const QString crafted = workspace.filePath(onServer ? QStringLiteral("crafted.dump") : QStringLiteral("crafted.mdb"));
    QStringList before;
    {
        Connection connection(workspace.dataSource());
        DatabaseTool::addDemoSales(connection, 30);
        before = snapshot(connection);
        const QString made = backups->backup(&connection);
        if (!onServer) {
            QVERIFY(QFile::copy(made, crafted));
            Connection file(crafted, Schema::databaseKey());
            for (const QString &statement : statements)
                file.execute(statement);
        } else {
            // The objects go into the ledger for the dump and are taken out again.
            for (const QString &statement : statements)
                connection.execute(statement);
            const QString schema = connection.scalar(QStringLiteral("select current_schema()")).toString();
            QStringList arguments{QStringLiteral("--format=custom"), QStringLiteral("--file=") + crafted};
            if (dumpedAlso.contains(QStringLiteral("--schema"))) {
                arguments << QStringLiteral("--schema=") + schema;
            } else {
                for (const QString &table : kTables + dumpedAlso)
                    arguments << QStringLiteral("--table=") + (table.contains(QLatin1Char('.')) ? table : schema + QLatin1Char('.') + table);
            }
            arguments << QStringLiteral("--dbname=") + workspace.serverUrl();
            QProcess dump;
            dump.start(QStringLiteral("pg_dump"), arguments);
            QVERIFY(dump.waitForFinished(60000));
            QVERIFY2(dump.exitCode() == 0, dump.readAllStandardError().constData());
            if (named.isEmpty()) {
                before.clear();
            } else {
                connection.execute(QStringLiteral("drop schema if exists elsewhere cascade"));
                connection.execute(QStringLiteral("drop view if exists owed"));
                connection.execute(QStringLiteral("drop table if exists notes"));
                connection.execute(QStringLiteral("drop trigger if exists reset_password on data"));
                connection.execute(QStringLiteral("drop function if exists reset_password()"));
            }
        }
    }
    const QStringList filesBefore = backupFiles(backups->folder());
    const QByteArray ledgerBefore = onServer ? QByteArray() : digest(workspace.databasePath());

    if (named.isEmpty()) {
        backups->restore(crafted);
        Connection restored(workspace.dataSource());
        QVERIFY(restored.tableFields(QStringLiteral("data")).contains(QStringLiteral("extra")));
        QCOMPARE(restored.scalar(QStringLiteral("select count(*) from data")).toInt(), 30);
        return;
    }
    QVERIFY_THROWS_EXCEPTION(BackupError, backups->check(crafted));
    try {
        backups->restore(crafted);
        QFAIL("a backup holding more than a ledger was restored");
    } catch (const BackupError &error) {
        QCOMPARE(error.kind(), BackupError::Kind::Unusable);
        QVERIFY2(error.message().contains(named), qPrintable(error.message()));
        qInfo("%s", qPrintable(error.message()));
    }
    QCOMPARE(backupFiles(backups->folder()), filesBefore);
    if (!onServer)
        QCOMPARE(digest(workspace.databasePath()), ledgerBefore);
    Connection connection(workspace.dataSource());
    QCOMPARE(snapshot(connection), before);
    if (onServer) {
        QCOMPARE(connection.scalar(QStringLiteral("select count(*) from pg_trigger t join pg_class c on c.oid = t.tgrelid "
                                                  "where c.relname = 'data' and not t.tgisinternal")).toInt(), 0);
        QCOMPARE(connection.scalar(QStringLiteral("select count(*) from pg_proc where proname = 'reset_password'")).toInt(), 0);
    }
}

void LedgerBackupTest::restoreAtTheTargetOfALink()
{
    if (TestWorkspace::onServer())
        QSKIP("about the embedded file");
    TestWorkspace workspace;
    // The ledger lies on another disk; data.mdb in the working folder points to it.
    const QString elsewhere = workspace.filePath(QStringLiteral("disk/ledger.mdb"));
    QDir().mkpath(QFileInfo(elsewhere).absolutePath());
    QVERIFY(QFile::rename(workspace.databasePath(), elsewhere));
    QVERIFY(QFile::link(elsewhere, workspace.databasePath()));
    const auto backups = LedgerBackup::forSource(workspace.dataSource(), workspace.path());
    const QString taken = backups->backup();
    {
        Connection connection(workspace.dataSource());
        DatabaseTool::addDemoSales(connection, 5);
    }
    backups->restore(taken);
    QVERIFY(QFileInfo(workspace.databasePath()).isSymLink());
    QCOMPARE(QFileInfo(workspace.databasePath()).symLinkTarget(), elsewhere);
    Connection target(elsewhere, Schema::databaseKey());
    QCOMPARE(target.scalar(QStringLiteral("select count(*) from data")).toInt(), 0);
    QCOMPARE(QDir(QFileInfo(elsewhere).absolutePath()).entryList(QDir::Files | QDir::Hidden), QStringList{"ledger.mdb"});
}

// The program closing for a restore makes a backup of its own; whatever its keeping
// rule does meanwhile, the backup the restore waits for is restored whole.
void LedgerBackupTest::chosenBackupRemovedWhileWaitingIsRestored()
{
    if (TestWorkspace::onServer())
        QSKIP("the program backs up the embedded file by itself, a server's ledger only on request");
    TestWorkspace workspace;
    const auto backups = LedgerBackup::forSource(workspace.dataSource(), workspace.path());
    QString taken;
    {
        Connection connection(workspace.dataSource());
        DatabaseTool::addDemoSales(connection, 7);
        taken = backups->backup(&connection);
        DatabaseTool::addDemoSales(connection, 3);
    }
    auto module = std::make_unique<Tdmfm>(workspace.dataSource());
    std::thread closing([&] {
        QThread::msleep(800);
        QFile::remove(taken);
        module.reset();
    });
    backups->setWaitForFree(20000);
    const QString kept = backups->restore(taken);
    closing.join();
    Connection restored(workspace.dataSource());
    QCOMPARE(restored.scalar(QStringLiteral("select count(*) from data")).toInt(), 7);
    QCOMPARE(backups->check(kept), 10);
}

void LedgerBackupTest::filesAreForThisAccountOnly()
{
    TestWorkspace workspace;
    auto mode = [](const QString &path) {
        struct stat status;
        return ::stat(QFile::encodeName(path).constData(), &status) == 0 ? int(status.st_mode & 0777) : -1;
    };
    const auto backups = LedgerBackup::forSource(workspace.dataSource(), workspace.path());
    // As an earlier version left them: open to everyone.
    QDir().mkpath(backups->folder());
    QFile::setPermissions(backups->folder(), QFileDevice::Permissions(0x7755));
    const QString old = QDir(backups->folder()).filePath(TestWorkspace::onServer() ? QStringLiteral("data-20240101-120000.dump")
                                                                               : QStringLiteral("data-20240101-120000.mdb"));
    {
        QFile file(old);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.setPermissions(QFileDevice::Permissions(0x6644));
    }
    if (!TestWorkspace::onServer())
        QFile::setPermissions(workspace.databasePath(), QFileDevice::Permissions(0x6644));
    QCOMPARE(mode(old), 0644);

    const QString made = backups->backup();
    QCOMPARE(mode(backups->folder()), 0700);
    QCOMPARE(mode(made), 0600);
    QCOMPARE(mode(old), 0600);
    if (!TestWorkspace::onServer())
        QCOMPARE(mode(workspace.databasePath()), 0600);
    const QString kept = backups->restore(made);
    QCOMPARE(mode(kept), 0600);
    if (!TestWorkspace::onServer())
        QCOMPARE(mode(workspace.databasePath()), 0600);
}

void LedgerBackupTest::copyToAnotherDisk_data()
{
    QTest::addColumn<QString>("where");
    QTest::addColumn<bool>("all");
    QTest::newRow("the newest") << "folder" << false;
    QTest::newRow("all of them") << "folder" << true;
    QTest::newRow("a small disk that fills up") << "tmpfs" << true;
    QTest::newRow("a stick that is gone") << "missing" << false;
}

void LedgerBackupTest::copyToAnotherDisk()
{
    QFETCH(QString, where);
    QFETCH(bool, all);
    TestWorkspace workspace;
    const auto backups = LedgerBackup::forSource(workspace.dataSource(), workspace.path());
    QStringList made;
    {
        Connection connection(workspace.dataSource());
        for (int day = 3; day >= 1; --day) {
            Clock::setFixedNow(kNow.addDays(-day));
            DatabaseTool::addDemoSales(connection, 4000, quint32(day));
            made.prepend(QFileInfo(backups->backup(&connection)).fileName());
        }
    }
    // One that no longer opens: reported, never copied.
    const QString broken = QStringLiteral("data-20240101-120000.") + QFileInfo(made.first()).suffix();
    {
        QFile file(QDir(backups->folder()).filePath(broken));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(QByteArray(4096, 'x'));
    }
    QHash<QString, QByteArray> before;
    for (const QString &file : made)
        before.insert(file, digest(QDir(backups->folder()).filePath(file)));

    QString stick = workspace.filePath(QStringLiteral("stick"));
    bool mounted = false;
    if (where == QLatin1String("tmpfs")) {
        if (::geteuid() != 0)
            QSKIP("mounting a small disk needs root");
        QDir().mkpath(stick);
        // Room for one backup and a half.
        const qint64 size = QFileInfo(QDir(backups->folder()).filePath(made.first())).size();
        const QByteArray options = QStringLiteral("size=%1k").arg((size * 3 / 2) / 1024 + 8).toLatin1();
        if (::mount("tmpfs", QFile::encodeName(stick).constData(), "tmpfs", 0, options.constData()) != 0)
            QSKIP("this machine allows no tmpfs mount");
        mounted = true;
    } else if (where == QLatin1String("folder")) {
        QDir().mkpath(stick);
    }
    auto unmount = qScopeGuard([&] {
        if (mounted)
            ::umount2(QFile::encodeName(stick).constData(), MNT_DETACH);
    });

    BackupCopyReport report;
    try {
        report = backups->copyTo(stick, all);
        QVERIFY(where == QLatin1String("folder"));
        QCOMPARE(report.copied, all ? made : made.mid(0, 1));
        QCOMPARE(report.unusable, all ? QStringList{broken} : QStringList{});
        // Again: nothing to copy twice.
        QCOMPARE(backups->copyTo(stick, all).alreadyThere, report.copied);
    } catch (const BackupError &error) {
        qInfo("%s", qPrintable(error.message()));
        QVERIFY2(where != QLatin1String("folder"), qPrintable(error.message()));
        if (where == QLatin1String("tmpfs")) {
            QCOMPARE(error.kind(), BackupError::Kind::NoRoom);
            QVERIFY2(error.message().contains(made.at(1)) && error.message().contains(made.at(0)), qPrintable(error.message()));
        }
    }
    // Whatever carries a backup's name there is a whole, sound copy; nothing else is left.
    if (where != QLatin1String("missing")) {
        const QStringList there = QDir(stick).entryList(QDir::Files | QDir::Hidden, QDir::Name | QDir::Reversed);
        QCOMPARE(there, where == QLatin1String("tmpfs") ? made.mid(0, 1) : report.copied);
        for (const QString &file : there) {
            QCOMPARE(backups->check(QDir(stick).filePath(file)), 4000 * (3 - int(made.indexOf(file))));
            QCOMPARE(digest(QDir(stick).filePath(file)), before.value(file));
        }
    }
    for (const QString &file : made)
        QCOMPARE(digest(QDir(backups->folder()).filePath(file)), before.value(file));
}

void LedgerBackupTest::restoreWaitsForTheLedgerToBeFree()
{
    TestWorkspace workspace;
    const auto backups = LedgerBackup::forSource(workspace.dataSource(), workspace.path());
    const QString taken = backups->backup();
    auto module = std::make_unique<Tdmfm>(workspace.dataSource());
    module->ADOConnection1->execute(QStringLiteral("insert into data (b) values ('后来的')"));
    try {
        backups->restore(taken);
        QFAIL("restored under an open ledger");
    } catch (const BackupError &error) {
        QCOMPARE(error.kind(), BackupError::Kind::InUse);
    }
    QCOMPARE(module->ADOConnection1->scalar(QStringLiteral("select count(*) from data")).toInt(), 1);
    QCOMPARE(backupFiles(backups->folder()), QStringList{QFileInfo(taken).fileName()});

    module.reset();
    // A program that closes while the restore waits lets it go ahead.
    std::unique_ptr<Connection> holderConnection;
    std::unique_ptr<LedgerLock> holder;
    if (TestWorkspace::onServer()) {
        holderConnection = std::make_unique<Connection>(workspace.dataSource());
        holder = LedgerLock::tryLock(*holderConnection, LedgerLock::Mode::Shared);
    } else {
        holder = LedgerLock::tryLock(workspace.databasePath(), LedgerLock::Mode::Shared);
    }
    QVERIFY(holder);
    std::thread closing([&holder] {
        QThread::msleep(700);
        holder.reset();
    });
    backups->setWaitForFree(20000);
    QElapsedTimer waited;
    waited.start();
    backups->restore(taken);
    closing.join();
    QVERIFY(waited.elapsed() >= 600);
    Connection restored(workspace.dataSource());
    QCOMPARE(restored.scalar(QStringLiteral("select count(*) from data")).toInt(), 0);

    // While a restore holds the ledger, the data module does not open it.
    if (!TestWorkspace::onServer()) {
        const auto restoring = LedgerLock::tryLock(workspace.databasePath(), LedgerLock::Mode::Exclusive);
        QVERIFY(restoring);
        try {
            Tdmfm blocked(workspace.dataSource());
            QFAIL("opened while being restored");
        } catch (const DatabaseOpenError &error) {
            QCOMPARE(error.message(), QStringLiteral("数据正在恢复，请稍后再启动程序。"));
        }
    } else {
        Connection holder(workspace.dataSource());
        const auto restoring = LedgerLock::tryLock(holder, LedgerLock::Mode::Exclusive);
        QVERIFY(restoring);
        QVERIFY_THROWS_EXCEPTION(DatabaseOpenError, Tdmfm(workspace.dataSource()));
    }
}

// A server connection that was lost and made again holds the ledger again before it
// runs anything; a restore that slipped in while it was lost is noticed.
void LedgerBackupTest::lostConnectionHoldsTheLedgerAgain()
{
    if (!TestWorkspace::onServer())
        QSKIP("a connection to a database server");
    TestWorkspace workspace;
    const auto backups = LedgerBackup::forSource(workspace.dataSource(), workspace.path());
    backups->setWaitForFree(2000);
    const QString taken = backups->backup();
    Tdmfm module(workspace.dataSource());
    Connection &terminal = *module.ADOConnection1;
    Connection admin(workspace.dataSource());
    auto refusal = [&](const std::function<void()> &command) {
        try {
            command();
        } catch (const DatabaseError &error) {
            return error.message();
        }
        return QStringLiteral("(ran)");
    };
    // The server ends the terminal's session while it is idle; its next command makes
    // a new one first.
    auto cut = [&] {
        const QVariant backend = terminal.scalar(QStringLiteral("select pg_backend_pid()"));
        QVERIFY(admin.scalar(QStringLiteral("select pg_terminate_backend(?, 10000)"), {backend}).toBool());
    };

    cut();
    QCOMPARE(terminal.scalar(QStringLiteral("select count(*) from data")).toInt(), 0);
    QVERIFY(!LedgerLock::tryLock(admin, LedgerLock::Mode::Exclusive));

    // While a restore holds the ledger the command is refused and runs nothing; once
    // the restore lets go, the next command holds the ledger again and runs.
    cut();
    {
        const auto restoring = LedgerLock::tryLock(admin, LedgerLock::Mode::Exclusive);
        QVERIFY(restoring);
        QCOMPARE(refusal([&] { terminal.execute(QStringLiteral("insert into data (b) values ('恢复中')")); }),
                 QStringLiteral("数据正在恢复，此操作没有执行。请在恢复完成后再试。"));
    }
    QCOMPARE(admin.scalar(QStringLiteral("select count(*) from data")).toInt(), 0);
    terminal.execute(QStringLiteral("insert into data (b) values ('恢复后')"));
    QVERIFY(!LedgerLock::tryLock(admin, LedgerLock::Mode::Exclusive));

    // A restore finished while the connection was lost: this program's rows and keys
    // belong to a ledger that is gone, so nothing runs until it starts again.
    cut();
    backups->restore(taken);
    for (int attempt = 0; attempt < 2; ++attempt)
        QCOMPARE(refusal([&] { terminal.execute(QStringLiteral("insert into data (b) values ('过时')")); }),
                 QStringLiteral("连接中断期间数据已被恢复，请关闭程序后重新启动。"));
    QCOMPARE(admin.scalar(QStringLiteral("select count(*) from data")).toInt(), 0);
}

namespace {

struct Run
{
    int status;
    QString output;
};

Run runAdmin(const QString &folder, const QStringList &arguments)
{
    QProcess process;
    process.setWorkingDirectory(folder);
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(adminPath(), arguments);
    if (!process.waitForFinished(60000))
        return {-1, QStringLiteral("did not finish")};
    return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1, QString::fromUtf8(process.readAll())};
}

} // namespace

// A till sits idle through a restart of the server, which ends its session and so its
// hold on the ledger; a restore started right after the restart must still find it.
void LedgerBackupTest::restoreAfterServerRestartFindsAnIdleTill()
{
    if (!TestWorkspace::onServer())
        QSKIP("a database server of the test's own");
    PrivateServer server;
    QVERIFY2(!server.address().isEmpty(), qPrintable(server.error()));
    {
        TestWorkspace workspace(TestWorkspace::Database::Fresh, server.address());
        const QString taken = LedgerBackup::forSource(workspace.dataSource(), workspace.path())->backup();
        QProcess till;
        till.setWorkingDirectory(workspace.path());
        till.start(QCoreApplication::applicationDirPath() + QStringLiteral("/tillprobe"), {QStringLiteral("idle")});
        QVERIFY(till.waitForReadyRead(30000));
        QCOMPARE(till.readLine().trimmed(), QByteArray("open"));
        {
            Connection connection(workspace.dataSource());
            connection.execute(QStringLiteral("insert into data (b) values ('恢复前')"));
        }

        QVERIFY2(server.restart(), qPrintable(server.error()));
        const Run refused =
            runAdmin(workspace.path(), {QStringLiteral("--database"), workspace.serverUrl(), QStringLiteral("restore"), taken});
        QCOMPARE(refused.status, 1);
        QVERIFY2(refused.output.contains(QStringLiteral("open in another program")), qPrintable(refused.output));
        {
            Connection connection(workspace.dataSource());
            QCOMPARE(connection.scalar(QStringLiteral("select count(*) from data")).toInt(), 1);
        }

        // Once the till is closed the same restore goes through.
        till.closeWriteChannel();
        QVERIFY(till.waitForFinished(30000));
        QCOMPARE(till.exitCode(), 0);
        const Run restored =
            runAdmin(workspace.path(), {QStringLiteral("--database"), workspace.serverUrl(), QStringLiteral("restore"), taken});
        QVERIFY2(restored.status == 0, qPrintable(restored.output));
        Connection connection(workspace.dataSource());
        QCOMPARE(connection.scalar(QStringLiteral("select count(*) from data")).toInt(), 0);
    }
}

// A terminal's session that holds no lock at the moment (made again, its lock not yet
// taken) still keeps a restore out; another ledger's terminals in the same database
// do not.
void LedgerBackupTest::restoreCountsTerminalSessionsWithoutTheirLock()
{
    if (!TestWorkspace::onServer())
        QSKIP("a connection to a database server");
    TestWorkspace workspace;
    TestWorkspace otherLedger;
    const auto backups = LedgerBackup::forSource(workspace.dataSource(), workspace.path());
    const QString taken = backups->backup();
    Tdmfm besideIt(otherLedger.dataSource());
    backups->restore(taken);
    Tdmfm terminal(workspace.dataSource());
    terminal.ADOConnection1->scalar(QStringLiteral("select pg_advisory_unlock_all()"));
    {
        Connection admin(workspace.dataSource());
        QVERIFY(LedgerLock::tryLock(admin, LedgerLock::Mode::Exclusive));
    }
    try {
        backups->restore(taken);
        QFAIL("restored while a terminal was connected");
    } catch (const BackupError &error) {
        QCOMPARE(error.kind(), BackupError::Kind::InUse);
    }
}

void LedgerBackupTest::adminCommandsListAndRestore()
{
    TestWorkspace workspace;
    {
        Connection connection(workspace.dataSource());
        DatabaseTool::addDemoSales(connection, 12);
    }
    const Run made = runAdmin(workspace.path(), {QStringLiteral("backup")});
    QCOMPARE(made.status, 0);
    const QString file = QFileInfo(made.output.trimmed().section(QLatin1Char(' '), -1)).fileName();
    QVERIFY2(BackupFiles::parse(file).has_value(), qPrintable(made.output));

    const Run listed = runAdmin(workspace.path(), {QStringLiteral("backups")});
    QCOMPARE(listed.status, 0);
    const QString size = QString::number(QFileInfo(workspace.filePath(QStringLiteral("backups/") + file)).size());
    const QString line = listed.output.split(QLatin1Char('\n')).filter(file).value(0);
    QVERIFY2(line.contains(QStringLiteral("\t%1 bytes\t12 sales\t").arg(size)), qPrintable(listed.output));
    QVERIFY2(QDateTime::fromString(line.left(19), QStringLiteral("yyyy-MM-dd HH:mm:ss")).isValid(), qPrintable(line));

    // The program (here: this process's data module) has the ledger open: the restore
    // in another process is refused and changes nothing.
    auto module = std::make_unique<Tdmfm>(workspace.dataSource());
    module->ADOConnection1->execute(QStringLiteral("insert into data (b) values ('后来的')"));
    const Run refused = runAdmin(workspace.path(), {QStringLiteral("restore"), file});
    QCOMPARE(refused.status, 1);
    QVERIFY2(refused.output.contains(QStringLiteral("open in another program")), qPrintable(refused.output));
    QCOMPARE(module->ADOConnection1->scalar(QStringLiteral("select count(*) from data")).toInt(), 13);
    module.reset();

    const Run restored = runAdmin(workspace.path(), {QStringLiteral("restore"), file});
    QCOMPARE(restored.status, 0);
    QVERIFY2(restored.output.contains(QStringLiteral("-before-restore.")), qPrintable(restored.output));
    Connection connection(workspace.dataSource());
    QCOMPARE(connection.scalar(QStringLiteral("select count(*) from data")).toInt(), 12);
}

void LedgerBackupTest::oldBackupsAreRemovedByTheKeepingRules()
{
    TestWorkspace workspace;
    const auto backups = LedgerBackup::forSource(workspace.dataSource(), workspace.path());
    const QString first = backups->backup();
    const QString extension = QFileInfo(first).suffix();
    QStringList made;
    for (int day = 1; day <= 20; ++day) {
        BackupFiles::Name name;
        name.time = kNow.addDays(-day);
        name.extension = extension;
        made << BackupFiles::fileName(name);
        QVERIFY(QFile::copy(first, QDir(backups->folder()).filePath(made.last())));
    }
    const QString keptByHand = QStringLiteral("data-20200101-120000-before-restore.") + extension;
    QVERIFY(QFile::copy(first, QDir(backups->folder()).filePath(keptByHand)));
    QVERIFY(QFile::copy(first, QDir(backups->folder()).filePath(QStringLiteral("我的备份.") + extension)));
    QFile::remove(first);

    Clock::setFixedNow(kNow.addSecs(60));
    const QString newest = backups->backup();
    QStringList expected = QStringList{QFileInfo(newest).fileName(), keptByHand, QStringLiteral("我的备份.") + extension}
                           + made.mid(0, 13);
    // Today's, the 13 days before it, and April's newest (April 30, among them).
    expected.sort();
    QStringList present = QDir(backups->folder()).entryList(QDir::Files);
    present.sort();
    QCOMPARE(present, expected);
}

void LedgerBackupTest::killedBackupsLeaveEverythingWhole()
{
    if (TestWorkspace::onServer())
        QSKIP("about the embedded file");
    TestWorkspace workspace;
    {
        Connection connection(workspace.dataSource());
        DatabaseTool::addDemoSales(connection, 60000);
        addJournalRows(connection);
    }
    const auto backups = LedgerBackup::forSource(workspace.dataSource(), workspace.path());
    // Two earlier backups, of days before today: no backup of today removes them.
    const QString made = backups->backup();
    QStringList earlier;
    for (int day : {2, 5}) {
        const QString name = QStringLiteral("data-%1-090000.mdb").arg(QDate::currentDate().addDays(-day).toString(QStringLiteral("yyyyMMdd")));
        QVERIFY(QFile::copy(made, QDir(backups->folder()).filePath(name)));
        earlier << QDir(backups->folder()).filePath(name);
    }
    QFile::remove(made);
    QHash<QString, QByteArray> digests;
    for (const QString &path : earlier + QStringList{workspace.databasePath()})
        digests.insert(path, digest(path));

    auto start = [&](QProcess &process) {
        process.setWorkingDirectory(workspace.path());
        process.start(adminPath(), {QStringLiteral("backup")});
        QVERIFY(process.waitForStarted());
    };
    QElapsedTimer timer;
    timer.start();
    {
        QProcess whole;
        start(whole);
        QVERIFY(whole.waitForFinished(60000));
        QCOMPARE(whole.exitCode(), 0);
    }
    const qint64 duration = timer.elapsed();

    const quint32 seed = QRandomGenerator::global()->generate();
    qInfo("a whole backup takes %lld ms; kill seed %u", duration, seed);
    QRandomGenerator random(seed);
    int killedWhileRunning = 0;
    int killedWhileCopying = 0;
    for (int round = 0; round < 25; ++round) {
        QProcess process;
        start(process);
        const qint64 pid = process.processId();
        QThread::msleep(random.bounded(quint32(duration + 1)));
        if (process.state() == QProcess::Running) {
            ::kill(pid_t(pid), SIGKILL);
            ++killedWhileRunning;
        }
        QVERIFY(process.waitForFinished(60000));
        // This round's process left its temporary file (its id is in the name).
        const QString ownPartial = QStringLiteral(".*.%1.partial").arg(pid);
        if (!QDir(backups->folder()).entryList({ownPartial}, QDir::Files | QDir::Hidden).isEmpty())
            ++killedWhileCopying;

        for (auto it = digests.constBegin(); it != digests.constEnd(); ++it)
            QVERIFY2(digest(it.key()) == it.value(), qPrintable(QStringLiteral("round %1 changed %2").arg(round).arg(it.key())));
        // Whatever carries a backup's name is a whole backup.
        for (const BackupInfo &info : backups->list())
            QVERIFY2(info.sales == 59999, qPrintable(QStringLiteral("round %1: %2 holds %3 sales").arg(round).arg(info.fileName).arg(info.sales)));
    }
    qInfo("%d kills landed, %d of them while the copy was being written", killedWhileRunning, killedWhileCopying);
    QVERIFY2(killedWhileRunning >= 20, qPrintable(QStringLiteral("only %1 kills landed").arg(killedWhileRunning)));
    QVERIFY2(killedWhileCopying >= 5, qPrintable(QStringLiteral("only %1 kills hit the copy").arg(killedWhileCopying)));
    Connection ledger(workspace.dataSource());
    QCOMPARE(ledger.scalar(QStringLiteral("pragma integrity_check")).toString(), QStringLiteral("ok"));

    // The next backup clears what the killed ones left.
    QProcess last;
    start(last);
    QVERIFY(last.waitForFinished(60000));
    QCOMPARE(last.exitCode(), 0);
    const QStringList leftovers = QDir(backups->folder()).entryList({QStringLiteral(".*partial*")}, QDir::Files | QDir::Hidden);
    QVERIFY2(leftovers.isEmpty(), qPrintable(leftovers.join(QLatin1Char(' '))));
    for (const QString &path : earlier)
        QVERIFY(QFile::exists(path));
}

void LedgerBackupTest::fullDiskReportsAndKeepsEverything_data()
{
    QTest::addColumn<QString>("limit");
    QTest::newRow("file size limit") << "rlimit";
    QTest::newRow("small disk") << "tmpfs";
}

void LedgerBackupTest::fullDiskReportsAndKeepsEverything()
{
    QFETCH(QString, limit);
    if (TestWorkspace::onServer())
        QSKIP("about the embedded file");
    TestWorkspace workspace;
    {
        Connection connection(workspace.dataSource());
        DatabaseTool::addDemoSales(connection, 20000);
    }
    QString folder = workspace.path();
    bool mounted = false;
    const qint64 size = QFileInfo(workspace.databasePath()).size();
    if (limit == QLatin1String("tmpfs")) {
        if (::geteuid() != 0)
            QSKIP("mounting a small disk needs root");
        folder = workspace.filePath(QStringLiteral("disk"));
        QDir().mkpath(folder);
        // Room for the ledger and one backup, and a third of another.
        const QByteArray options = QStringLiteral("size=%1k").arg((size * 7 / 3) / 1024).toLatin1();
        if (::mount("tmpfs", QFile::encodeName(folder).constData(), "tmpfs", 0, options.constData()) != 0)
            QSKIP("this machine allows no tmpfs mount");
        mounted = true;
        QVERIFY(QFile::copy(workspace.databasePath(), QDir(folder).filePath(QStringLiteral("data.mdb"))));
    }
    auto unmount = qScopeGuard([&] {
        if (mounted)
            ::umount2(QFile::encodeName(folder).constData(), MNT_DETACH);
    });
    const QString ledger = QDir(folder).filePath(QStringLiteral("data.mdb"));
    const auto backups = LedgerBackup::forSource(DataSource::embeddedFile(ledger), folder);
    const QString earlier = backups->backup();
    QVERIFY(QFile::rename(earlier, QDir(backups->folder()).filePath(QStringLiteral("data-20240101-120000.mdb"))));
    const QByteArray ledgerDigest = digest(ledger);
    const QByteArray earlierDigest = digest(QDir(backups->folder()).filePath(QStringLiteral("data-20240101-120000.mdb")));

    QProcess process;
    process.setWorkingDirectory(folder);
    process.setProcessChannelMode(QProcess::MergedChannels);
    if (limit == QLatin1String("rlimit")) {
        // Blocks of 1024 bytes: the copy cannot grow past half the ledger.
        process.start(QStringLiteral("bash"), {QStringLiteral("-c"), QStringLiteral("ulimit -f %1; exec \"$0\" backup").arg(size / 2048), adminPath()});
    } else {
        process.start(adminPath(), {QStringLiteral("backup")});
    }
    QVERIFY(process.waitForFinished(60000));
    const QString output = QString::fromUtf8(process.readAll());
    QCOMPARE(process.exitStatus(), QProcess::NormalExit);
    QCOMPARE(process.exitCode(), 1);
    QVERIFY2(output.contains(QStringLiteral("the backup of")) && output.contains(QStringLiteral("failed")), qPrintable(output));
    qInfo("%s", qPrintable(output.trimmed()));

    QCOMPARE(digest(ledger), ledgerDigest);
    QCOMPARE(digest(QDir(backups->folder()).filePath(QStringLiteral("data-20240101-120000.mdb"))), earlierDigest);
    QCOMPARE(QDir(backups->folder()).entryList(QDir::Files | QDir::Hidden), QStringList{QStringLiteral("data-20240101-120000.mdb")});
    Connection check(ledger, Schema::databaseKey());
    QCOMPARE(check.scalar(QStringLiteral("pragma integrity_check")).toString(), QStringLiteral("ok"));
}

// Each terminal's folder has its database.conf; [backup] folder= gives them one place.
void LedgerBackupTest::serverBackupsGoWhereTheSettingSays()
{
    if (!TestWorkspace::onServer())
        QSKIP("about a server's ledger");
    TestWorkspace workspace;
    const QString conf = workspace.filePath(QStringLiteral("database.conf"));
    QVERIFY(QFile::exists(conf));
    {
        QFile file(conf);
        QVERIFY(file.open(QIODevice::Append));
        file.write("\n[backup]\nfolder=../shop-backups\n");
    }
    const QString shared = QDir::cleanPath(workspace.filePath(QStringLiteral("../shop-backups")));
    auto removeShared = qScopeGuard([&] { QDir(shared).removeRecursively(); });
    QDir(shared).removeRecursively();
    const auto backups = LedgerBackup::forSource(workspace.dataSource(), workspace.path());
    QCOMPARE(backups->folder(), shared);
    const Run made = runAdmin(workspace.path(), {QStringLiteral("backup")});
    QCOMPARE(made.status, 0);
    QVERIFY2(made.output.contains(shared + QLatin1Char('/')), qPrintable(made.output));
    QCOMPARE(backups->list().size(), size_t(1));
    QVERIFY(!QFileInfo::exists(workspace.filePath(QStringLiteral("backups"))));
}

// A shop that moved its ledger to a server keeps the file backups it made before in the
// same backups/: the list counts each file as what it is, and the server's restore
// refuses one that is no dump without touching the ledger.
void LedgerBackupTest::backupsOfTheEarlierFileAreListedBesideTheDumps()
{
    if (!TestWorkspace::onServer())
        QSKIP("about a server's ledger");
    TestWorkspace workspace;
    const auto backups = LedgerBackup::forSource(workspace.dataSource(), workspace.path());
    QStringList before;
    QString dump;
    {
        Connection connection(workspace.dataSource());
        DatabaseTool::addDemoSales(connection, 20);
        dump = backups->backup(&connection);
        before = snapshot(connection);
    }
    const QString earlier = QDir(backups->folder()).filePath(QStringLiteral("data-20240401-180000.mdb"));
    {
        Connection file(earlier, Schema::databaseKey(), Connection::OpenMode::CreateFile);
        Schema::createTables(file);
        DatabaseTool::addDemoSales(file, 7);
    }

    QMap<QString, int> sales;
    for (const BackupInfo &info : backups->list())
        sales.insert(info.fileName, info.sales);
    QCOMPARE(sales, (QMap<QString, int>{{QFileInfo(dump).fileName(), 20}, {QFileInfo(earlier).fileName(), 7}}));

    try {
        backups->restore(earlier);
        QFAIL("a file backup was restored into the server's ledger");
    } catch (const BackupError &error) {
        QCOMPARE(error.kind(), BackupError::Kind::Unusable);
    }
    Connection connection(workspace.dataSource());
    QCOMPARE(snapshot(connection), before);
}

namespace {

Run runAdminWithInput(const QString &folder, const QStringList &arguments, const QByteArray &input)
{
    QProcess process;
    process.setWorkingDirectory(folder);
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(adminPath(), arguments);
    process.write(input);
    process.closeWriteChannel();
    if (!process.waitForFinished(120000))
        return {-1, QStringLiteral("did not finish")};
    return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1, QString::fromUtf8(process.readAll())};
}

bool opensWith(const QString &path, const QByteArray &key)
{
    try {
        Connection connection(path, key);
        return connection.scalar(QStringLiteral("pragma integrity_check")).toString() == QLatin1String("ok");
    } catch (const DatabaseOpenError &) {
        return false;
    }
}

} // namespace

void LedgerBackupTest::shopKeyRoundTrip()
{
    if (TestWorkspace::onServer())
        QSKIP("about the embedded file");
    const QByteArray key("春天的账本 2024");
    QString before, after;
    QByteArray ledgerBefore;
    {
        TestWorkspace workspace;
        const auto backups = LedgerBackup::forSource(workspace.dataSource(), workspace.path());
        {
            Connection connection(workspace.dataSource());
            DatabaseTool::addDemoSales(connection, 30);
            before = backups->backup(&connection);
        }
        ledgerBefore = digest(workspace.databasePath());
        // Typed twice, and the two must agree; a short key is refused.
        for (const QByteArray &typed : {key + "\n" + key + "x\n", QByteArray("short\nshort\n")}) {
            const Run refused = runAdminWithInput(workspace.path(), {QStringLiteral("set-key")}, typed);
            QCOMPARE(refused.status, 1);
            QVERIFY2(refused.output.contains(QStringLiteral("nothing was changed")), qPrintable(refused.output));
            QCOMPARE(digest(workspace.databasePath()), ledgerBefore);
        }
        const Run set = runAdminWithInput(workspace.path(), {QStringLiteral("set-key")}, key + "\n" + key + "\n");
        QVERIFY2(set.status == 0, qPrintable(set.output));
        QVERIFY2(set.output.contains(QStringLiteral("re-encrypted 1 backups")), qPrintable(set.output));

        // The built-in key opens neither the ledger nor its backups any more, earlier or later.
        after = backups->backup();
        for (const QString &path : {workspace.databasePath(), before, after}) {
            QVERIFY2(!opensWith(path, Schema::databaseKey()), qPrintable(path));
            QVERIFY2(opensWith(path, key), qPrintable(path));
        }
        // Kept outside the ledger's folder, for this account only.
        QVERIFY(!LedgerKey::path().startsWith(workspace.path() + QStringLiteral("/backups")));
        QVERIFY(QFileInfo(LedgerKey::path()).absolutePath() != workspace.path());
        QCOMPARE(QFileInfo(LedgerKey::path()).permissions() & 0x0077, QFileDevice::Permissions{});
        const Run shown = runAdmin(workspace.path(), {QStringLiteral("show-key")});
        QVERIFY2(shown.output.contains(QString::fromUtf8(key)), qPrintable(shown.output));
        // The program opens the ledger with it.
        Tdmfm module(workspace.dataSource());
        QCOMPARE(module.ADOConnection1->scalar(QStringLiteral("select count(*) from data")).toInt(), 30);
        QVERIFY(QFile::copy(before, QDir::tempPath() + QStringLiteral("/quillmora-key-test.mdb")));
    }
    // Another machine: a fresh folder and account without the key. The backup is
    // refused until the key is given; then it is restored.
    const QString carried = QDir::tempPath() + QStringLiteral("/quillmora-key-test.mdb");
    auto removeCarried = qScopeGuard([&] { QFile::remove(carried); });
    TestWorkspace other;
    const auto backups = LedgerBackup::forSource(other.dataSource(), other.path());
    try {
        backups->restore(carried);
        QFAIL("restored a backup whose key is not known here");
    } catch (const BackupError &error) {
        QCOMPARE(error.kind(), BackupError::Kind::Unusable);
        QVERIFY2(error.message().contains(QStringLiteral("set-key")), qPrintable(error.message()));
    }
    // A wrong key typed at the program's question is not kept.
    QVERIFY(!LedgerKey::adoptIfItOpens(carried, "a wrong key"));
    QVERIFY(LedgerKey::shopKey().isEmpty());
    const QString keyFile = other.filePath(QStringLiteral("written-down.txt"));
    {
        QFile file(keyFile);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(key + "\n");
    }
    const Run given = runAdmin(other.path(), {QStringLiteral("set-key"), QStringLiteral("--key-file"), keyFile});
    QVERIFY2(given.status == 0, qPrintable(given.output));
    backups->restore(carried);
    QVERIFY(!opensWith(other.databasePath(), Schema::databaseKey()));
    Connection restored(other.dataSource());
    QCOMPARE(restored.scalar(QStringLiteral("select count(*) from data")).toInt(), 30);
}

// Killed at any moment, a change of key leaves a ledger and backups that open (with the
// new key or the one it replaced) and hold all their rows; the next change completes.
void LedgerBackupTest::killedKeyChangeLeavesAReadableLedger()
{
    if (TestWorkspace::onServer())
        QSKIP("about the embedded file");
    TestWorkspace workspace;
    const auto backups = LedgerBackup::forSource(workspace.dataSource(), workspace.path());
    {
        Connection connection(workspace.dataSource());
        DatabaseTool::addDemoSales(connection, 40000);
        backups->backup(&connection);
    }
    const QStringList keys = {QStringLiteral("first key 111"), QStringLiteral("second key 222")};
    auto start = [&](QProcess &process, int round) {
        process.setWorkingDirectory(workspace.path());
        process.setProcessChannelMode(QProcess::MergedChannels);
        process.start(adminPath(), {QStringLiteral("set-key")});
        process.write((keys[round % 2] + QLatin1Char('\n') + keys[round % 2] + QLatin1Char('\n')).toUtf8());
        process.closeWriteChannel();
        QVERIFY(process.waitForStarted());
    };
    QElapsedTimer timer;
    timer.start();
    {
        QProcess whole;
        start(whole, 1);
        QVERIFY(whole.waitForFinished(120000));
        QVERIFY2(whole.exitCode() == 0, whole.readAll().constData());
    }
    const qint64 duration = timer.elapsed();
    const quint32 seed = QRandomGenerator::global()->generate();
    qInfo("a whole change of key takes %lld ms; kill seed %u", duration, seed);
    QRandomGenerator random(seed);
    int killed = 0;
    for (int round = 0; round < 24; ++round) {
        QProcess process;
        start(process, round);
        QThread::msleep(random.bounded(quint32(duration + 20)));
        if (process.state() == QProcess::Running) {
            ::kill(pid_t(process.processId()), SIGKILL);
            ++killed;
        }
        QVERIFY(process.waitForFinished(120000));
        Connection ledger(workspace.dataSource());
        QCOMPARE(ledger.scalar(QStringLiteral("pragma integrity_check")).toString(), QStringLiteral("ok"));
        QCOMPARE(ledger.scalar(QStringLiteral("select count(*) from data")).toInt(), 40000);
        for (const BackupInfo &info : backups->list())
            QVERIFY2(info.sales == 40000, qPrintable(QStringLiteral("round %1: %2").arg(round).arg(info.fileName)));
    }
    qInfo("%d kills landed", killed);
    QVERIFY2(killed >= 20, qPrintable(QStringLiteral("only %1 kills landed").arg(killed)));
    QProcess last;
    start(last, 0);
    QVERIFY(last.waitForFinished(120000));
    QCOMPARE(last.exitCode(), 0);
    QVERIFY(opensWith(workspace.databasePath(), keys[0].toUtf8()));
    for (const BackupInfo &info : backups->list())
        QVERIFY(opensWith(info.path, keys[0].toUtf8()));
    QVERIFY(!QFileInfo::exists(LedgerKey::path() + QStringLiteral(".previous")));
    QCOMPARE(QDir(workspace.path()).entryList({QStringLiteral(".*partial*")}, QDir::Files | QDir::Hidden), QStringList{});
}

QTEST_MAIN(LedgerBackupTest)
#include "tst_ledgerbackup.moc"
