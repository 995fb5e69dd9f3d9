#pragma once

#include <QString>
#include <QStringList>
#include <QVector>
#include <array>
#include <functional>

class Connection;
class DataSource;
class LegacyDatabase;

// Brings the Windows version's data.mdb (sales, users, session log) into a new
// ledger. Rows are streamed: memory does not grow with the old file.
namespace LegacyImport {

enum class Stage { Writing, Checking, KeepingOriginal, Replacing, Done };

struct Options
{
    // Turns an old plain-text password into what userdb stores (required).
    std::function<QString(const QString &)> hashPassword;
    // Sales written so far of all the old file declares; called now and then.
    std::function<void(qint64 done, qint64 total)> progress;
    // Each step of the file-level operations, before it starts.
    std::function<void(Stage)> stage;
    // The old file's table being read and its rows read so far: called as a table is
    // opened and now and then while its rows are read, by the copy and by the check. A
    // reader that dies on a damaged file is then known to have died in that table.
    std::function<void(const QString &table, qint64 row)> reading;
};

struct TableCount
{
    QString table;
    qint64 read = 0;
    qint64 written = 0;
};

// What the check found: rows per table on both sides and the sums of the columns
// 6, 4 and 5 of data (exact, independent of row order).
struct Report
{
    QVector<TableCount> tables;
    std::array<double, 3> readSums{};
    std::array<double, 3> writtenSums{};
    QStringList extraColumns; // "table.column" carried into new columns
    // What the operator should know about values and names carried as they are: an
    // extra column renamed because an engine reserves its name, an amount of 10^12 or
    // more (never refused: a shop's old ledger is not turned away for one mistyped
    // price). Each names its table, and a value its row and column.
    QStringList notes;

    bool matches() const;
    // One line per table and per summed column, for printing.
    QStringList lines() const;
};

// Writes every row of the old file into the empty tables behind `target` (the three
// tables are created first). Raises AppError naming the table and row of a value
// that cannot be read; the caller discards the target then.
// `beforeCommit` runs inside the transaction after the last row; an exception from it
// leaves the target as it was.
// The notes of the copy (see Report::notes) are added to `notes` when given.
QStringList copyInto(LegacyDatabase &source, Connection &target, const Options &options,
                     const std::function<void()> &beforeCommit = {}, QStringList *notes = nullptr);

// Whether an engine reserves this column name (a row key or a system column), in any
// letter case: such a column of the old file is carried under another name.
bool isReservedColumnName(const QString &name);

// Reads the old file and the target again and compares them.
Report check(const QString &accessPath, Connection &target, const Options &options = {});

// Makes a new ledger file at `ledgerPath` (refusing to overwrite one): written under a
// temporary name beside it, checked, and renamed only when the check passes. On any
// failure nothing is left but the old file.
Report importToNewFile(const QString &accessPath, const QString &ledgerPath, const Options &options);

// Fills an empty ledger on a database server in one transaction that commits only
// after the check passed: the server holds all of the old ledger or nothing of it.
// Refuses a server that holds a ledger already.
Report importToServer(const QString &accessPath, const DataSource &server, const Options &options);

// Replaces the Access file at `path` by a new ledger and keeps the original as
// `path`.old. At every moment `path` is either the untouched old file or the complete,
// checked new ledger.
Report convertInPlace(const QString &path, const Options &options);

// Removes what a conversion of `path` that ended abruptly may have left (its
// temporary file); the file at `path` and a kept original stay.
void discardUnfinished(const QString &path);

QString temporaryPathFor(const QString &ledgerPath);
QString keptOriginalPathFor(const QString &path);

} // namespace LegacyImport
