#include "dumpledgerbackup.h"

#include "backupfiles.h"
#include "backupsteps.h"
#include "connection.h"
#include "inifile.h"
#include "ledgerlock.h"
#include "schema.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <memory>

using namespace BackupSteps;

namespace {

// The ledger's tables a server backup holds: the three and, when present, the
// recycle bin and the history of changes.
QStringList serverTables(Connection &connection)
{
    const QStringList present = connection.tableNames();
    QStringList tables;
    for (const QString &name : Schema::tables() + Schema::addedTables()) {
        if (present.contains(name))
            tables << name;
    }
    return tables;
}

struct ToolRun
{
    int status = -1;
    QByteArray output;
    QString errors;
};

// Runs one of the server's client tools and waits for it.
ToolRun runTool(const QString &program, const QStringList &arguments)
{
    QProcess process;
    process.start(program, arguments);
    ToolRun run;
    if (!process.waitForStarted(30000)) {
        run.errors = QStringLiteral("%1 could not be started: %2").arg(program, process.errorString());
        return run;
    }
    process.closeWriteChannel();
    // Read as it comes: a table's rows can be more than a pipe holds.
    while (!process.waitForFinished(100)) {
        if (process.state() == QProcess::NotRunning)
            break;
        run.output += process.readAllStandardOutput();
    }
    run.output += process.readAllStandardOutput();
    run.errors = QString::fromLocal8Bit(process.readAllStandardError()).trimmed();
    run.status = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    return run;
}

// What a dump of the server's ledger holds: its schema, the tables with their rows,
// and the rows of the three tables.
struct DumpContents
{
    QString schema;
    QStringList tables;
    Counts counts;
};

DumpContents readDump(const QString &path)
{
    auto unusable = [&](const QString &why) { return unusableBackup(path, why); };
    requireBackupFile(path);
    const ToolRun list = runTool(QStringLiteral("pg_restore"), {QStringLiteral("--list"), path});
    if (list.status != 0)
        throw unusable(list.errors.isEmpty() ? QStringLiteral("pg_restore cannot read it") : list.errors);
    DumpContents contents;
    // Lines of the table of contents: "<id>; <oid> <oid> <KIND> <schema> <name> <owner>",
    // where a kind may be of several words ("TABLE DATA", "FK CONSTRAINT").
    static const QList<QByteArray> ledgerKinds = {"TABLE DATA", "TABLE", "INDEX", "CONSTRAINT",
                                                  "SEQUENCE SET", "SEQUENCE OWNED BY", "SEQUENCE"};
    static const QList<QByteArray> otherKinds = {"FK CONSTRAINT", "MATERIALIZED VIEW DATA", "MATERIALIZED VIEW",
                                                 "EVENT TRIGGER", "DEFAULT ACL", "TEXT SEARCH", "FOREIGN TABLE",
                                                 "PROCEDURAL LANGUAGE", "LARGE OBJECT", "BLOB"};
    const QStringList ownTables = Schema::tables() + Schema::addedTables();
    QStringList foreign;
    QStringList schemas;
    for (const QByteArray &line : list.output.split('\n')) {
        const QByteArray entry = line.simplified();
        const qsizetype semicolon = entry.indexOf(';');
        if (entry.isEmpty() || entry.startsWith(';') || semicolon < 0)
            continue;
        // After the id and two object ids.
        QList<QByteArray> words = entry.mid(semicolon + 1).trimmed().split(' ');
        if (words.size() < 3)
            continue;
        words = words.mid(2);
        const QByteArray rest = words.join(' ');
        QByteArray kind;
        for (const QByteArray &known : ledgerKinds + otherKinds) {
            if (rest.startsWith(known + ' ') && known.size() > kind.size())
                kind = known;
        }
        if (kind.isEmpty())
            kind = words.first();
        const QList<QByteArray> after = rest.mid(kind.size()).trimmed().split(' ');
        const QString schema = QString::fromUtf8(after.value(0));
        // The name: what lies between the schema and the owner.
        const QString name = QString::fromUtf8(after.mid(1, after.size() - 2).join(' '));
        const QString described = QString::fromUtf8(kind).toLower() + QLatin1Char(' ')
                                  + (schema == QLatin1String("-") ? name : schema + QLatin1Char('.') + name);
        if (kind == "ACL" || kind == "COMMENT")
            continue; // privileges and comments are not restored (--no-privileges, --no-comments)
        if (!ledgerKinds.contains(kind)) {
            foreign << described;
            continue;
        }
        if (!schemas.contains(schema))
            schemas << schema;
        if ((kind == "TABLE" || kind == "TABLE DATA") && !ownTables.contains(name)) {
            foreign << described;
            continue;
        }
        if (kind == "TABLE DATA") {
            contents.schema = schema;
            contents.tables << name;
        }
    }
    if (schemas.size() > 1)
        foreign << QStringLiteral("objects in the schemas ") + schemas.join(QStringLiteral(", "));
    if (!foreign.isEmpty())
        throw unusable(QStringLiteral("it holds what a ledger does not: ") + foreign.join(QStringLiteral(", ")));
    for (const QString &table : Schema::tables()) {
        if (!contents.tables.contains(table))
            throw unusable(QStringLiteral("the table %1 is missing").arg(table));
    }
    // The rows: what a restore would load, read back from the whole file (a file cut
    // short or damaged fails here).
    const ToolRun rows = runTool(QStringLiteral("pg_restore"), {QStringLiteral("--data-only"), QStringLiteral("--file=-"), path});
    if (rows.status != 0)
        throw unusable(rows.errors.isEmpty() ? QStringLiteral("pg_restore cannot read its rows") : rows.errors);
    QString table;
    for (const QByteArray &line : rows.output.split('\n')) {
        if (table.isEmpty()) {
            if (line.startsWith("COPY ")) {
                const QByteArray target = line.mid(5, line.indexOf(' ', 5) - 5);
                table = QString::fromUtf8(target.mid(target.lastIndexOf('.') + 1)).remove(QLatin1Char('"'));
            }
            continue;
        }
        if (line == "\\.") {
            table.clear();
            continue;
        }
        if (table == QLatin1String("data"))
            ++contents.counts.data;
        else if (table == QLatin1String("userdb"))
            ++contents.counts.userdb;
        else if (table == QLatin1String("rz"))
            ++contents.counts.rz;
    }
    return contents;
}

QString currentSchema(Connection &connection)
{
    return connection.scalar(QStringLiteral("select current_schema()")).toString();
}

} // namespace

