#include "apperror.h"
#include "connection.h"
#include "dataset.h"
#include "exactsum.h"
#include "legacydatabase.h"
#include "legacyfixtures.h"
#include "legacyimport.h"
#include "passwordhash.h"
#include "schema.h"
#include "testworkspace.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QtTest>
#include <algorithm>
#include <limits>
#include <random>

namespace {

const char *const kTexts[] = {"a", "b", "c", "d", "e", "f", "h", "z", "o"};
const char *const kNumbers[] = {"1", "2", "3", "6", "4", "5"};

QString number(double value)
{
    return QString::number(value, 'g', QLocale::FloatingPointShortest);
}

struct Expected
{
    QStringList sales;    // one line per sale: every value, exactly
    QStringList users;    // name and plain-text password
    QStringList sessions; // id, user, login and logout text
    std::array<double, 3> sums{};
};

// The fixture's expected rows in the form the new ledger is compared in: a null
// text is the empty text there.
Expected expectedRows(const QString &file)
{
    Expected expected;
    QFile lines(legacyFixture(file));
    if (!lines.open(QIODevice::ReadOnly))
        qFatal("no expected rows");
    ExactSum sums[3];
    while (!lines.atEnd()) {
        const QJsonObject row = QJsonDocument::fromJson(lines.readLine()).object();
        const QString table = row.value(QStringLiteral("table")).toString();
        if (table == QLatin1String("data")) {
            QStringList values;
            for (const char *name : kTexts)
                values << row.value(QLatin1String(name)).toString();
            for (const char *name : kNumbers)
                values << number(row.value(QLatin1String(name)).toDouble());
            values << row.value(QStringLiteral("day1")).toString();
            expected.sales << values.join(QLatin1Char('|'));
            for (int i = 0; i < 3; ++i)
                sums[i].add(row.value(QLatin1String(kNumbers[3 + i])).toDouble());
        } else if (table == QLatin1String("userdb")) {
            expected.users << row.value(QStringLiteral("username")).toString() + QLatin1Char('|')
                    + row.value(QStringLiteral("passwd")).toString();
        } else {
            expected.sessions << QStringLiteral("%1|%2|%3|%4")
                                     .arg(row.value(QStringLiteral("id")).toInteger())
                                     .arg(row.value(QStringLiteral("username")).toString(),
                                          row.value(QStringLiteral("btime")).toString(),
                                          row.value(QStringLiteral("jtime")).toString());
        }
    }
    for (int i = 0; i < 3; ++i)
        expected.sums[i] = sums[i].value();
    return expected;
}

QStringList storedSales(Connection &db)
{
    QStringList columns;
    for (const char *name : kTexts)
        columns << QStringLiteral("\"%1\"").arg(QLatin1String(name));
    for (const char *name : kNumbers)
        columns << QStringLiteral("\"%1\"").arg(QLatin1String(name));
    Statement rows = db.prepare(QStringLiteral("select %1, cast(day1 as text) from data").arg(columns.join(',')));
    QStringList result;
    while (rows.step()) {
        QStringList values;
        for (int i = 0; i < 9; ++i) {
            if (rows.value(i).typeId() != QMetaType::QString)
                return {QStringLiteral("a text column holds %1").arg(rows.value(i).typeName())};
            values << rows.value(i).toString();
        }
        for (int i = 9; i < 15; ++i) {
            if (rows.value(i).typeId() != QMetaType::Double)
                return {QStringLiteral("a number column holds %1").arg(rows.value(i).typeName())};
            values << number(rows.value(i).toDouble());
        }
        // The program's own dates carry no time; a time of day is kept when there is one.
        QString day = rows.value(15).toString();
        if (day.size() == 10)
            day += QStringLiteral(" 00:00:00");
        values << day;
        result << values.join(QLatin1Char('|'));
    }
    return result;
}

QStringList sorted(QStringList list)
{
    list.sort();
    return list;
}

LegacyImport::Options hashingOptions()
{
    LegacyImport::Options options;
    options.hashPassword = PasswordHash::hash;
    return options;
}

QString importFailure(const QString &source)
{
    try {
        LegacyImport::importToNewFile(source, QStringLiteral("data.mdb"), hashingOptions());
    } catch (const AppError &error) {
        return error.message();
    }
    return QStringLiteral("(imported)");
}

QStringList leftovers()
{
    return QDir::current().entryList({QStringLiteral("data.mdb*")}, QDir::Files);
}

struct AdminRun
{
    bool finished = false;
    bool crashed = false;
    int status = -1;
    QString output;
};

// quillmora-admin import-legacy into the test run's store: data.mdb in the working
// folder, or the server.
AdminRun adminImport(const TestWorkspace &workspace, const QString &file)
{
    QStringList arguments;
    if (TestWorkspace::onServer())
        arguments << QStringLiteral("--database") << workspace.serverUrl();
    arguments << QStringLiteral("import-legacy") << file;
    QProcess admin;
    admin.start(qEnvironmentVariable("QUILLMORA_BIN_DIR") + QStringLiteral("/quillmora-admin"), arguments);
    AdminRun run;
    run.finished = admin.waitForFinished(120000);
    run.crashed = admin.exitStatus() != QProcess::NormalExit;
    run.status = admin.exitCode();
    run.output = QString::fromUtf8(admin.readAllStandardOutput() + admin.readAllStandardError());
    return run;
}

// The ledger the import made; nullptr when there is none.
std::unique_ptr<Connection> importedLedger(const TestWorkspace &workspace)
{
    if (!TestWorkspace::onServer()) {
        if (!QFile::exists(QStringLiteral("data.mdb")))
            return nullptr;
        return std::make_unique<Connection>(QStringLiteral("data.mdb"), Schema::databaseKey());
    }
    auto connection = std::make_unique<Connection>(workspace.dataSource());
    try {
        connection->tableFields(QStringLiteral("data"));
    } catch (const DatabaseError &) {
        return nullptr;
    }
    return connection;
}

} // namespace

