#pragma once

#include <QString>
#include <QStringList>
#include <QVariantList>

class Dataset;

// Small helpers to run statements through a dataset (the windows' input checks are in
// windowhelpers.h).
namespace mylib {

// Closes the query, sets the statement and opens it on its first row.
void openSql(Dataset &query, const QString &sql, const QVariantList &parameters = {});
// Sets the statement and opens it on its first row, as openSql does, except that a
// statement that fails to open (a server that cannot be reached) leaves the query as
// it was: its statement, rows, sort and current row.
void reopenSql(Dataset &query, const QString &sql, const QVariantList &parameters = {});
// The same, reading only what changed when the dataset holds that statement already
// (see Dataset::refresh).
void refreshSql(Dataset &query, const QString &sql, const QVariantList &parameters = {});
// Closes the query, sets the statement and runs it; the query stays closed.
void execSql(Dataset &query, const QString &sql, const QVariantList &parameters = {});
// Opens the distinct values of a column in ascending order.
void openDistinctValues(Dataset &query, const QString &column, const QString &table);
// The distinct values of a column in ascending order, read through the query, which
// is left open on them.
QStringList distinctValues(Dataset &query, const QString &column, const QString &table);

} // namespace mylib