DumpLedgerBackup::DumpLedgerBackup(const DataSource &source, const QString &dataFolder)
    : LedgerBackup(source, dataFolder)
{
}

QString DumpLedgerBackup::folder() const
{
    // Every terminal of a server's ledger reads the same database.conf, so each finds
    // the shop's one list of backups where it names it (a shared folder), not a list
    // of its own.
    const QString setting = QDir(dataFolder()).filePath(QStringLiteral("database.conf"));
    const auto named = IniFile::find(IniFile::readSection(setting, QStringLiteral("backup")), QStringLiteral("folder"));
    if (named && !named->isEmpty())
        return QDir::cleanPath(QDir(dataFolder()).absoluteFilePath(QDir::fromNativeSeparators(*named)));
    return LedgerBackup::folder();
}

QString DumpLedgerBackup::makeBackup(Connection *, bool beforeRestore)
{
    const BackupFiles::Name name =
        nameForNow(folder(), QStringLiteral("dump"),
                   beforeRestore ? BackupFiles::Kind::BeforeRestore : BackupFiles::Kind::Regular);
    const QString temporary = temporaryName(folder(), name);
    return backupOrFailure(source().displayName(), temporary, [&](const auto &failed) {
        createPrivate(temporary);
        Connection connection(source());
        // The dump and the counts it is checked against see one snapshot of the ledger,
        // whatever the other terminals write meanwhile.
        connection.beginTransaction();
        try {
            connection.execute(QStringLiteral("set transaction isolation level repeatable read"));
            const QString snapshot = connection.scalar(QStringLiteral("select pg_export_snapshot()")).toString();
            const Counts ledger = countRows(connection);
            const QString schema = currentSchema(connection);
            QStringList arguments{QStringLiteral("--format=custom"), QStringLiteral("--snapshot=") + snapshot,
                                  QStringLiteral("--file=") + temporary};
            for (const QString &table : serverTables(connection))
                arguments << QStringLiteral("--table=\"%1\".\"%2\"").arg(schema, table);
            arguments << QStringLiteral("--dbname=") + source().location();
            const ToolRun dump = runTool(QStringLiteral("pg_dump"), arguments);
            connection.rollback();
            if (dump.status != 0)
                throw failed(dump.errors.isEmpty() ? QStringLiteral("pg_dump failed") : dump.errors);
            const DumpContents copy = readDump(temporary);
            if (!(copy.counts == ledger))
                throw failed(QStringLiteral("the copy holds %1 where the ledger holds %2")
                                 .arg(describe(copy.counts), describe(ledger)));
        } catch (...) {
            try {
                connection.rollback();
            } catch (const DatabaseError &) {
                // Already ended.
            }
            throw;
        }
        return publish(temporary, folder(), name);
    });
}

