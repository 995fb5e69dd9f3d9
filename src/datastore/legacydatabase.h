#pragma once

#include <QDateTime>
#include <QString>
#include <QVariant>
#include <QVector>
#include <memory>

// Reads the Windows version's Access (Jet) file. The reading library's API stays in
// legacydatabase.cpp; nothing else sees it.
//
// Values come from the raw column bytes: doubles bit for bit, singles widened
// exactly, dates from their stored double with the time of day. A null text and an
// empty text both read as the empty text (the library cannot tell them apart). The
// file's database password is never needed: the library reads without it.
//
// Errors are AppError with a text for the operator that names the table and, for a
// value, the row (counted from 1 in the order the file is read).
class LegacyTable;

class LegacyDatabase
{
public:
    // True when the file starts with the header of an Access (Jet or ACE) database.
    static bool isAccessFile(const QString &path);

    explicit LegacyDatabase(const QString &path);
    ~LegacyDatabase();
    LegacyDatabase(const LegacyDatabase &) = delete;
    LegacyDatabase &operator=(const LegacyDatabase &) = delete;

    const QString &path() const { return m_path; }
    QStringList tableNames() const;
    bool hasTable(const QString &name) const;
    // Opens a table for one pass over its rows (name matched regardless of letter
    // case). Read one table at a time: they share the file's page buffer.
    std::unique_ptr<LegacyTable> openTable(const QString &name);

private:
    struct Handle;
    QString m_path;
    std::unique_ptr<Handle> m_handle;
};

struct LegacyColumn
{
    enum class Kind { Text, Memo, Double, Single, DateTime, Long, Integer, Byte, Other };
    QString name;
    Kind kind = Kind::Other;
    int typeCode = 0;

    bool isText() const { return kind == Kind::Text || kind == Kind::Memo; }
    bool isNumber() const
    {
        return kind == Kind::Double || kind == Kind::Single || kind == Kind::Long || kind == Kind::Integer
            || kind == Kind::Byte;
    }
    bool isWholeNumber() const { return kind == Kind::Long || kind == Kind::Integer || kind == Kind::Byte; }
};

class LegacyTable
{
public:
    ~LegacyTable();
    LegacyTable(const LegacyTable &) = delete;
    LegacyTable &operator=(const LegacyTable &) = delete;

    const QString &name() const { return m_name; }
    const QVector<LegacyColumn> &columns() const { return m_columns; }
    // Index of the column with this name regardless of letter case, -1 when absent.
    int columnIndex(const QString &name) const;
    // The row count the file's table definition holds.
    qint64 declaredRowCount() const;

    // Moves to the next row; false after the last. Raises an error when the rows read
    // do not add up to the declared count (a truncated or damaged file).
    bool next();
    // Rows read so far; the current row's number while positioned on one.
    qint64 row() const { return m_row; }

    bool isNull(int column) const;
    QString text(int column) const;
    // Double, single (widened exactly) or whole number; NaN for a null.
    double number(int column) const;
    qint64 wholeNumber(int column) const;
    QDateTime dateTime(int column) const;
    // Any column as a typed value: QString for texts, double for floating point,
    // qlonglong for whole numbers, QDateTime for dates; null numbers and
    // dates give an invalid QVariant.
    QVariant value(int column) const;

private:
    friend class LegacyDatabase;
    struct State;
    LegacyTable(const QString &name, std::unique_ptr<State> state);
    [[noreturn]] void fail(int column, const QString &what) const;
    QByteArray rawBytes(int column, int size) const;

    QString m_name;
    QVector<LegacyColumn> m_columns;
    std::unique_ptr<State> m_state;
    qint64 m_row = 0;
};
