#include "ledgerlock.h"

#include "apperror.h"
#include "connection.h"

#include <QFile>
#include <QFileInfo>
#include <QThread>
#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace {

// The first key of the server's two-part advisory lock names this program's locks.
constexpr int kLockClass = 0x51554d4c;

// How the server lists a terminal's sessions (followed by the ledger's schema).
const QString kTerminalSession = QStringLiteral("quillmora terminal");

QString serverFunction(LedgerLock::Mode mode, bool take)
{
    const QString shared = mode == LedgerLock::Mode::Shared ? QStringLiteral("_shared") : QString();
    return (take ? QStringLiteral("pg_try_advisory_lock") : QStringLiteral("pg_advisory_unlock")) + shared;
}

} // namespace

LedgerLock::~LedgerLock()
{
    if (m_descriptor >= 0) {
        ::close(m_descriptor);
    } else if (m_connection) {
        m_connection->releaseHold();
        try {
            if (m_mode == Mode::Shared)
                m_connection->setSessionName(QString());
            m_connection->scalar(QStringLiteral("select %1(%2, hashtext(current_schema()))")
                                     .arg(serverFunction(m_mode, false))
                                     .arg(kLockClass));
        } catch (const DatabaseError &) {
            // A lost connection has dropped the lock with its session.
        }
    }
}

std::unique_ptr<LedgerLock> LedgerLock::tryLock(const QString &ledgerPath, Mode mode)
{
    const QByteArray folder = QFile::encodeName(QFileInfo(ledgerPath).absolutePath());
    const int descriptor = ::open(folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (descriptor < 0)
        throw AppError(QStringLiteral("cannot open the folder %1: %2").arg(QString::fromLocal8Bit(folder),
                                                                           QString::fromLocal8Bit(strerror(errno))));
    int rc;
    do {
        rc = ::flock(descriptor, (mode == Mode::Shared ? LOCK_SH : LOCK_EX) | LOCK_NB);
    } while (rc != 0 && errno == EINTR);
    if (rc != 0) {
        const int error = errno;
        ::close(descriptor);
        if (error == EWOULDBLOCK)
            return nullptr;
        throw AppError(QStringLiteral("cannot lock the folder %1: %2").arg(QString::fromLocal8Bit(folder),
                                                                           QString::fromLocal8Bit(strerror(error))));
    }
    std::unique_ptr<LedgerLock> lock(new LedgerLock);
    lock->m_descriptor = descriptor;
    lock->m_mode = mode;
    return lock;
}

std::unique_ptr<LedgerLock> LedgerLock::tryLock(Connection &connection, Mode mode)
{
    if (connection.engine() != Connection::Engine::Server)
        return tryLock(connection.path(), mode);
    if (mode == Mode::Shared)
        connection.setSessionName(kTerminalSession);
    const QString call =
        QStringLiteral("%1(%2, hashtext(current_schema()))").arg(serverFunction(mode, true)).arg(kLockClass);
    const bool taken = connection.scalar(QStringLiteral("select case when %1 then 1 else 0 end").arg(call)).toInt() == 1;
    if (!taken)
        return nullptr;
    // The lock goes with the session: after a lost connection the next session takes it
    // again before anything else, and first makes sure no restore replaced the ledger
    // meanwhile (a restore makes its tables anew).
    connection.holdAcrossReconnects({QStringLiteral("select ") + call,
                                     QStringLiteral("数据正在恢复，此操作没有执行。请在恢复完成后再试。"),
                                     QStringLiteral("select to_regclass('data')::oid"),
                                     QStringLiteral("连接中断期间数据已被恢复，请关闭程序后重新启动。")});
    std::unique_ptr<LedgerLock> lock(new LedgerLock);
    lock->m_connection = &connection;
    lock->m_mode = mode;
    return lock;
}

int LedgerLock::otherTerminals(Connection &connection)
{
    if (connection.engine() != Connection::Engine::Server)
        return 0;
    return connection
        .scalar(QStringLiteral("select count(*) from pg_stat_activity where datname = current_database() "
                               "and pid <> pg_backend_pid() "
                               "and application_name = left(?::text || ' ' || coalesce(current_schema(), ''), 63)"),
                {kTerminalSession})
        .toInt();
}

void LedgerLock::waitForReclaims(Connection &connection)
{
    if (connection.engine() != Connection::Engine::Server)
        return;
    const double up =
        connection.scalar(QStringLiteral("select extract(epoch from now() - pg_postmaster_start_time())::float8"))
            .toDouble();
    if (up >= 0 && up < kReclaimSeconds)
        QThread::msleep((unsigned long)((kReclaimSeconds - up) * 1000) + 1);
}
