#include "ledgerchanges.h"

#include "apperror.h"
#include "connection.h"
#include "dialect.h"

#include <QStringList>

namespace {

// Channel of a ledger's notifications: one per schema, so ledgers that share a server
// database in schemas of their own do not hear each other.
constexpr const char *kChannelPrefix = "quillmora_sales:";
// Looks between two attempts to listen again after the listening connection was lost.
constexpr int kLooksBetweenRetries = 10;

} // namespace

LedgerChangeCounts &LedgerChangeCounts::operator+=(const LedgerChangeCounts &other)
{
    added += other.added;
    changed += other.changed;
    removed += other.removed;
    return *this;
}

LedgerChanges::LedgerChanges(Connection &connection, const DataSource &source, QObject *parent)
    : QObject(parent), m_connection(connection), m_source(source)
{
    connect(&m_timer, &QTimer::timeout, this, &LedgerChanges::look);
}

LedgerChanges::~LedgerChanges() = default;

void LedgerChanges::start(int interval)
{
    markRead();
    m_timer.start(interval);
}

QString LedgerChanges::noteText(const LedgerChangeCounts &counts)
{
    if (!counts.any())
        return {};
    QStringList parts;
    if (counts.added != 0)
        parts << QStringLiteral("新增 %1 笔").arg(counts.added);
    if (counts.changed != 0)
        parts << QStringLiteral("修改 %1 笔").arg(counts.changed);
    if (counts.removed != 0)
        parts << QStringLiteral("删除 %1 笔").arg(counts.removed);
    return QStringLiteral("其他终端%1，点此刷新").arg(parts.join(QStringLiteral("，")));
}

void LedgerChanges::announce(Connection &connection, const LedgerChangeCounts &counts)
{
    if (!connection.dialect().announcesCommits() || !counts.any())
        return;
    connection.dialect().announce(connection, QString::fromLatin1(kChannelPrefix),
                                  QStringLiteral("%1 %2 %3").arg(counts.added).arg(counts.changed).arg(counts.removed));
}

void LedgerChanges::markRead()
{
    const bool hadCounts = m_counts.any();
    m_counts = {};
    try {
        if (m_connection.dialect().announcesCommits()) {
            // What arrived so far was sent before the read.
            if (listening())
                m_listener->takeNotifications();
        } else {
            m_version = m_connection.dialect().othersCommits(m_connection).value_or(-1);
            m_keys = largestKeys();
        }
    } catch (const DatabaseError &) {
        // Looked at again at the next look.
        m_listener.reset();
        m_version = -1;
    }
    if (hadCounts)
        emit changed(m_counts);
}

void LedgerChanges::look()
{
    // A look inside a command's transaction would see that command's own rows.
    if (m_connection.inTransaction())
        return;
    const LedgerChangeCounts before = m_counts;
    try {
        if (m_connection.dialect().announcesCommits())
            lookOnServer();
        else
            lookInFile();
    } catch (const DatabaseError &) {
        // The store is busy or gone for now; the next look tries again.
    }
    if (!(m_counts == before))
        emit changed(m_counts);
}

LedgerChanges::Keys LedgerChanges::largestKeys() const
{
    auto largest = [&](const char *table) {
        return m_connection.scalar(QStringLiteral("select coalesce(max(rowid), 0) from %1").arg(QLatin1String(table)))
            .toLongLong();
    };
    return {largest("data"), largest("sale_changes"), largest("deleted_sales")};
}

LedgerChangeCounts LedgerChanges::countSince(const Keys &keys) const
{
    auto rowsAfter = [&](const char *table, qint64 key) {
        return m_connection.scalar(QStringLiteral("select count(*) from %1 where rowid>?").arg(QLatin1String(table)), {key})
            .toInt();
    };
    // Each modify keeps the sale's old values in the history, each delete the sale in
    // the recycle bin: their new rows are the changes and removals.
    return {rowsAfter("data", keys.sales), rowsAfter("sale_changes", keys.changes),
            rowsAfter("deleted_sales", keys.bin)};
}

void LedgerChanges::lookInFile()
{
    const qint64 version = m_connection.dialect().othersCommits(m_connection).value_or(-1);
    if (m_version < 0) {
        m_version = version;
        m_keys = largestKeys();
        return;
    }
    if (version != m_version)
        m_counts += countSince(m_keys);
    // Rows gained while the counter stood still are this terminal's own.
    m_version = version;
    m_keys = largestKeys();
}

bool LedgerChanges::listening()
{
    if (m_listener)
        return true;
    if (m_ticksUntilRetry > 0) {
        --m_ticksUntilRetry;
        return false;
    }
    m_ticksUntilRetry = kLooksBetweenRetries;
    auto listener = std::make_unique<Connection>(m_source);
    listener->listen(listener->dialect().ledgerChannel(*listener, QString::fromLatin1(kChannelPrefix)));
    m_listener = std::move(listener);
    m_ticksUntilRetry = 0;
    return true;
}

void LedgerChanges::lookOnServer()
{
    if (!listening())
        return;
    std::vector<std::pair<int, QString>> received;
    try {
        received = m_listener->takeNotifications();
    } catch (const DatabaseError &) {
        m_listener.reset();
        throw;
    }
    bool asked = false;
    for (const auto &[session, payload] : received) {
        if (session == m_ownSession)
            continue;
        // This terminal's session may be a new one since it last asked (a lost
        // connection is replaced): ask once before counting a stranger's notification.
        if (!asked) {
            asked = true;
            try {
                m_ownSession = m_connection.dialect().sessionId(m_connection);
            } catch (const DatabaseError &) {
            }
            if (session == m_ownSession)
                continue;
        }
        const QStringList numbers = payload.split(QLatin1Char(' '));
        if (numbers.size() == 3)
            m_counts += {numbers[0].toInt(), numbers[1].toInt(), numbers[2].toInt()};
    }
}
