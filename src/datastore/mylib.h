#pragma once

#include <QString>
#include <QVariantList>

class QComboBox;
class QLineEdit;
class Dataset;

// Small helpers every window uses to check input and run statements.
namespace mylib {

// True when the box holds more than blanks and control characters; otherwise shows
// the message as a warning, puts the focus on the box and returns false.
bool checkRequired(QLineEdit *edit, const QString &message);
bool checkRequired(QComboBox *combo, const QString &message);

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
// Fills the combo box with the distinct values of a column; selects nothing.
void fillComboBox(Dataset &query, const QString &column, const QString &table, QComboBox *combo);

} // namespace mylib
