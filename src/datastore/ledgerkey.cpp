#include "ledgerkey.h"

#include "apperror.h"
#include "connection.h"
#include "disksync.h"
#include "openerror.h"
#include "schema.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace LedgerKey {

namespace {

QString previousPath()
{
    return path() + QStringLiteral(".previous");
}

QList<QByteArray> readKeys(const QString &file)
{
    QFile input(file);
    if (!input.open(QIODevice::ReadOnly))
        return {};
    QList<QByteArray> keys;
    for (const QByteArray &line : input.readAll().split('\n')) {
        if (!line.trimmed().isEmpty())
            keys << line.trimmed();
    }
    return keys;
}

QByteArray readKey(const QString &file)
{
    return readKeys(file).value(0);
}

void writeKeys(const QString &file, const QList<QByteArray> &keys)
{
    const QString folder = QFileInfo(file).absolutePath();
    if (!QDir().mkpath(folder) || ::chmod(QFile::encodeName(folder).constData(), 0700) != 0)
        throw AppError(QStringLiteral("cannot make the folder %1").arg(folder));
    const QString temporary = file + QStringLiteral(".%1.partial").arg(qint64(::getpid()));
    QFile::remove(temporary);
    const int descriptor = ::open(QFile::encodeName(temporary).constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (descriptor < 0)
        throw AppError(QStringLiteral("cannot write %1: %2").arg(file, QString::fromLocal8Bit(strerror(errno))));
    QByteArray line;
    for (const QByteArray &key : keys)
        line += key + '\n';
    const bool written = ::write(descriptor, line.constData(), size_t(line.size())) == line.size() && ::fsync(descriptor) == 0;
    ::close(descriptor);
    if (!written || ::rename(QFile::encodeName(temporary).constData(), QFile::encodeName(file).constData()) != 0) {
        QFile::remove(temporary);
        throw AppError(QStringLiteral("cannot write %1").arg(file));
    }
    // Files are re-encrypted only after this: a key whose name a power cut could still
    // take back would leave them readable by nobody.
    if (const int error = DiskSync::flush(folder); error != 0)
        throw AppError(QStringLiteral("cannot write %1 to the disk: %2").arg(file, QString::fromLocal8Bit(strerror(error))));
}

} // namespace

QString path()
{
    QString config = qEnvironmentVariable("XDG_CONFIG_HOME");
    if (config.isEmpty() || QDir::isRelativePath(config))
        config = QDir::homePath() + QStringLiteral("/.config");
    return config + QStringLiteral("/quillmora/ledger-key");
}

QByteArray shopKey()
{
    return readKey(path());
}

QByteArray current()
{
    const QByteArray own = shopKey();
    return own.isEmpty() ? Schema::databaseKey() : own;
}

QList<QByteArray> candidates()
{
    QList<QByteArray> keys;
    for (const QByteArray &key : QList<QByteArray>{shopKey()} + readKeys(previousPath()) + QList<QByteArray>{Schema::databaseKey()}) {
        if (!key.isEmpty() && !keys.contains(key))
            keys << key;
    }
    return keys;
}

void store(const QByteArray &key)
{
    // Every key replaced since the last change that finished: a change interrupted
    // twice may have left files under either.
    const QByteArray replaced = shopKey();
    QList<QByteArray> previous = readKeys(previousPath());
    if (!replaced.isEmpty() && replaced != key && !previous.contains(replaced)) {
        previous << replaced;
        writeKeys(previousPath(), previous);
    }
    writeKeys(path(), {key});
}

void forgetPrevious()
{
    QFile::remove(previousPath());
}

bool adoptIfItOpens(const QString &path, const QByteArray &key)
{
    if (key.isEmpty())
        return false;
    try {
        Connection connection(path, key);
        if (connection.scalar(QStringLiteral("pragma integrity_check")).toString() != QLatin1String("ok"))
            return false;
    } catch (const DatabaseError &) {
        return false;
    }
    store(key);
    return true;
}

} // namespace LedgerKey
