#include "ledgerbackup.h"

#include "backupfiles.h"
#include "backupsteps.h"
#include "clock.h"
#include "disksync.h"
#include "dumpledgerbackup.h"
#include "fileledgerbackup.h"
#include "openerror.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QScopeGuard>
#include <QThread>
#include <algorithm>
#include <cerrno>
#include <csignal>
#include <unistd.h>

using namespace BackupSteps;

std::unique_ptr<LedgerBackup> LedgerBackup::forSource(const DataSource &source, const QString &dataFolder)
{
    if (source.isServer())
        return std::make_unique<DumpLedgerBackup>(source, dataFolder);
    return std::make_unique<FileLedgerBackup>(source, dataFolder);
}

LedgerBackup::LedgerBackup(const DataSource &source, const QString &dataFolder)
    : m_source(source), m_dataFolder(QDir(dataFolder).absolutePath())
{
}

LedgerBackup::~LedgerBackup() = default;

QString LedgerBackup::folder() const
{
    return QDir(m_dataFolder).filePath(QStringLiteral("backups"));
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
    protectLedger();
    if (!QFileInfo(folder()).isDir())
        return;
    if (folder() == QDir(m_dataFolder).filePath(QStringLiteral("backups")))
        tightenMode(folder(), kFolderMode);
    for (const QString &file : QDir(folder()).entryList(QDir::Files | QDir::Hidden)) {
        if (BackupFiles::parse(file) || file.endsWith(QLatin1String(kPartialSuffix)) || file.endsWith(QLatin1String("-journal")))
            tightenMode(QDir(folder()).filePath(file), kFileMode);
    }
}

QString LedgerBackup::backup(Connection *open)
{
    makeFolder();
    protectFiles();
    removeLeftovers();
    const QString made = makeBackup(open, false);
    applyKeepingRule();
    return made;
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
        // Each file is counted as what it is, whichever engine the ledger has now.
        try {
            info.sales = name->extension == QLatin1String("dump") ? DumpLedgerBackup::salesIn(info.path)
                                                                  : FileLedgerBackup::salesIn(info.path);
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
    return restoreFrom(path);
}

void LedgerBackup::waitUntilAlone(const std::function<bool()> &takeAlone, const QString &refusal) const
{
    QElapsedTimer waited;
    waited.start();
    while (!takeAlone()) {
        if (waited.elapsed() >= m_waitForFree)
            throw BackupError(BackupError::Kind::InUse, refusal);
        QThread::msleep(100);
    }
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
