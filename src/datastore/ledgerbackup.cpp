#include "ledgerbackup.h"

#include "backupfiles.h"
#include "clock.h"
#include "disksync.h"
#include "connection.h"
#include "inifile.h"
#include "ledgerkey.h"
#include "ledgerlock.h"
#include "openerror.h"
#include "salejournal.h"
#include "schema.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QScopeGuard>
#include <QThread>
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <memory>
#include <sys/stat.h>
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
    if (const int error = DiskSync::flush(path); error != 0)
        throw BackupError(BackupError::Kind::Failed, QStringLiteral("cannot write %1 to the disk: %2").arg(path, errorText(error)));
}

constexpr mode_t kFileMode = 0600;
constexpr mode_t kFolderMode = 0700;

// Gives a file this program made the ledger's mode: the shop's account alone reads it.
void restrictFile(const QString &path)
{
    if (::chmod(QFile::encodeName(path).constData(), kFileMode) != 0)
        throw BackupError(BackupError::Kind::Failed, QStringLiteral("cannot protect %1: %2").arg(path, errorText(errno)));
}

// Takes the bits for other accounts off an existing file or folder (one made by an
// earlier version). A file this account does not own is left as it is.
void tightenMode(const QString &path, mode_t mode)
{
    struct stat status;
    const QByteArray name = QFile::encodeName(path);
    if (::stat(name.constData(), &status) == 0 && (status.st_mode & 07777 & ~mode) != 0 && status.st_uid == ::geteuid())
        ::chmod(name.constData(), status.st_mode & mode);
}

