#pragma once

#include "connection.h"

#include <QString>
#include <QStringList>
#include <optional>
#include <vector>

// Follows a table read whole, in key order, from where it stood when it was read: it
// counts in the reader's own writes, and later tells whether the only changes since
// are rows this connection appended, and reads just those. The reader can then be
// brought up to date without reading every row again.
class AppendedRows
{
public:
    // Rows appended since, in key order, with the values of the prefetched fields
    // (one column per field).
    struct Rows
    {
        std::vector<qint64> keys;
        std::vector<std::vector<double>> values;
    };

    AppendedRows(Connection &connection, QString table, QStringList prefetchFields)
        : m_connection(connection), m_table(std::move(table)), m_prefetchFields(std::move(prefetchFields))
    {
    }

    // Notes where the table stands; called before the rows are read, so that a change
    // that comes between is seen as one after the read. Where the engine cannot tell
    // (a server), nothing is followed.
    void markRead() { m_marks = m_connection.changeMarks(m_table); }
    bool following() const { return m_marks.has_value(); }

    // The largest key held; rows appended since have larger ones.
    qint64 largestKey() const { return m_largestKey; }
    void setLargestKey(qint64 key) { m_largestKey = key; }

    // The reader's own writes, counted in.
    void rewrote()
    {
        if (m_marks)
            ++m_marks->rewritten;
    }
    void inserted(qint64 key)
    {
        if (m_marks)
            ++m_marks->inserted;
        m_largestKey = std::max(m_largestKey, key);
    }

    // The rows this connection appended since the last read (none, when nothing
    // changed), counted as read; nothing when anything else changed the table or they
    // cannot all be found. Only following() tables can tell.
    std::optional<Rows> readSince();

private:
    Connection &m_connection;
    QString m_table;
    QStringList m_prefetchFields;
    std::optional<ChangeMarks> m_marks;
    qint64 m_largestKey = 0;
};