class LegacyImportTest : public QObject
{
    Q_OBJECT

private slots:
    void exactSumIgnoresOrder();
    void importsEveryRowExactly_data();
    void importsEveryRowExactly();
    void carriesUnknownColumns();
    void failuresLeaveNothing_data();
    void failuresLeaveNothing();
    void refusesToOverwriteALedger();
    void convertsInPlaceKeepingTheOriginal();
    void keptOriginalIsNeverOverwritten_data();
    void keptOriginalIsNeverOverwritten();
    void killedConversionLeavesOldFile_data();
    void killedConversionLeavesOldFile();
    void killedAtRandomMomentsNeverHalfDone();

    // On both engines (tst_legacyimport_server runs them on the server).
    void hugeAmountsAreCarriedExactlyAndNamed();
    void reservedColumnNameIsCarriedUnderAnother();
    void reservedColumnNames();
    void adminSurvivesADamagedFile_data();
    void adminSurvivesADamagedFile();

    // On the test run's database server only (tst_legacyimport_server).
    void importsIntoAServer();
    void serverKeepsNothingOfAFailedImport();
    void refusesAServerThatHoldsALedger();
    void adminImportsIntoAServer();
};

void LegacyImportTest::exactSumIgnoresOrder()
{
    std::vector<double> terms = {1e100, 0.1, 0.2, -1e100, 0.3, 1e-20, 2.5, -7.125};
    for (int i = 0; i < 200; ++i)
        terms.push_back((i % 7 - 3) * 0.1 + i * 1e-3);
    ExactSum forward;
    for (double term : terms)
        forward.add(term);
    std::mt19937 random(7);
    for (int round = 0; round < 20; ++round) {
        std::shuffle(terms.begin(), terms.end(), random);
        ExactSum shuffled;
        for (double term : terms)
            shuffled.add(term);
        QCOMPARE(number(shuffled.value()), number(forward.value()));
    }
    ExactSum cancelling;
    for (double term : {1e100, 1.0, -1e100, std::numeric_limits<double>::quiet_NaN()})
        cancelling.add(term);
    QCOMPARE(cancelling.value(), 1.0); // a plain double sum gives 0; a null is skipped
}

void LegacyImportTest::importsEveryRowExactly_data()
{
    QTest::addColumn<QString>("file");
    QTest::newRow("small") << QStringLiteral("legacy-small");
    QTest::newRow("many") << QStringLiteral("legacy-many");
    QTest::newRow("variant") << QStringLiteral("legacy-variant");
}

