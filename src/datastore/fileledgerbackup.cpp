#include "fileledgerbackup.h"

#include "backupfiles.h"
#include "backupsteps.h"
#include "connection.h"
#include "dialect.h"
#include "ledgerkey.h"
#include "ledgerlock.h"
#include "openerror.h"
#include "schema.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QScopeGuard>
#include <cerrno>
#include <memory>
#include <unistd.h>

using namespace BackupSteps;

namespace {

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

FileLedgerBackup::FileLedgerBackup(const DataSource &source, const QString &dataFolder)
    : LedgerBackup(source, dataFolder)
{
}

QString FileLedgerBackup::ledgerPath() const
{
    // A data.mdb that is a link to the ledger elsewhere (on another disk, say): the
    // ledger is the file it points to, and that is what a restore replaces.
    const QFileInfo named(source().location());
    if (named.isSymLink() && named.exists())
        return named.canonicalFilePath();
    return named.absoluteFilePath();
}

void FileLedgerBackup::protectLedger() const
{
    tightenMode(ledgerPath(), kFileMode);
    tightenMode(ledgerPath() + QStringLiteral("-journal"), kFileMode);
}

QStringList LedgerBackup::foreignObjects(Connection &connection)
{
    const QStringList own = Schema::tables() + Schema::addedTables();
    auto isOwn = [&](const QString &table) { return own.contains(table, Qt::CaseInsensitive); };
    QStringList foreign;
    for (const Dialect::SchemaObject &object : connection.dialect().schemaObjects(connection)) {
        if (object.type == QLatin1String("table") && isOwn(object.name))
            continue;
        if (object.type == QLatin1String("index") && isOwn(object.table))
            continue;
        foreign << object.type + QLatin1Char(' ') + object.name;
    }
    return foreign;
}

QString FileLedgerBackup::makeBackup(Connection *open, bool beforeRestore)
{
    const BackupFiles::Name name =
        nameForNow(folder(), QStringLiteral("mdb"),
                   beforeRestore ? BackupFiles::Kind::BeforeRestore : BackupFiles::Kind::Regular);
    const QString temporary = temporaryName(folder(), name);
    return backupOrFailure(ledgerPath(), temporary, [&](const auto &failed) {
        createPrivate(temporary);
        std::unique_ptr<Connection> own;
        if (!open) {
            own = std::make_unique<Connection>(source());
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

int FileLedgerBackup::check(const QString &path) const
{
    return int(checkEmbedded(path).data);
}

int FileLedgerBackup::salesIn(const QString &path)
{
    // The count only: the full check is the restore's.
    return int(openCopy(path)->scalar(QStringLiteral("select count(*) from data")).toLongLong());
}

LedgerBackup::KeyChange FileLedgerBackup::changeKey(const QByteArray &key)
{
    const QString ledger = ledgerPath();
    std::unique_ptr<LedgerLock> lock;
    if (QFileInfo::exists(ledger)) {
        lock = LedgerLock::tryLock(source().location(), LedgerLock::Mode::Exclusive);
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

QString FileLedgerBackup::restoreFrom(const QString &path)
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
    QStringList lockedAt{QFileInfo(source().location()).absoluteFilePath()};
    if (ledger != lockedAt.first())
        lockedAt << ledger;
    std::vector<std::unique_ptr<LedgerLock>> locks;
    waitUntilAlone(
        [&] {
            for (const QString &at : lockedAt) {
                std::unique_ptr<LedgerLock> lock = LedgerLock::tryLock(at, LedgerLock::Mode::Exclusive);
                if (!lock) {
                    locks.clear();
                    return false;
                }
                locks.push_back(std::move(lock));
            }
            return true;
        },
        QStringLiteral("%1 is open in another program; close it and restore again").arg(ledger));

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
            kept = makeBackup(nullptr, true);
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