int DumpLedgerBackup::check(const QString &path) const
{
    return salesIn(path);
}

int DumpLedgerBackup::salesIn(const QString &path)
{
    return int(readDump(path).counts.data);
}

LedgerBackup::KeyChange DumpLedgerBackup::changeKey(const QByteArray &)
{
    throw BackupError(BackupError::Kind::Failed,
                      QStringLiteral("a server's ledger is guarded by the server's own logins; the key is for data.mdb"));
}

QString DumpLedgerBackup::restoreFrom(const QString &path)
{
    const DumpContents contents = readDump(path);
    Connection connection(source());
    const QString schema = currentSchema(connection);
    if (contents.schema != schema)
        throw unusableBackup(path, QStringLiteral("it is a backup of the ledger in the schema %1, not %2")
                                       .arg(contents.schema, schema));

    // Terminals cut off by a server restart hold no lock until they have made their
    // sessions again; a terminal's session is counted even before its lock is back.
    LedgerLock::waitForReclaims(connection);
    std::unique_ptr<LedgerLock> lock;
    waitUntilAlone(
        [&] {
            lock = LedgerLock::tryLock(connection, LedgerLock::Mode::Exclusive);
            if (lock && LedgerLock::otherTerminals(connection) > 0)
                lock.reset();
            return lock != nullptr;
        },
        QStringLiteral("%1 is open in another program; close it on every terminal and restore again")
            .arg(source().displayName()));
    makeFolder();
    const QString kept = makeBackup(nullptr, true);
    // All of the backup's tables replace the ledger's in one transaction, or none do.
    const ToolRun restore = runTool(QStringLiteral("pg_restore"),
                                    {QStringLiteral("--clean"), QStringLiteral("--if-exists"),
                                     QStringLiteral("--single-transaction"), QStringLiteral("--exit-on-error"),
                                     QStringLiteral("--no-owner"), QStringLiteral("--no-privileges"), QStringLiteral("--no-comments"),
                                     QStringLiteral("--dbname=") + source().location(), path});
    if (restore.status != 0)
        throw BackupError(BackupError::Kind::Failed, QStringLiteral("the restore of %1 failed, the ledger is as it was: %2")
                                                         .arg(source().displayName(), restore.errors));
    // A backup made before the recycle bin, the history, roles or sale origins existed:
    // theirs would speak of the replaced ledger's sales and users. They are made again,
    // empty, when the ledger opens.
    for (const QString &added : Schema::addedTables()) {
        if (!contents.tables.contains(added))
            connection.execute(QStringLiteral("drop table if exists %1").arg(added));
    }
    return kept;
}