void LegacyImportTest::importsEveryRowExactly()
{
    QFETCH(QString, file);
    TestWorkspace workspace(TestWorkspace::Database::None);
    const Expected expected = expectedRows(file + QStringLiteral(".expected.jsonl"));
    const LegacyImport::Report report =
        LegacyImport::importToNewFile(legacyFixture(file + QStringLiteral(".mdb")), QStringLiteral("data.mdb"), hashingOptions());
    QCOMPARE(leftovers(), QStringList{QStringLiteral("data.mdb")});

    QVERIFY(report.matches());
    QCOMPARE(report.tables.size(), 3);
    const qint64 counts[] = {expected.sales.size(), expected.users.size(), expected.sessions.size()};
    for (int i = 0; i < 3; ++i) {
        QCOMPARE(report.tables[i].read, counts[i]);
        QCOMPARE(report.tables[i].written, counts[i]);
    }
    for (int i = 0; i < 3; ++i) {
        QCOMPARE(number(report.readSums[i]), number(expected.sums[i]));
        QCOMPARE(number(report.writtenSums[i]), number(expected.sums[i]));
    }
    QVERIFY(report.extraColumns.isEmpty());

    Connection db(QStringLiteral("data.mdb"), Schema::databaseKey());
    QCOMPARE(sorted(storedSales(db)), sorted(expected.sales));

    // Users keep their passwords, letter case ignored as before; nothing is plain text.
    QCOMPARE(db.tableFields(QStringLiteral("userdb")), (QStringList{"username", "passwd"}));
    Statement users = db.prepare(QStringLiteral("select username, passwd from userdb"));
    QStringList names;
    while (users.step()) {
        const QString name = users.value(0).toString(), stored = users.value(1).toString();
        names << name;
        const QString line = expected.users.filter(QRegularExpression(QStringLiteral("^") + QRegularExpression::escape(name) + QStringLiteral("\\|"))).value(0);
        const QString password = line.section(QLatin1Char('|'), 1);
        QVERIFY2(!password.isEmpty(), qPrintable(name));
        QVERIFY(stored != password);
        QVERIFY2(PasswordHash::verify(stored, password.toUpper()), qPrintable(name));
        QVERIFY2(PasswordHash::verify(stored, password.toLower()), qPrintable(name));
        QVERIFY(!PasswordHash::verify(stored, password + QStringLiteral("x")));
    }
    QStringList expectedNames;
    for (const QString &line : expected.users)
        expectedNames << line.section(QLatin1Char('|'), 0, 0);
    QCOMPARE(sorted(names), sorted(expectedNames));

    // Sessions keep their ids and texts; the next login continues after the largest.
    Statement sessions = db.prepare(QStringLiteral("select id, username, cast(btime as text), cast(jtime as text) from rz"));
    QStringList stored;
    qint64 largest = 0;
    while (sessions.step()) {
        stored << QStringLiteral("%1|%2|%3|%4").arg(sessions.int64Value(0)).arg(sessions.value(1).toString(),
                                                                               sessions.value(2).toString(),
                                                                               sessions.value(3).toString());
        largest = std::max(largest, sessions.int64Value(0));
    }
    QCOMPARE(sorted(stored), sorted(expected.sessions));
    db.execute(QStringLiteral("insert into rz (username, btime, jtime) values (?, ?, ?)"),
               {QStringLiteral("小王"), QStringLiteral("2024-01-01 08:00:00"), QString()});
    QCOMPARE(db.lastInsertRowId(), largest + 1);
}

void LegacyImportTest::carriesUnknownColumns()
{
    TestWorkspace workspace(TestWorkspace::Database::None);
    const LegacyImport::Report report =
        LegacyImport::importToNewFile(legacyFixture(QStringLiteral("legacy-extra.mdb")), QStringLiteral("data.mdb"), hashingOptions());
    QVERIFY(report.matches());
    QCOMPARE(report.extraColumns, QStringList{QStringLiteral("data.备用")});
    Connection db(QStringLiteral("data.mdb"), Schema::databaseKey());
    QVERIFY(db.tableFields(QStringLiteral("data")).contains(QStringLiteral("备用")));
    // The known columns come across as from the file without the extra column ...
    QCOMPARE(sorted(storedSales(db)), sorted(expectedRows(QStringLiteral("legacy-small.expected.jsonl")).sales));
    // ... and each row's extra value is its own: the day of its sale date, empty
    // where the file holds a null (the rows without a goods code).
    Statement rows = db.prepare(QStringLiteral("select c, day1, \"备用\" from data"));
    int filled = 0, empty = 0;
    while (rows.step()) {
        const QString code = rows.value(0).toString(), extra = rows.value(2).toString();
        QCOMPARE(rows.value(2).typeId(), QMetaType::QString);
        if (code.isEmpty()) {
            QCOMPARE(extra, QString());
            ++empty;
        } else {
            QCOMPARE(extra, QString::number(rows.value(1).toDate().day()));
            ++filled;
        }
    }
    QCOMPARE(filled, 28);
    QCOMPARE(empty, 1);
}

