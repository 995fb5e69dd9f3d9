#include "ledgerlock.h"

#include "apperror.h"
#include "connection.h"
#include "dialect.h"

#include <QFile>
#include <QFileInfo>
#include <QThread>
#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace {

// The name a terminal's sessions carry, so that others can count them.
const QString kTerminalSession = QStringLiteral("quillmora terminal");

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
            m_connection->scalar(QStringLiteral("select ")
                                 + m_connection->dialect().sessionLockCall(m_mode == Mode::Shared, false));
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
    const Dialect &dialect = connection.dialect();
    if (!dialect.locksLedgerInSession())
        return tryLock(connection.path(), mode);
    if (mode == Mode::Shared)
        connection.setSessionName(kTerminalSession);
    const QString call = dialect.sessionLockCall(mode == Mode::Shared, true);
    const bool taken = connection.scalar(QStringLiteral("select case when %1 then 1 else 0 end").arg(call)).toInt() == 1;
    if (!taken)
        return nullptr;
    // The lock goes with the session: after a lost connection the next session takes it
    // again before anything else, and first makes sure no restore replaced the ledger
    // meanwhile (a restore makes its tables anew).
    connection.holdAcrossReconnects({QStringLiteral("select ") + call,
                                     QStringLiteral("数据正在恢复，此操作没有执行。请在恢复完成后再试。"),
                                     dialect.tableStandsQuery(QStringLiteral("data")),
                                     QStringLiteral("连接中断期间数据已被恢复，请关闭程序后重新启动。")});
    std::unique_ptr<LedgerLock> lock(new LedgerLock);
    lock->m_connection = &connection;
    lock->m_mode = mode;
    return lock;
}

int LedgerLock::otherTerminals(Connection &connection)
{
    return connection.dialect().otherSessionsNamed(connection, kTerminalSession);
}

void LedgerLock::waitForReclaims(Connection &connection)
{
    const std::optional<double> up = connection.dialect().secondsSinceStart(connection);
    if (up && *up >= 0 && *up < kReclaimSeconds)
        QThread::msleep((unsigned long)((kReclaimSeconds - *up) * 1000) + 1);
}