// Makes an empty file only this account can read, for a copy to be written into: the
// rows never lie in a file that others may open, not even while it is being written.
void createPrivate(const QString &path)
{
    const int descriptor =
        ::open(QFile::encodeName(path).constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, kFileMode);
    if (descriptor < 0)
        throw BackupError(BackupError::Kind::Failed, QStringLiteral("cannot make %1: %2").arg(path, errorText(errno)));
    ::close(descriptor);
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

// Opens a copy of the embedded ledger with whichever of the keys it was written with
// (the shop's own, one a change of key replaced, the built-in one); `usedKey` tells which.
std::unique_ptr<Connection> openCopy(const QString &path, QByteArray *usedKey = nullptr)
{
    const QList<QByteArray> keys = LedgerKey::candidates();
    for (qsizetype i = 0;; ++i) {
        try {
            auto connection = std::make_unique<Connection>(path, keys[i]);
            if (usedKey)
                *usedKey = keys[i];
            return connection;
        } catch (const DatabaseOpenError &error) {
            if (error.reason() != DatabaseOpenError::Reason::WrongPassword || i + 1 == keys.size())
                throw;
        }
    }
}

// Opens a backup of the embedded file and checks it as a ledger: the key, the tables,
// the integrity check. Returns its counts. `goOn` false ends the check as a failure.
Counts checkEmbedded(const QString &path, const std::function<bool()> &goOn = {})
{
    auto unusable = [&](const QString &why) { return unusableBackup(path, why); };
    requireBackupFile(path);
    try {
        const std::unique_ptr<Connection> opened = openCopy(path);
        Connection &copy = *opened;
        if (goOn)
            copy.setGoOn(goOn);
        const QStringList tables = copy.tableNames();
        for (const QString &table : Schema::tables()) {
            if (!tables.contains(table))
                throw unusable(QStringLiteral("the table %1 is missing").arg(table));
        }
        const QStringList foreign = LedgerBackup::foreignObjects(copy);
        if (!foreign.isEmpty())
            throw unusable(QStringLiteral("it holds what a ledger does not: ") + foreign.join(QStringLiteral(", ")));
        Statement check = copy.prepare(QStringLiteral("pragma integrity_check"));
        QStringList problems;
        while (check.step() && problems.size() < 5)
            problems << check.value(0).toString();
        if (problems != QStringList{QStringLiteral("ok")})
            throw unusable(QStringLiteral("the integrity check reports: ") + problems.join(QStringLiteral("; ")));
        return countRows(copy);
    } catch (const DatabaseOpenError &error) {
        if (error.reason() == DatabaseOpenError::Reason::WrongPassword)
            throw unusable(QStringLiteral("it opens with no key known here (one made with a key of the shop's own on "
                                          "another machine needs that key: quillmora-admin set-key)"));
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
    restrictFile(temporary);
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

// A backup's failure worded already as the whole backup's ("the backup of … failed"):
// passed on as it is, also through a backup made inside another one.
class WholeBackupFailure : public BackupError
{
public:
    using BackupError::BackupError;
};

// Runs `make`, which writes the backup into `temporary` and raises `failed(why)` for
// what it finds wrong itself. Any failure removes the temporary file and is reported
// once as "the backup of <ledger> failed: <why>".
template<typename Make>
QString backupOrFailure(const QString &ledger, const QString &temporary, Make &&make)
{
    auto failed = [&](const QString &why) {
        QFile::remove(temporary);
        return WholeBackupFailure(BackupError::Kind::Failed,
                                  QStringLiteral("the backup of %1 failed: %2").arg(ledger, why));
    };
    try {
        return make(failed);
    } catch (const WholeBackupFailure &) {
        throw;
    } catch (const BackupError &error) {
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
    // Every terminal of a server's ledger reads the same database.conf, so each finds
    // the shop's one list of backups where it names it (a shared folder), not a list
    // of its own.
    if (m_source.isServer()) {
        const QString setting = QDir(m_dataFolder).filePath(QStringLiteral("database.conf"));
        const auto named = IniFile::find(IniFile::readSection(setting, QStringLiteral("backup")), QStringLiteral("folder"));
        if (named && !named->isEmpty())
            return QDir::cleanPath(QDir(m_dataFolder).absoluteFilePath(QDir::fromNativeSeparators(*named)));
    }
    return QDir(m_dataFolder).filePath(QStringLiteral("backups"));
}

QString LedgerBackup::ledgerPath() const
{
    // A data.mdb that is a link to the ledger elsewhere (on another disk, say): the
    // ledger is the file it points to, and that is what a restore replaces.
    const QFileInfo named(m_source.location());
    if (named.isSymLink() && named.exists())
        return named.canonicalFilePath();
    return named.absoluteFilePath();
}

QString LedgerBackup::makeFolder() const
{
    if (!QDir().mkpath(folder()))
        throw BackupError(BackupError::Kind::Failed, QStringLiteral("cannot make the folder %1").arg(folder()));
    // A folder named in database.conf is the shop's to set up (shared by the terminals'
    // accounts, perhaps); only our own backups/ is closed to others here.
    if (folder() == QDir(m_dataFolder).filePath(QStringLiteral("backups")))
        tightenMode(folder(), kFolderMode);
    return folder();
}

void LedgerBackup::protectFiles() const
{
    if (!m_source.isServer()) {
        tightenMode(ledgerPath(), kFileMode);
        tightenMode(ledgerPath() + QStringLiteral("-journal"), kFileMode);
    }
    if (!QFileInfo(folder()).isDir())
        return;
    if (folder() == QDir(m_dataFolder).filePath(QStringLiteral("backups")))
        tightenMode(folder(), kFolderMode);
    for (const QString &file : QDir(folder()).entryList(QDir::Files | QDir::Hidden)) {
        if (BackupFiles::parse(file) || file.endsWith(QLatin1String(kPartialSuffix)) || file.endsWith(QLatin1String("-journal")))
            tightenMode(QDir(folder()).filePath(file), kFileMode);
    }
}

QStringList LedgerBackup::foreignObjects(Connection &connection)
{
    if (connection.engine() != Connection::Engine::EmbeddedFile)
        return {};
    const QStringList own = Schema::tables() + Schema::addedTables();
    auto isOwn = [&](const QString &table) { return own.contains(table, Qt::CaseInsensitive); };
    // The engine's own bookkeeping: the counters of autoincrement keys, the statistics
    // of the query planner.
    const QStringList engine = {QStringLiteral("sqlite_sequence"), QStringLiteral("sqlite_stat1"),
                                QStringLiteral("sqlite_stat4")};
    QStringList virtualTables;
    QStringList foreign;
    Statement rows = connection.prepare(
        QStringLiteral("select type, name, tbl_name, coalesce(sql, '') from sqlite_master order by type desc, name"));
    while (rows.step()) {
        const QString type = rows.value(0).toString();
        const QString name = rows.value(1).toString();
        const QString table = rows.value(2).toString();
        const bool isVirtual = rows.value(3).toString().simplified().startsWith(QLatin1String("create virtual"), Qt::CaseInsensitive);
        if (type == QLatin1String("table") && !isVirtual && (isOwn(name) || engine.contains(name, Qt::CaseInsensitive)))
            continue;
        if (type == QLatin1String("index") && isOwn(table))
            continue;
        foreign << (isVirtual ? QStringLiteral("virtual table") : type) + QLatin1Char(' ') + name;
    }
    return foreign;
}

QString LedgerBackup::backup(Connection *open)
{
    makeFolder();
    protectFiles();
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
        createPrivate(temporary);
        std::unique_ptr<Connection> own;
        if (!open) {
            own = std::make_unique<Connection>(m_source);
            open = own.get();
        }
        // The copy goes in slices that other connections' writes may come between
        // (the engine starts over after one). The last slice is copied inside one read
        // transaction with the counts, so the counts are those of the copy; writes
        // wait only for that. (A write transaction would keep the engine from copying
        // at all.)
        Counts ledger;
        bool reading = false;
        Connection::BackupSteps steps;
        steps.goOn = m_goOn;
        steps.beforeLastSlice = [&] {
            open->execute(QStringLiteral("begin"));
            reading = true;
            ledger = countRows(*open);
        };
        try {
            open->backupInto(temporary, steps);
        } catch (...) {
            if (reading)
                open->rollback();
            throw;
        }
        open->rollback();
        const auto stopIfAsked = [&] {
            if (m_goOn && !m_goOn())
                throw failed(QStringLiteral("it was stopped"));
        };
        stopIfAsked();
        const Counts copy = checkEmbedded(temporary, m_goOn);
        stopIfAsked();
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
        createPrivate(temporary);
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
    for (const QString &file : BackupFiles::toRemove(files, Clock::now(), {m_spared}))
        QFile::remove(QDir(folder()).filePath(file));
}

std::vector<BackupInfo> LedgerBackup::list() const
{
    protectFiles();
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
                info.sales = int(openCopy(info.path)->scalar(QStringLiteral("select count(*) from data")).toLongLong());
            }
        } catch (const DatabaseOpenError &error) {
            info.sales = -1;
            info.keyUnknown = error.reason() == DatabaseOpenError::Reason::WrongPassword;
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

namespace {

// Copies `from` to `to` block by block; errno of the failure, 0 when whole and flushed.
int copyFile(const QString &from, const QString &to)
{
    const int input = ::open(QFile::encodeName(from).constData(), O_RDONLY | O_CLOEXEC);
    if (input < 0)
        return errno;
    const int output = ::open(QFile::encodeName(to).constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, kFileMode);
    if (output < 0) {
        const int error = errno;
        ::close(input);
        return error;
    }
    int error = 0;
    std::vector<char> block(1 << 20);
    for (;;) {
        const ssize_t got = ::read(input, block.data(), block.size());
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0) {
            error = got < 0 ? errno : 0;
            break;
        }
        for (ssize_t done = 0; done < got && error == 0;) {
            const ssize_t wrote = ::write(output, block.data() + done, size_t(got - done));
            if (wrote < 0 && errno != EINTR)
                error = errno;
            else if (wrote > 0)
                done += wrote;
        }
        if (error != 0)
            break;
    }
    if (error == 0 && ::fsync(output) != 0)
        error = errno;
    if (::close(output) != 0 && error == 0)
        error = errno;
    ::close(input);
    return error;
}

} // namespace

namespace {

QString quotedKey(const QByteArray &key)
{
    return QLatin1Char('\'') + QString::fromUtf8(key).replace(QLatin1Char('\''), QStringLiteral("''")) + QLatin1Char('\'');
}

// Re-encrypts the ledger file `path` with `key`: a copy under a temporary name beside
// it is re-keyed, checked (the key, the integrity check, the same rows) and flushed, and
// only then renamed over it, so the file under its name always opens with one of the
// keys LedgerKey keeps. False when it had the key already.
bool reencrypt(const QString &path, const QByteArray &key)
{
    QByteArray oldKey;
    Counts counts;
    {
        const std::unique_ptr<Connection> original = openCopy(path, &oldKey);
        if (oldKey == key)
            return false;
        counts = countRows(*original);
    }
    const QString temporary = NewLedgerFile::temporaryFor(path);
    auto removeTemporary = qScopeGuard([&] {
        QFile::remove(temporary);
        QFile::remove(temporary + QStringLiteral("-journal"));
    });
    if (const int error = copyFile(path, temporary); error != 0)
        throw BackupError(BackupError::Kind::Failed, QStringLiteral("cannot copy %1: %2").arg(path, errorText(error)));
    {
        Connection copy(temporary, oldKey);
        copy.execute(QStringLiteral("pragma rekey = ") + quotedKey(key));
    }
    {
        Connection check(temporary, key);
        if (check.scalar(QStringLiteral("pragma integrity_check")).toString() != QLatin1String("ok") || !(countRows(check) == counts))
            throw BackupError(BackupError::Kind::Failed, QStringLiteral("the re-encrypted copy of %1 does not check").arg(path));
    }
    flushToDisk(temporary);
    if (::rename(QFile::encodeName(temporary).constData(), QFile::encodeName(path).constData()) != 0)
        throw BackupError(BackupError::Kind::Failed, QStringLiteral("cannot put %1 in place: %2").arg(path, errorText(errno)));
    removeTemporary.dismiss();
    flushToDisk(QFileInfo(path).absolutePath());
    return true;
}

} // namespace

LedgerBackup::KeyChange LedgerBackup::changeKey(const QByteArray &key)
{
    if (m_source.isServer())
        throw BackupError(BackupError::Kind::Failed,
                          QStringLiteral("a server's ledger is guarded by the server's own logins; the key is for data.mdb"));
    const QString ledger = ledgerPath();
    std::unique_ptr<LedgerLock> lock;
    if (QFileInfo::exists(ledger)) {
        lock = LedgerLock::tryLock(m_source.location(), LedgerLock::Mode::Exclusive);
        if (!lock)
            throw BackupError(BackupError::Kind::InUse,
                              QStringLiteral("%1 is open in another program; close it and set the key again").arg(ledger));
    }
    // The key first: from here on every file opens either with it or with the key it
    // still has, which is kept until the change has reached them all.
    LedgerKey::store(key);
    KeyChange change;
    try {
        if (QFileInfo::exists(ledger))
            change.ledger = reencrypt(ledger, key);
        for (const QString &file : QDir(folder()).entryList(QDir::Files)) {
            const std::optional<BackupFiles::Name> name = BackupFiles::parse(file);
            if (!name || name->extension != QLatin1String("mdb"))
                continue;
            try {
                if (reencrypt(QDir(folder()).filePath(file), key))
                    change.backups << file;
            } catch (const DatabaseOpenError &) {
                change.unusable << file;
            } catch (const BackupError &) {
                change.unusable << file;
            }
        }
    } catch (const DatabaseOpenError &error) {
        throw BackupError(BackupError::Kind::Failed, error.message());
    }
    if (change.unusable.isEmpty())
        LedgerKey::forgetPrevious();
    return change;
}

BackupCopyReport LedgerBackup::copyTo(const QString &target, bool all) const
{
    BackupCopyReport report;
    const QString destination = QDir(target).absolutePath();
    auto failure = [&](const QString &file, int error) {
        QString text = QStringLiteral("cannot copy %1 to %2: %3").arg(file, destination, errorText(error));
        if (!report.copied.isEmpty())
            text += QStringLiteral(" (copied before it: %1)").arg(report.copied.join(QStringLiteral(", ")));
        return BackupError(error == ENOSPC || error == EDQUOT ? BackupError::Kind::NoRoom : BackupError::Kind::Failed, text);
    };
    if (!QFileInfo(destination).isDir())
        throw BackupError(BackupError::Kind::Failed, QStringLiteral("the folder %1 is not there").arg(destination));
    auto sound = [&](const QString &path) {
        try {
            check(path);
            return true;
        } catch (const BackupError &) {
            return false;
        }
    };
    for (const BackupInfo &info : list()) {
        if (info.sales < 0) {
            report.unusable << info.fileName;
            continue;
        }
        const QString there = QDir(destination).filePath(info.fileName);
        if (QFileInfo::exists(there) && QFileInfo(there).size() == info.size && sound(there)) {
            report.alreadyThere << info.fileName;
        } else {
            const QString partial = QDir(destination).filePath(
                QStringLiteral(".%1.%2%3").arg(info.fileName).arg(qint64(::getpid())).arg(QLatin1String(kPartialSuffix)));
            QFile::remove(partial);
            if (const int error = copyFile(info.path, partial); error != 0) {
                QFile::remove(partial);
                throw failure(info.fileName, error);
            }
            if (!sound(partial)) {
                QFile::remove(partial);
                throw failure(info.fileName, EIO);
            }
            // The name is taken only by a checked copy; one that was there and did not
            // check (a copy cut short by hand) is replaced.
            if (::rename(QFile::encodeName(partial).constData(), QFile::encodeName(there).constData()) != 0) {
                const int error = errno;
                QFile::remove(partial);
                throw failure(info.fileName, error);
            }
            // A stick pulled right after the copy must not keep a name that points nowhere.
            if (const int error = DiskSync::flush(destination); error != 0)
                throw failure(info.fileName, error);
            report.copied << info.fileName;
        }
        if (!all)
            break;
    }
    return report;
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
    // Held open from here on: a backup removed meanwhile (by the keeping rule of the
    // program that is closing for this restore) is still read whole.
    QFile chosen(path);
    if (QFileInfo(path).isFile() && !chosen.open(QIODevice::ReadOnly))
        throw unusableBackup(path, chosen.errorString());
    // Checked before anything else: a backup that will not do changes nothing.
    checkEmbedded(path);

    // The programs on the ledger lock the folder they name it in; one started on the
    // link's target locks that one.
    QStringList lockedAt{QFileInfo(m_source.location()).absoluteFilePath()};
    if (ledger != lockedAt.first())
        lockedAt << ledger;
    QElapsedTimer waited;
    waited.start();
    std::vector<std::unique_ptr<LedgerLock>> locks;
    while (locks.size() < size_t(lockedAt.size())) {
        std::unique_ptr<LedgerLock> lock = LedgerLock::tryLock(lockedAt[qsizetype(locks.size())], LedgerLock::Mode::Exclusive);
        if (lock) {
            locks.push_back(std::move(lock));
            continue;
        }
        locks.clear();
        if (waited.elapsed() >= m_waitForFree)
            throw BackupError(BackupError::Kind::InUse,
                              QStringLiteral("%1 is open in another program; close it and restore again").arg(ledger));
        QThread::msleep(100);
    }

    makeFolder();
    // What is put in place is a copy that was checked after copying.
    const QString incoming = QStringLiteral("%1.%2.restoring").arg(ledger).arg(qint64(::getpid()));
    QFile::remove(incoming);
    auto removeIncoming = qScopeGuard([&] { QFile::remove(incoming); });
    {
        createPrivate(incoming);
        QFile copy(incoming);
        bool copied = chosen.isOpen() && chosen.seek(0) && copy.open(QIODevice::WriteOnly);
        while (copied && !chosen.atEnd()) {
            const QByteArray block = chosen.read(1 << 20);
            copied = chosen.error() == QFileDevice::NoError && copy.write(block) == block.size();
        }
        if (!copied || !copy.flush())
            throw BackupError(BackupError::Kind::Failed,
                              QStringLiteral("cannot copy %1 beside the ledger: %2")
                                  .arg(path, copy.error() != QFileDevice::NoError ? copy.errorString() : chosen.errorString()));
    }
    checkEmbedded(incoming);
    // A backup made before the shop's own key was set goes in place under that key.
    reencrypt(incoming, LedgerKey::current());
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
            restrictFile(kept);
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

    // Terminals cut off by a server restart hold no lock until they have made their
    // sessions again; a terminal's session is counted even before its lock is back.
    LedgerLock::waitForReclaims(connection);
    QElapsedTimer waited;
    waited.start();
    std::unique_ptr<LedgerLock> lock;
    auto takeAlone = [&] {
        lock = LedgerLock::tryLock(connection, LedgerLock::Mode::Exclusive);
        if (lock && LedgerLock::otherTerminals(connection) > 0)
            lock.reset();
        return lock != nullptr;
    };
    while (!takeAlone()) {
        if (waited.elapsed() >= m_waitForFree)
            throw BackupError(BackupError::Kind::InUse,
                              QStringLiteral("%1 is open in another program; close it on every terminal and restore again")
                                  .arg(m_source.displayName()));
        QThread::msleep(100);
    }
    makeFolder();
    const QString kept = serverBackup(true);
    // All of the backup's tables replace the ledger's in one transaction, or none do.
    const ToolRun restore = runTool(QStringLiteral("pg_restore"),
                                    {QStringLiteral("--clean"), QStringLiteral("--if-exists"),
                                     QStringLiteral("--single-transaction"), QStringLiteral("--exit-on-error"),
                                     QStringLiteral("--no-owner"), QStringLiteral("--no-privileges"), QStringLiteral("--no-comments"),
                                     QStringLiteral("--dbname=") + m_source.location(), path});
    if (restore.status != 0)
        throw BackupError(BackupError::Kind::Failed, QStringLiteral("the restore of %1 failed, the ledger is as it was: %2")
                                                         .arg(m_source.displayName(), restore.errors));
    // A backup made before the recycle bin, the history, roles or sale origins existed:
    // theirs would speak of the replaced ledger's sales and users. They are made again,
    // empty, when the ledger opens.
    for (const QString &added : Schema::addedTables()) {
        if (!contents.tables.contains(added))
            connection.execute(QStringLiteral("drop table if exists %1").arg(added));
    }
    return kept;
}

namespace NewLedgerFile {

QString temporaryFor(const QString &finalPath)
{
    const QFileInfo target(finalPath);
    const QDir folder = target.absoluteDir();
    const QString prefix = QLatin1Char('.') + target.fileName() + QLatin1Char('.');
    // Those of programs that were killed: their process is gone.
    for (const QString &file : folder.entryList({prefix + QLatin1Char('*') + QLatin1String(kPartialSuffix)},
                                                QDir::Files | QDir::Hidden)) {
        bool number = false;
        const qint64 pid = file.mid(prefix.size()).chopped(int(qstrlen(kPartialSuffix))).toLongLong(&number);
        if (number && pid > 0 && pid != ::getpid() && !(::kill(pid_t(pid), 0) == 0 || errno == EPERM)) {
            QFile::remove(folder.filePath(file));
            QFile::remove(folder.filePath(file) + QStringLiteral("-journal"));
        }
    }
    return folder.filePath(prefix + QString::number(::getpid()) + QLatin1String(kPartialSuffix));
}

void publish(const QString &temporary, const QString &finalPath)
{
    auto removeTemporary = qScopeGuard([&] { QFile::remove(temporary); });
    try {
        restrictFile(temporary);
        flushToDisk(temporary);
    } catch (const BackupError &error) {
        throw AppError(error.message());
    }
    // link() refuses an existing name, where rename() would replace a ledger that was
    // made meanwhile.
    if (::link(QFile::encodeName(temporary).constData(), QFile::encodeName(finalPath).constData()) != 0) {
        if (errno == EEXIST)
            throw AppError(QStringLiteral("%1 exists already; it is left as it is").arg(finalPath));
        throw AppError(QStringLiteral("cannot name %1: %2").arg(finalPath, errorText(errno)));
    }
    removeTemporary.dismiss();
    QFile::remove(temporary);
    try {
        flushToDisk(QFileInfo(finalPath).absolutePath());
    } catch (const BackupError &) {
        // The ledger is complete under its name; only the folder's flush failed.
    }
}

} // namespace NewLedgerFile