void LegacyImportTest::failuresLeaveNothing_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<int>("cutAt");
    QTest::addColumn<QByteArray>("find");
    QTest::addColumn<QByteArray>("replaceBy");
    QTest::addColumn<QString>("message");
    const QByteArray nan = doubleBytes(std::numeric_limits<double>::quiet_NaN());
    QTest::newRow("no Access file") << QString() << -1 << QByteArray() << QByteArray()
                                    << QStringLiteral("不是旧版本的数据文件");
    QTest::newRow("tables missing") << QStringLiteral("access2000-with-password.mdb") << -1 << QByteArray() << QByteArray()
                                    << QStringLiteral("旧数据文件中没有表 data");
    QTest::newRow("truncated") << QStringLiteral("legacy-many.mdb") << 118 * 4096 << QByteArray() << QByteArray()
                               << QStringLiteral("表 data 应有 1714 行，只读到 1628 行");
    QTest::newRow("truncated mid page") << QStringLiteral("legacy-many.mdb") << 300000 << QByteArray() << QByteArray()
                                        << QStringLiteral("表 data 应有 1714 行");
    QTest::newRow("corrupt number") << QStringLiteral("legacy-small.mdb") << -1 << doubleBytes(12345678.9) << nan
                                    << QStringLiteral("表 data 第 29 行的 5 列的数字无法读取");
    QTest::newRow("corrupt date") << QStringLiteral("legacy-small.mdb") << -1 << doubleBytes(42369.60422453703)
                                  << doubleBytes(-1e12) << QStringLiteral("表 data 第 26 行的 day1 列的日期无法读取");
}

void LegacyImportTest::failuresLeaveNothing()
{
    QFETCH(QString, file);
    QFETCH(int, cutAt);
    QFETCH(QByteArray, find);
    QFETCH(QByteArray, replaceBy);
    QFETCH(QString, message);
    TestWorkspace workspace(TestWorkspace::Database::None);
    QByteArray bytes = file.isEmpty() ? QByteArray("Standard Jet DB? no: a text file\n") : fileBytes(legacyFixture(file));
    if (cutAt >= 0)
        bytes.truncate(cutAt);
    if (!find.isEmpty()) {
        const qsizetype at = bytes.indexOf(find);
        QVERIFY(at > 0);
        bytes.replace(at, find.size(), replaceBy);
    }
    writeBytes(QStringLiteral("old.mdb"), bytes);
    const QString error = importFailure(QStringLiteral("old.mdb"));
    QVERIFY2(error.contains(message), qPrintable(error));
    QCOMPARE(leftovers(), QStringList());
    QCOMPARE(fileBytes(QStringLiteral("old.mdb")), bytes);
}

void LegacyImportTest::refusesToOverwriteALedger()
{
    TestWorkspace workspace; // a fresh ledger as data.mdb
    const QByteArray ledger = fileBytes(QStringLiteral("data.mdb"));
    const QString error = importFailure(legacyFixture(QStringLiteral("legacy-small.mdb")));
    QVERIFY2(error.contains(QStringLiteral("已存在")), qPrintable(error));
    QCOMPARE(fileBytes(QStringLiteral("data.mdb")), ledger);
    QCOMPARE(leftovers(), QStringList{QStringLiteral("data.mdb")});
}

void LegacyImportTest::convertsInPlaceKeepingTheOriginal()
{
    TestWorkspace workspace(TestWorkspace::Database::None);
    const QByteArray original = fileBytes(legacyFixture(QStringLiteral("legacy-small.mdb")));
    writeBytes(QStringLiteral("data.mdb"), original);
    QList<LegacyImport::Stage> stages;
    qint64 lastDone = -1, lastTotal = -1;
    LegacyImport::Options options = hashingOptions();
    options.stage = [&](LegacyImport::Stage stage) { stages << stage; };
    options.progress = [&](qint64 done, qint64 total) {
        QVERIFY(done >= lastDone);
        lastDone = done;
        lastTotal = total;
    };
    const LegacyImport::Report report = LegacyImport::convertInPlace(QStringLiteral("data.mdb"), options);
    QVERIFY(report.matches());
    using S = LegacyImport::Stage;
    QCOMPARE(stages, (QList<S>{S::Writing, S::Checking, S::KeepingOriginal, S::Replacing, S::Done}));
    QCOMPARE(lastDone, 29);
    QCOMPARE(lastTotal, 29);
    QCOMPARE(sorted(leftovers()), (QStringList{"data.mdb", "data.mdb.old"}));
    QCOMPARE(fileBytes(QStringLiteral("data.mdb.old")), original);
    QVERIFY(!LegacyDatabase::isAccessFile(QStringLiteral("data.mdb")));
    Connection db(QStringLiteral("data.mdb"), Schema::databaseKey());
    QCOMPARE(db.scalar(QStringLiteral("select count(*) from data")).toInt(), 29);

    // A kept original left by a run cut off after keeping it is the same file: fine.
    writeBytes(QStringLiteral("again.mdb"), original);
    QVERIFY(QFile::copy(QStringLiteral("again.mdb"), QStringLiteral("again.mdb.old")));
    QVERIFY(LegacyImport::convertInPlace(QStringLiteral("again.mdb"), hashingOptions()).matches());
    QCOMPARE(fileBytes(QStringLiteral("again.mdb.old")), original);
}

