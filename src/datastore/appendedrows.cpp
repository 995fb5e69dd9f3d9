#include "appendedrows.h"

#include "sqlnames.h"

std::optional<AppendedRows::Rows> AppendedRows::readSince()
{
    if (!m_marks)
        return std::nullopt;
    const std::optional<ChangeMarks> now = m_connection.changeMarks(m_table);
    if (!now || now->inserted < m_marks->inserted)
        return std::nullopt;
    // Nothing but inserts of this connection's own may have come between.
    ChangeMarks expected = *m_marks;
    expected.inserted = now->inserted;
    if (!(*now == expected))
        return std::nullopt;
    const qint64 appended = now->inserted - m_marks->inserted;
    Rows rows;
    rows.values.resize(size_t(m_prefetchFields.size()));
    if (appended == 0)
        return rows;
    // Rows this connection inserted since take keys above every key read, unless
    // one was given a key that was freed meanwhile: then they are not all found.
    QString columns = QStringLiteral("rowid");
    for (const QString &field : m_prefetchFields)
        columns += QLatin1Char(',') + quotedName(field);
    Statement statement =
        m_connection.prepare(QStringLiteral("select %1 from %2 where rowid>? order by rowid").arg(columns, m_table));
    statement.bind({m_largestKey});
    while (statement.step()) {
        rows.keys.push_back(statement.int64Value(0));
        for (size_t i = 0; i < rows.values.size(); ++i)
            rows.values[i].push_back(statement.doubleValue(int(i) + 1));
        if (qint64(rows.keys.size()) > appended)
            return std::nullopt;
    }
    if (qint64(rows.keys.size()) != appended)
        return std::nullopt;
    m_largestKey = rows.keys.back();
    m_marks = now;
    return rows;
}
