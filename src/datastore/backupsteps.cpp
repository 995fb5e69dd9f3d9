#include "backupsteps.h"

#include "clock.h"
#include "connection.h"
#include "disksync.h"

#include <QDir>
#include <QFileInfo>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace BackupSteps {

QString errorText(int error)
{
    return QString::fromLocal8Bit(strerror(error));
}

void flushToDisk(const QString &path)
{
    if (const int error = DiskSync::flush(path); error != 0)
        throw BackupError(BackupError::Kind::Failed, QStringLiteral("cannot write %1 to the disk: %2").arg(path, errorText(error)));
}

void restrictFile(const QString &path)
{
    if (::chmod(QFile::encodeName(path).constData(), kFileMode) != 0)
        throw BackupError(BackupError::Kind::Failed, QStringLiteral("cannot protect %1: %2").arg(path, errorText(errno)));
}

void tightenMode(const QString &path, mode_t mode)
{
    struct stat status;
    const QByteArray name = QFile::encodeName(path);
    if (::stat(name.constData(), &status) == 0 && (status.st_mode & 07777 & ~mode) != 0 && status.st_uid == ::geteuid())
        ::chmod(name.constData(), status.st_mode & mode);
}

void createPrivate(const QString &path)
{
    const int descriptor =
        ::open(QFile::encodeName(path).constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, kFileMode);
    if (descriptor < 0)
        throw BackupError(BackupError::Kind::Failed, QStringLiteral("cannot make %1: %2").arg(path, errorText(errno)));
    ::close(descriptor);
}

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

QString temporaryName(const QString &folder, const BackupFiles::Name &name)
{
    return QDir(folder).filePath(QStringLiteral(".%1.%2%3")
                                     .arg(BackupFiles::fileName(name))
                                     .arg(qint64(::getpid()))
                                     .arg(QLatin1String(kPartialSuffix)));
}

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

} // namespace BackupSteps