void LegacyImportTest::keptOriginalIsNeverOverwritten_data()
{
    QTest::addColumn<bool>("symbolicLink");
    QTest::newRow("another file") << false;
    // Identical content through the link, but it would name the new ledger afterwards.
    QTest::newRow("link to data.mdb") << true;
}

void LegacyImportTest::keptOriginalIsNeverOverwritten()
{
    QFETCH(bool, symbolicLink);
    TestWorkspace workspace(TestWorkspace::Database::None);
    const QByteArray original = fileBytes(legacyFixture(QStringLiteral("legacy-small.mdb")));
    writeBytes(QStringLiteral("data.mdb"), original);
    if (symbolicLink)
        QVERIFY(QFile::link(QStringLiteral("data.mdb"), QStringLiteral("data.mdb.old")));
    else
        writeBytes(QStringLiteral("data.mdb.old"), "an earlier shop's file");
    const QByteArray kept = fileBytes(QStringLiteral("data.mdb.old"));
    QString error;
    try {
        LegacyImport::convertInPlace(QStringLiteral("data.mdb"), hashingOptions());
    } catch (const AppError &e) {
        error = e.message();
    }
    QVERIFY2(error.contains(QStringLiteral("data.mdb.old 已存在")), qPrintable(error));
    QCOMPARE(fileBytes(QStringLiteral("data.mdb")), original);
    QCOMPARE(fileBytes(QStringLiteral("data.mdb.old")), kept);
    QCOMPARE(sorted(leftovers()), (QStringList{"data.mdb", "data.mdb.old"}));
}

void LegacyImportTest::killedConversionLeavesOldFile_data()
{
    QTest::addColumn<QString>("killAt");
    QTest::addColumn<bool>("converted");
    for (const char *line : {"stage writing", "progress 0", "progress 768", "progress 1714", "stage checking",
                             "stage keeping", "stage replacing"})
        QTest::newRow(line) << QString::fromLatin1(line) << false;
    QTest::newRow("stage done") << QStringLiteral("stage done") << true;
}

namespace {

QString probe()
{
    return QCoreApplication::applicationDirPath() + QStringLiteral("/legacyconvertprobe");
}

// Either untouched (the Access file as it was, a kept original identical to it if
// any) or complete (the new ledger with every sale and the original kept).
QString stateOfFolder(const QByteArray &original)
{
    const QStringList files = sorted(leftovers());
    const QByteArray current = fileBytes(QStringLiteral("data.mdb"));
    if (current == original) {
        if (files == QStringList{QStringLiteral("data.mdb")})
            return QStringLiteral("old");
        if (files == QStringList{"data.mdb", "data.mdb.converting"}
            || files == QStringList{"data.mdb", "data.mdb.converting", "data.mdb.converting-journal"})
            return QStringLiteral("old"); // an unfinished new ledger under its temporary name
        if (files.contains(QStringLiteral("data.mdb.old")) && fileBytes(QStringLiteral("data.mdb.old")) == original)
            return QStringLiteral("old");
        return QStringLiteral("old with strange files: ") + files.join(' ');
    }
    if (files != QStringList{"data.mdb", "data.mdb.old"} || fileBytes(QStringLiteral("data.mdb.old")) != original)
        return QStringLiteral("half done: ") + files.join(' ');
    try {
        Connection db(QStringLiteral("data.mdb"), Schema::databaseKey());
        const int sales = db.scalar(QStringLiteral("select count(*) from data")).toInt();
        return sales == 1714 ? QStringLiteral("converted") : QStringLiteral("ledger with %1 sales").arg(sales);
    } catch (const AppError &error) {
        return QStringLiteral("broken ledger: ") + error.message();
    }
}

void runProbeToTheEnd(const QByteArray &original)
{
    QProcess again;
    again.start(probe(), {});
    QVERIFY(again.waitForFinished(120000));
    QCOMPARE(again.exitCode(), 0);
    QCOMPARE(stateOfFolder(original), QStringLiteral("converted"));
}

} // namespace

