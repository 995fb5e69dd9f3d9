#include "ledgerbackup.h"

#include "backupfiles.h"
#include "clock.h"
#include "connection.h"
#include "ledgerlock.h"
#include "openerror.h"
#include "schema.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QThread>
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <memory>
#include <unistd.h>

namespace {

constexpr const char *kPartialSuffix = ".partial";

QString errorText(int error)
{
    return QString::fromLocal8Bit(strerror(error));
}

// Flushes a file or a folder (the names in it) to the disk.
void flushToDisk(const QString &path)
{
    const int descriptor = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC);
    if (descriptor < 0)
        throw BackupError(BackupError::Kind::Failed, QStringLiteral("cannot open %1: %2").arg(path, errorText(errno)));
    const int rc = ::fsync(descriptor);
    const int error = errno;
    ::close(descriptor);
    if (rc != 0)
        throw BackupError(BackupError::Kind::Failed, QStringLiteral("cannot write %1 to the disk: %2").arg(path, errorText(error)));
}

// The row counts a backup is compared with.
struct Counts
{
    qint64 data = 0, userdb = 0, rz = 0;
    bool operator==(const Counts &) const = default;
};

Counts countRows(Connection &connection)
{
    auto count = [&](const char *table) {
        return connection.scalar(QStringLiteral("select count(*) from %1").arg(QLatin1String(table))).toLongLong();
    };
    return {count("data"), count("userdb"), count("rz")};
}

QString describe(const Counts &counts)
{
    return QStringLiteral("%1 sales, %2 users, %3 sessions").arg(counts.data).arg(counts.userdb).arg(counts.rz);
}

// A backup that cannot be restored, named by its file name.
BackupError unusableBackup(const QString &path, const QString &why)
{
    return BackupError(BackupError::Kind::Unusable,
                       QStringLiteral("%1 is no usable backup: %2").arg(QFileInfo(path).fileName(), why));
}

void requireBackupFile(const QString &path)
{
    if (!QFileInfo(path).isFile())
        throw unusableBackup(path, QStringLiteral("no such file"));
}

// Opens a backup of the embedded file and checks it as a ledger: the key, the tables,
// the integrity check. Returns its counts.
Counts checkEmbedded(const QString &path)
{
    auto unusable = [&](const QString &why) { return unusableBackup(path, why); };
    requireBackupFile(path);
    try {
        Connection copy(path, Schema::databaseKey());
        const QStringList tables = copy.tableNames();
        for (const QString &table : Schema::tables()) {
            if (!tables.contains(table))
                throw unusable(QStringLiteral("the table %1 is missing").arg(table));
        }
        Statement check = copy.prepare(QStringLiteral("pragma integrity_check"));
        QStringList problems;
        while (check.step() && problems.size() < 5)
            problems << check.value(0).toString();
        if (problems != QStringList{QStringLiteral("ok")})
            throw unusable(QStringLiteral("the integrity check reports: ") + problems.join(QStringLiteral("; ")));
        return countRows(copy);
    } catch (const DatabaseOpenError &error) {
        throw unusable(error.message());
    } catch (const BackupError &) {
        throw;
    } catch (const DatabaseError &error) {
        throw unusable(error.message());
    }
}

// A backup's name: now, with the next free sequence number of this second.
BackupFiles::Name nameForNow(const QString &folder, const QString &extension, BackupFiles::Kind kind)
{
    BackupFiles::Name name;
    const QDateTime now = Clock::now();
    name.time = QDateTime(now.date(), QTime(now.time().hour(), now.time().minute(), now.time().second()));
    name.extension = extension;
    name.kind = kind;
    while (QFileInfo::exists(QDir(folder).filePath(BackupFiles::fileName(name))))
        ++name.sequence;
    return name;
}

// Gives a finished temporary file its backup name. Never replaces a file: a backup made
// by another program in the same second keeps its name, and this one takes the next.
QString publish(const QString &temporary, const QString &folder, BackupFiles::Name name)
{
    flushToDisk(temporary);
    for (;;) {
        const QString target = QDir(folder).filePath(BackupFiles::fileName(name));
        if (::link(QFile::encodeName(temporary).constData(), QFile::encodeName(target).constData()) == 0) {
            QFile::remove(temporary);
            flushToDisk(folder);
            return target;
        }
        if (errno != EEXIST)
            throw BackupError(BackupError::Kind::Failed, QStringLiteral("cannot name the backup %1: %2").arg(target, errorText(errno)));
        ++name.sequence;
    }
}

