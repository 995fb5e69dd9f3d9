#include "serverpages.h"

#include "connection.h"
#include "sqlnames.h"

#include <algorithm>
#include <span>

ServerPages::ServerPages(Connection &connection, QString table, QStringList sumFields)
    : m_connection(connection), m_table(std::move(table)), m_sumFields(std::move(sumFields))
{
    // The sums wait until they are asked for: opening the ledger (a login shows
    // it) never depends on them.
    Statement statement =
        m_connection.prepare(QStringLiteral("select (select max(rowid) from %1), count(*) from %1").arg(m_table));
    statement.bind({});
    statement.step();
    // The largest key from the key index, in the same statement so it matches the count.
    m_bound = statement.int64Value(0);
    m_serverRows = int(statement.int64Value(1));
}

std::vector<TenThousandths::Units> ServerPages::sums() const
{
    if (m_stale) {
        const KeyedRows rows = openedRows();
        Statement statement = m_connection.prepare(
            QStringLiteral("select count(*)%1 from %2 where %3").arg(sumColumns(), m_table, rows.condition));
        statement.bind(rows.parameters);
        statement.step();
        readSums(statement, 1);
        m_stale = false;
    }
    return m_sums;
}

void ServerPages::removed(int row, const std::vector<TenThousandths::Units> *amounts)
{
    if (row < m_serverRows)
        --m_serverRows;
    if (amounts) {
        adjusted(*amounts, -1);
        return;
    }
    m_stale = true;
}

void ServerPages::adjusted(const std::vector<TenThousandths::Units> &delta, int sign)
{
    if (m_stale)
        return;
    for (size_t i = 0; i < m_sums.size() && i < delta.size(); ++i) {
        if (sign < 0)
            m_sums[i] -= delta[i];
        else
            m_sums[i] += delta[i];
    }
}

void ServerPages::appended(qint64 key, const std::vector<TenThousandths::Units> *amounts)
{
    m_appended.push_back(key);
    if (amounts)
        adjusted(*amounts);
    else
        m_stale = true;
}

void ServerPages::readKeys(std::vector<qint64> &keys, int from, int to) const
{
    // Keys this terminal appended lie above the bound, with other terminals' rows
    // between: they are no anchor.
    readKeyStretch(m_connection, openedRows(), std::span(keys).first(size_t(m_serverRows)), from, to);
}

void ServerPages::readKeysAround(std::vector<qint64> &keys, int row) const
{
    constexpr int kHalfPage = 256;
    int from = std::max(0, row - kHalfPage);
    int to = std::min(m_serverRows, row + kHalfPage);
    while (from < to && keys[from] != kUnreadKey)
        ++from;
    while (to > from && keys[to - 1] != kUnreadKey)
        --to;
    if (from < to)
        readKeys(keys, from, to);
}

KeyedRows ServerPages::openedRows() const
{
    KeyedRows rows{m_table, QStringLiteral("rowid<=?"), {m_bound}};
    for (qint64 key : m_appended)
        rows.parameters << key;
    if (!m_appended.empty())
        rows.condition += QStringLiteral(" or rowid in (%1)").arg(placeholders(int(m_appended.size())));
    return rows;
}

QString ServerPages::sumColumns() const
{
    QString columns;
    for (const QString &field : m_sumFields)
        columns += QLatin1Char(',') + TenThousandths::serverSumExpression(quotedName(field));
    return columns;
}

void ServerPages::readSums(const Statement &statement, int firstColumn) const
{
    m_sums.assign(m_sumFields.size(), 0);
    for (int i = 0; i < int(m_sumFields.size()); ++i)
        m_sums[i] = TenThousandths::unitsOfText(statement.value(firstColumn + i).toString());
}