void LegacyImportTest::killedConversionLeavesOldFile()
{
    QFETCH(QString, killAt);
    QFETCH(bool, converted);
    TestWorkspace workspace(TestWorkspace::Database::None);
    const QByteArray original = fileBytes(legacyFixture(QStringLiteral("legacy-many.mdb")));
    writeBytes(QStringLiteral("data.mdb"), original);

    QProcess process;
    process.start(probe(), {QStringLiteral("--pause")});
    QVERIFY(process.waitForStarted());
    QString line;
    while (line != killAt) {
        if (!process.canReadLine())
            QVERIFY2(process.waitForReadyRead(60000), qPrintable(QStringLiteral("no %1 after %2").arg(killAt, line)));
        if (!process.canReadLine())
            continue;
        line = QString::fromUtf8(process.readLine()).trimmed();
        if (line != killAt)
            process.write("\n");
    }
    process.kill(); // SIGKILL while it waits at that very point
    QVERIFY(process.waitForFinished());
    QCOMPARE(stateOfFolder(original), converted ? QStringLiteral("converted") : QStringLiteral("old"));
    if (!converted) {
        QVERIFY(LegacyDatabase::isAccessFile(QStringLiteral("data.mdb"))); // the next start asks again
        runProbeToTheEnd(original);
    }
}

void LegacyImportTest::killedAtRandomMomentsNeverHalfDone()
{
    TestWorkspace workspace(TestWorkspace::Database::None);
    const QByteArray original = fileBytes(legacyFixture(QStringLiteral("legacy-many.mdb")));
    QElapsedTimer timer;
    writeBytes(QStringLiteral("data.mdb"), original);
    timer.start();
    QProcess whole;
    whole.start(probe(), {});
    QVERIFY(whole.waitForFinished(120000));
    const qint64 duration = std::max<qint64>(timer.elapsed(), 50);
    QStringList states;
    for (int i = 1; i <= 6; ++i) {
        QFile::remove(QStringLiteral("data.mdb.old"));
        writeBytes(QStringLiteral("data.mdb"), original);
        QProcess process;
        process.start(probe(), {});
        QVERIFY(process.waitForStarted());
        QTest::qWait(int(duration * i / 7));
        process.kill();
        process.waitForFinished();
        const QString state = stateOfFolder(original);
        QVERIFY2(state == QLatin1String("old") || state == QLatin1String("converted"), qPrintable(state));
        states << state;
        if (state == QLatin1String("old"))
            runProbeToTheEnd(original);
    }
    qInfo() << "states after kills:" << states;
}

namespace {

bool holdsLedger(const DataSource &store)
{
    Connection db(store);
    try {
        db.tableFields(QStringLiteral("data"));
        return true;
    } catch (const DatabaseError &) {
        return false;
    }
}

} // namespace

void LegacyImportTest::hugeAmountsAreCarriedExactlyAndNamed()
{
    TestWorkspace workspace(TestWorkspace::Database::None);
    // Sale 29 owes 10^15 and sale 1 totals 10^300: mistyped in the old program, never
    // a reason to turn the shop's ledger away.
    QByteArray bytes = fileBytes(legacyFixture(QStringLiteral("legacy-small.mdb")));
    for (const auto &[find, replaceBy] : {std::pair{12345678.9, 1e15}, std::pair{738.4, 1e300}}) {
        QCOMPARE(bytes.count(doubleBytes(find)), 1);
        bytes.replace(doubleBytes(find), doubleBytes(replaceBy));
    }
    writeBytes(QStringLiteral("old.mdb"), bytes);
    const AdminRun run = adminImport(workspace, QStringLiteral("old.mdb"));
    QVERIFY2(run.finished && !run.crashed && run.status == 0, qPrintable(run.output));
    for (const char *line : {"data row 29 column 5: 1e+15 (10^12 or more, carried as it is)",
                             "data row 1 column 6: 1e+300 (10^12 or more, carried as it is)",
                             "data: sum of 6: 1e+300 read, 1e+300 written"})
        QVERIFY2(run.output.contains(QString::fromUtf8(line)), qPrintable(run.output));
    const std::unique_ptr<Connection> db = importedLedger(workspace);
    QVERIFY(db);
    QCOMPARE(db->scalar(QStringLiteral("select count(*) from data where \"5\"=?"), {1e15}).toInt(), 1);
    QCOMPARE(db->scalar(QStringLiteral("select count(*) from data where \"6\"=?"), {1e300}).toInt(), 1);
}