QString temporaryName(const QString &folder, const BackupFiles::Name &name)
{
    return QDir(folder).filePath(QStringLiteral(".%1.%2%3")
                                     .arg(BackupFiles::fileName(name))
                                     .arg(qint64(::getpid()))
                                     .arg(QLatin1String(kPartialSuffix)));
}


// ------------------------------------------------------------------ server

// The ledger's tables a server backup holds: the three and, when present, the
// recycle bin and the history of changes.
QStringList serverTables(Connection &connection)
{
    const QStringList present = connection.tableNames();
    QStringList tables;
    for (const char *name : {"data", "userdb", "rz", "deleted_sales", "sale_changes", Schema::kUserRoles, "sale_origins"}) {
        if (present.contains(QLatin1String(name)))
            tables << QString::fromLatin1(name);
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
    // Lines of the table of contents: "<id>; <oid> <oid> TABLE DATA <schema> <table> <owner>".
    for (const QByteArray &line : list.output.split('\n')) {
        const QList<QByteArray> words = line.simplified().split(' ');
        const qsizetype at = words.indexOf("DATA");
        if (line.startsWith(';') || at < 1 || words[at - 1] != "TABLE" || at + 2 >= words.size())
            continue;
        contents.schema = QString::fromUtf8(words[at + 1]);
        contents.tables << QString::fromUtf8(words[at + 2]);
    }
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

// Runs `make`, which writes the backup into `temporary` and raises `failed(why)` for
// what it finds wrong itself. Any failure removes the temporary file and is reported
// once as "the backup of <ledger> failed: <why>".
template<typename Make>
QString backupOrFailure(const QString &ledger, const QString &temporary, Make &&make)
{
    auto failed = [&](const QString &why) {
        QFile::remove(temporary);
        return BackupError(BackupError::Kind::Failed, QStringLiteral("the backup of %1 failed: %2").arg(ledger, why));
    };
    try {
        return make(failed);
    } catch (const BackupError &error) {
        if (error.kind() == BackupError::Kind::Failed && error.message().startsWith(QLatin1String("the backup of ")))
            throw;
        throw failed(error.message());
    } catch (const AppError &error) {
        throw failed(error.message());
    }
}

} // namespace

LedgerBackup::LedgerBackup(const DataSource &source, const QString &dataFolder)
    : m_source(source), m_dataFolder(QDir(dataFolder).absolutePath())
{
}

QString LedgerBackup::folder() const
{
    return QDir(m_dataFolder).filePath(QStringLiteral("backups"));
}

QString LedgerBackup::ledgerPath() const
{
    return QFileInfo(m_source.location()).absoluteFilePath();
}

QString LedgerBackup::backup(Connection *open)
{
    if (!QDir().mkpath(folder()))
        throw BackupError(BackupError::Kind::Failed, QStringLiteral("cannot make the folder %1").arg(folder()));
    removeLeftovers();
    const QString made = m_source.isServer() ? serverBackup(false) : embeddedBackup(open, false);
    applyKeepingRule();
    return made;
}

QString LedgerBackup::embeddedBackup(Connection *open, bool beforeRestore)
{
    const BackupFiles::Name name =
        nameForNow(folder(), QStringLiteral("mdb"),
                   beforeRestore ? BackupFiles::Kind::BeforeRestore : BackupFiles::Kind::Regular);
    const QString temporary = temporaryName(folder(), name);
    return backupOrFailure(ledgerPath(), temporary, [&](const auto &failed) {
        std::unique_ptr<Connection> own;
        if (!open) {
            own = std::make_unique<Connection>(m_source);
            open = own.get();
        }
        // One read transaction for the counts and the copy: other programs' writes wait
        // until it ends, so the counts are those of the copy. (A write transaction
        // would keep the engine from copying at all.)
        open->execute(QStringLiteral("begin"));
        Counts ledger;
        try {
            ledger = countRows(*open);
            open->backupInto(temporary);
            open->rollback();
        } catch (...) {
            open->rollback();
            throw;
        }
        const Counts copy = checkEmbedded(temporary);
        if (!(copy == ledger))
            throw failed(QStringLiteral("the copy holds %1 where the ledger holds %2").arg(describe(copy), describe(ledger)));
        return publish(temporary, folder(), name);
    });
}

QString LedgerBackup::serverBackup(bool beforeRestore)
{
    const BackupFiles::Name name =
        nameForNow(folder(), QStringLiteral("dump"),
                   beforeRestore ? BackupFiles::Kind::BeforeRestore : BackupFiles::Kind::Regular);
    const QString temporary = temporaryName(folder(), name);
    return backupOrFailure(m_source.displayName(), temporary, [&](const auto &failed) {
        Connection connection(m_source);
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
            arguments << QStringLiteral("--dbname=") + m_source.location();
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

void LedgerBackup::removeLeftovers() const
{
    // Temporary files of backups that died (killed, the machine stopped): those whose
    // program is gone. A backup still being written by another program stays.
    const QStringList partials =
        QDir(folder()).entryList({QStringLiteral(".data-*") + QLatin1String(kPartialSuffix)}, QDir::Files | QDir::Hidden);
    for (const QString &file : partials) {
        const QString rest = file.chopped(int(qstrlen(kPartialSuffix)));
        bool number = false;
        const qint64 pid = rest.mid(rest.lastIndexOf(QLatin1Char('.')) + 1).toLongLong(&number);
        if (number && pid > 0 && (::kill(pid_t(pid), 0) == 0 || errno == EPERM) && pid != ::getpid())
            continue;
        QFile::remove(QDir(folder()).filePath(file));
    }
}

void LedgerBackup::applyKeepingRule() const
{
    const QStringList files = QDir(folder()).entryList(QDir::Files);
    for (const QString &file : BackupFiles::toRemove(files))
        QFile::remove(QDir(folder()).filePath(file));
}

std::vector<BackupInfo> LedgerBackup::list() const
{
    std::vector<BackupInfo> backups;
    const QStringList files = QDir(folder()).entryList(QDir::Files);
    for (const QString &file : files) {
        const std::optional<BackupFiles::Name> name = BackupFiles::parse(file);
        if (!name)
            continue;
        BackupInfo info;
        info.fileName = file;
        info.path = QDir(folder()).filePath(file);
        info.time = name->time;
        info.size = QFileInfo(info.path).size();
        info.beforeRestore = name->kind == BackupFiles::Kind::BeforeRestore;
        try {
            if (name->extension == QLatin1String("dump")) {
                info.sales = checkDump(info.path);
            } else {
                // The count only: the full check is the restore's.
                Connection copy(info.path, Schema::databaseKey());
                info.sales = int(copy.scalar(QStringLiteral("select count(*) from data")).toLongLong());
            }
        } catch (const AppError &) {
            info.sales = -1;
        }
        backups.push_back(info);
    }
    std::sort(backups.begin(), backups.end(), [](const BackupInfo &a, const BackupInfo &b) {
        return a.time != b.time ? a.time > b.time : a.fileName > b.fileName;
    });
    return backups;
}

bool LedgerBackup::hasBackupOf(const QDate &day) const
{
    for (const QString &file : QDir(folder()).entryList(QDir::Files)) {
        const std::optional<BackupFiles::Name> name = BackupFiles::parse(file);
        if (name && name->kind == BackupFiles::Kind::Regular && name->time.date() == day)
            return true;
    }
    return false;
}

int LedgerBackup::check(const QString &path) const
{
    if (m_source.isServer())
        return checkDump(path);
    return int(checkEmbedded(path).data);
}

int LedgerBackup::checkDump(const QString &path) const
{
    return int(readDump(path).counts.data);
}

QString LedgerBackup::restore(const QString &backup)
{
    const QString path = backup.contains(QLatin1Char('/')) ? QFileInfo(backup).absoluteFilePath()
                                                           : QDir(folder()).filePath(backup);
    return m_source.isServer() ? serverRestore(path) : embeddedRestore(path);
}

QString LedgerBackup::embeddedRestore(const QString &path)
{
    const QString ledger = ledgerPath();
    // Checked before anything else: a backup that will not do changes nothing.
    checkEmbedded(path);

    QElapsedTimer waited;
    waited.start();
    std::unique_ptr<LedgerLock> lock;
    while (!(lock = LedgerLock::tryLock(ledger, LedgerLock::Mode::Exclusive))) {
        if (waited.elapsed() >= m_waitForFree)
            throw BackupError(BackupError::Kind::InUse,
                              QStringLiteral("%1 is open in another program; close it and restore again").arg(ledger));
        QThread::msleep(100);
    }

    if (!QDir().mkpath(folder()))
        throw BackupError(BackupError::Kind::Failed, QStringLiteral("cannot make the folder %1").arg(folder()));
    // What is put in place is a copy that was checked after copying.
    const QString incoming = QStringLiteral("%1.%2.restoring").arg(ledger).arg(qint64(::getpid()));
    QFile::remove(incoming);
    auto removeIncoming = qScopeGuard([&] { QFile::remove(incoming); });
    if (!QFile::copy(path, incoming))
        throw BackupError(BackupError::Kind::Failed, QStringLiteral("cannot copy %1 beside the ledger").arg(path));
    checkEmbedded(incoming);
    flushToDisk(incoming);

    // The ledger being replaced becomes a backup of its own.
    QString kept;
    if (QFileInfo::exists(ledger)) {
        try {
            kept = embeddedBackup(nullptr, true);
        } catch (const BackupError &error) {
            // A ledger that no longer opens (often the reason for a restore) is kept as
            // it lies, with the journal that belongs to it.
            const BackupFiles::Name name = nameForNow(folder(), QStringLiteral("mdb"), BackupFiles::Kind::BeforeRestore);
            kept = QDir(folder()).filePath(BackupFiles::fileName(name));
            if (!QFile::copy(ledger, kept))
                throw BackupError(BackupError::Kind::Failed,
                                  QStringLiteral("cannot keep %1 before the restore: %2").arg(ledger, error.message()));
            flushToDisk(kept);
            const QString journal = ledger + QStringLiteral("-journal");
            if (QFileInfo::exists(journal) && !QFile::rename(journal, kept + QStringLiteral("-journal")))
                throw BackupError(BackupError::Kind::Failed, QStringLiteral("cannot move %1 aside").arg(journal));
        }
    }
    // A journal left beside the ledger would be played into the restored file.
    if (QFileInfo::exists(ledger + QStringLiteral("-journal")))
        throw BackupError(BackupError::Kind::Failed, QStringLiteral("%1-journal is in the way of the restore").arg(ledger));
    if (::rename(QFile::encodeName(incoming).constData(), QFile::encodeName(ledger).constData()) != 0)
        throw BackupError(BackupError::Kind::Failed, QStringLiteral("cannot put %1 in place: %2").arg(ledger, errorText(errno)));
    removeIncoming.dismiss();
    flushToDisk(QFileInfo(ledger).absolutePath());
    return kept;
}

QString LedgerBackup::serverRestore(const QString &path)
{
    const DumpContents contents = readDump(path);
    Connection connection(m_source);
    const QString schema = currentSchema(connection);
    if (contents.schema != schema)
        throw unusableBackup(path, QStringLiteral("it is a backup of the ledger in the schema %1, not %2")
                                       .arg(contents.schema, schema));

    QElapsedTimer waited;
    waited.start();
    std::unique_ptr<LedgerLock> lock;
    while (!(lock = LedgerLock::tryLock(connection, LedgerLock::Mode::Exclusive))) {
        if (waited.elapsed() >= m_waitForFree)
            throw BackupError(BackupError::Kind::InUse,
                              QStringLiteral("%1 is open in another program; close it on every terminal and restore again")
                                  .arg(m_source.displayName()));
        QThread::msleep(100);
    }
    if (!QDir().mkpath(folder()))
        throw BackupError(BackupError::Kind::Failed, QStringLiteral("cannot make the folder %1").arg(folder()));
    const QString kept = serverBackup(true);
    // All of the backup's tables replace the ledger's in one transaction, or none do.
    const ToolRun restore = runTool(QStringLiteral("pg_restore"),
                                    {QStringLiteral("--clean"), QStringLiteral("--if-exists"),
                                     QStringLiteral("--single-transaction"), QStringLiteral("--exit-on-error"),
                                     QStringLiteral("--no-owner"), QStringLiteral("--no-privileges"),
                                     QStringLiteral("--dbname=") + m_source.location(), path});
    if (restore.status != 0)
        throw BackupError(BackupError::Kind::Failed, QStringLiteral("the restore of %1 failed, the ledger is as it was: %2")
                                                         .arg(m_source.displayName(), restore.errors));
    // A backup made before the recycle bin, the history, roles or sale origins existed:
    // theirs would speak of the replaced ledger's sales and users. They are made again,
    // empty, when the ledger opens.
    for (const char *journal : {"deleted_sales", "sale_changes", Schema::kUserRoles, "sale_origins"}) {
        if (!contents.tables.contains(QLatin1String(journal)))
            connection.execute(QStringLiteral("drop table if exists %1").arg(QLatin1String(journal)));
    }
    return kept;
}
