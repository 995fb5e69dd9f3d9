#include "batchinsert.h"

#include "apperror.h"
#include "connection.h"
#include "dialect.h"
#include "sqlnames.h"

#include <algorithm>

BatchInsert::BatchInsert(Connection &connection, const QString &table, const QStringList &columns, int rowsPerStatement)
    : m_connection(connection), m_table(table), m_columns(columns),
      m_rowsPerStatement(std::max(1, std::min<int>(rowsPerStatement, connection.dialect().mostBoundValues()
                                                                          / std::max<int>(1, int(columns.size())))))
{
}

void BatchInsert::add(const QVariantList &row)
{
    if (row.size() != m_columns.size())
        throw DatabaseError(QStringLiteral("%1 values for %2 columns").arg(row.size()).arg(m_columns.size()));
    m_pending += row;
    if (m_pending.size() >= m_rowsPerStatement * m_columns.size())
        finish();
}

void BatchInsert::finish()
{
    if (m_pending.isEmpty())
        return;
    write(int(m_pending.size() / m_columns.size()));
    m_pending.clear();
}

void BatchInsert::write(int rows)
{
    // Full batches share one prepared statement.
    if (rows == m_rowsPerStatement && m_fullBatch) {
        m_fullBatch->bind(m_pending);
        while (m_fullBatch->step()) {
        }
        m_fullBatch->reset();
        return;
    }
    QStringList marks(m_columns.size(), QStringLiteral("?"));
    const QString oneRow = QLatin1Char('(') + marks.join(QLatin1Char(',')) + QLatin1Char(')');
    QStringList allRows(rows, oneRow);
    Statement statement = m_connection.prepare(QStringLiteral("insert into %1 (%2) values %3")
                                                   .arg(m_table, quotedNames(m_columns), allRows.join(QLatin1Char(','))));
    statement.bind(m_pending);
    while (statement.step()) {
    }
    if (rows == m_rowsPerStatement) {
        statement.reset();
        m_fullBatch.emplace(std::move(statement));
    }
}