void LegacyImportTest::reservedColumnNameIsCarriedUnderAnother()
{
    TestWorkspace workspace(TestWorkspace::Database::None);
    const AdminRun run = adminImport(workspace, legacyFixture(QStringLiteral("legacy-rowid.mdb")));
    QVERIFY2(run.finished && !run.crashed && run.status == 0, qPrintable(run.output));
    for (const char *line : {"carried into a new column: data.old_rowid",
                             "data.rowid: the name is reserved by the database, carried as data.old_rowid"})
        QVERIFY2(run.output.contains(QString::fromUtf8(line)), qPrintable(run.output));
    const std::unique_ptr<Connection> db = importedLedger(workspace);
    QVERIFY(db);
    // The old values are all there, under their new name ...
    QCOMPARE(db->scalar(QStringLiteral("select count(*) from data where old_rowid='21'")).toInt(), 8);
    // ... and a sale deleted by its key is that one sale.
    Dataset ledger(*db, QStringLiteral("ledger"));
    ledger.setSql(QStringLiteral("select * from data"));
    ledger.open();
    QCOMPARE(ledger.recordCount(), 29);
    for (ledger.first(); !ledger.isEof() && ledger.value(QStringLiteral("old_rowid")).toString() != QLatin1String("21");)
        ledger.next();
    QVERIFY(!ledger.isEof());
    ledger.deleteCurrent();
    QCOMPARE(db->scalar(QStringLiteral("select count(*) from data")).toInt(), 28);
}

void LegacyImportTest::reservedColumnNames()
{
    for (const char *name : {"rowid", "ROWID", "RowId", "oid", "OID", "_rowid_", "_ROWID_", "ctid", "xmin", "TableOid"})
        QVERIFY2(LegacyImport::isReservedColumnName(QString::fromLatin1(name)), name);
    for (const char *name : {"rowid2", "row_id", "备用", "id", "o"})
        QVERIFY2(!LegacyImport::isReservedColumnName(QString::fromUtf8(name)), name);
}

void LegacyImportTest::adminSurvivesADamagedFile_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<int>("offset"); // the byte changed; -1: cut to `length`
    QTest::addColumn<int>("length");
    QTest::addColumn<QString>("message");
    // The reading library itself crashes (SIGSEGV) on this byte of the list of tables.
    QTest::newRow("one byte changed") << QStringLiteral("legacy-small.mdb") << 8247 << 0
                                      << QStringLiteral("old.mdb: the file is damaged (table MSysObjects, the list of "
                                                        "tables); no ledger was made");
    QTest::newRow("cut short") << QStringLiteral("legacy-many.mdb") << -1 << 118 * 4096
                               << QStringLiteral("表 data 应有 1714 行，只读到 1628 行");
}

void LegacyImportTest::adminSurvivesADamagedFile()
{
    QFETCH(QString, file);
    QFETCH(int, offset);
    QFETCH(int, length);
    QFETCH(QString, message);
    TestWorkspace workspace(TestWorkspace::Database::None);
    QByteArray bytes = fileBytes(legacyFixture(file));
    if (offset >= 0)
        bytes[offset] = char(bytes.at(offset) ^ 0xFF);
    else
        bytes.truncate(length);
    writeBytes(QStringLiteral("old.mdb"), bytes);
    const AdminRun run = adminImport(workspace, QStringLiteral("old.mdb"));
    QVERIFY(run.finished);
    QVERIFY2(!run.crashed && run.status == 1, qPrintable(run.output));
    QVERIFY2(run.output.contains(message), qPrintable(run.output));
    QVERIFY2(!run.output.contains(QStringLiteral("created ")), qPrintable(run.output));
    // No ledger, not even part of one.
    QCOMPARE(leftovers(), QStringList());
    QVERIFY(!importedLedger(workspace));
}

