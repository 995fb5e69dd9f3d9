#pragma once

#include "connection.h"

#include <QStringList>
#include <QVariantList>
#include <optional>

// Inserts many rows with statements of many rows each, so a server is asked once per
// batch rather than once per row. Rows are written in the order they are added.
class BatchInsert
{
public:
    BatchInsert(Connection &connection, const QString &table, const QStringList &columns, int rowsPerStatement = 1000);

    // Raises DatabaseError as the statement does.
    void add(const QVariantList &row);
    // Writes the rows still pending; call it before committing.
    void finish();

private:
    void write(int rows);

    Connection &m_connection;
    QString m_table;
    QStringList m_columns;
    int m_rowsPerStatement;
    QVariantList m_pending;
    std::optional<Statement> m_fullBatch;
};