void LegacyImportTest::importsIntoAServer()
{
    if (!TestWorkspace::onServer())
        QSKIP("runs on the database server");
    TestWorkspace workspace(TestWorkspace::Database::None);
    const Expected expected = expectedRows(QStringLiteral("legacy-small.expected.jsonl"));
    QList<LegacyImport::Stage> stages;
    LegacyImport::Options options = hashingOptions();
    options.stage = [&](LegacyImport::Stage stage) { stages << stage; };
    const LegacyImport::Report report =
        LegacyImport::importToServer(legacyFixture(QStringLiteral("legacy-small.mdb")), workspace.dataSource(), options);
    QVERIFY(report.matches());
    using S = LegacyImport::Stage;
    QCOMPARE(stages, (QList<S>{S::Writing, S::Checking, S::Done}));
    QCOMPARE(report.tables[0].written, 29);
    QCOMPARE(number(report.writtenSums[0]), number(expected.sums[0]));

    Connection db(workspace.dataSource());
    QCOMPARE(sorted(storedSales(db)), sorted(expected.sales));
    Statement users = db.prepare(QStringLiteral("select username, passwd from userdb where username = ?"));
    users.bind({QStringLiteral("小王")});
    QVERIFY(users.step());
    QVERIFY(PasswordHash::verify(users.value(1).toString(), QStringLiteral("abc123")));
    QCOMPARE(db.scalar(QStringLiteral("select count(*) from userdb")).toInt(), 3);
    Statement sessions = db.prepare(QStringLiteral("select id, username, cast(btime as text), cast(jtime as text) from rz"));
    QStringList stored;
    while (sessions.step())
        stored << QStringLiteral("%1|%2|%3|%4").arg(sessions.int64Value(0)).arg(sessions.value(1).toString(),
                                                                               sessions.value(2).toString(),
                                                                               sessions.value(3).toString());
    QCOMPARE(sorted(stored), sorted(expected.sessions));
    // New sessions continue after the largest id of the old log.
    db.execute(QStringLiteral("insert into rz (username, btime) values (?, ?)"),
               {QStringLiteral("小王"), QDateTime(QDate(2024, 1, 1), QTime(8, 0))});
    QCOMPARE(db.scalar(QStringLiteral("select max(id) from rz")).toLongLong(), 7);
}

void LegacyImportTest::serverKeepsNothingOfAFailedImport()
{
    if (!TestWorkspace::onServer())
        QSKIP("runs on the database server");
    TestWorkspace workspace(TestWorkspace::Database::None);
    writeBytes(QStringLiteral("old.mdb"), fileBytes(legacyFixture(QStringLiteral("legacy-many.mdb"))).left(118 * 4096));
    QString error;
    try {
        LegacyImport::importToServer(QStringLiteral("old.mdb"), workspace.dataSource(), hashingOptions());
    } catch (const AppError &e) {
        error = e.message();
    }
    QVERIFY2(error.contains(QStringLiteral("表 data 应有 1714 行，只读到 1628 行")), qPrintable(error));
    QVERIFY(!holdsLedger(workspace.dataSource())); // not even the empty tables
}

void LegacyImportTest::refusesAServerThatHoldsALedger()
{
    if (!TestWorkspace::onServer())
        QSKIP("runs on the database server");
    TestWorkspace workspace; // a fresh ledger on the server
    QString error;
    try {
        LegacyImport::importToServer(legacyFixture(QStringLiteral("legacy-small.mdb")), workspace.dataSource(), hashingOptions());
    } catch (const AppError &e) {
        error = e.message();
    }
    QVERIFY2(error.contains(QStringLiteral("已有账本")), qPrintable(error));
    Connection db(workspace.dataSource());
    QCOMPARE(db.scalar(QStringLiteral("select count(*) from data")).toInt(), 0);
    QCOMPARE(db.scalar(QStringLiteral("select count(*) from userdb")).toInt(), 1);
}

void LegacyImportTest::adminImportsIntoAServer()
{
    if (!TestWorkspace::onServer())
        QSKIP("runs on the database server");
    TestWorkspace workspace(TestWorkspace::Database::None);
    QProcess admin;
    admin.start(qEnvironmentVariable("QUILLMORA_BIN_DIR") + QStringLiteral("/quillmora-admin"),
                {QStringLiteral("--database"), workspace.serverUrl(), QStringLiteral("import-legacy"),
                 legacyFixture(QStringLiteral("legacy-many.mdb"))});
    QVERIFY(admin.waitForFinished(120000));
    const QString output = QString::fromUtf8(admin.readAllStandardOutput() + admin.readAllStandardError());
    QVERIFY2(admin.exitCode() == 0, qPrintable(output));
    for (const char *line : {"data: 1714 rows read, 1714 rows written", "rz: 273 rows read, 273 rows written",
                             "data: sum of 6: 491257.5 read, 491257.5 written"})
        QVERIFY2(output.contains(QString::fromUtf8(line)), qPrintable(output));
    QVERIFY(!QFile::exists(QStringLiteral("data.mdb")));
    Connection db(workspace.dataSource());
    QCOMPARE(db.scalar(QStringLiteral("select count(*) from data")).toInt(), 1714);
}

QTEST_GUILESS_MAIN(LegacyImportTest)
#include "tst_legacyimport.moc"
