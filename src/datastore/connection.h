#pragma once

#include "fieldtype.h"

#include <QString>
#include <QStringList>
#include <QVariant>
#include <memory>

struct sqlite3;
struct sqlite3_stmt;

// One prepared statement. Values are always bound, never spliced into the text.
class Statement
{
public:
    Statement(sqlite3 *db, const QString &sql);
    ~Statement();
    Statement(Statement &&other) noexcept;
    Statement &operator=(Statement &&) = delete;
    Statement(const Statement &) = delete;

    void bind(const QVariantList &values);
    // Steps to the next row; false once the statement is done.
    bool step();
    void reset();

    int columnCount() const;
    QString columnName(int column) const;
    FieldType declaredType(int column) const;
    QVariant value(int column) const;
    // Fast paths for bulk reads; a null reads as NaN or 0.
    double doubleValue(int column) const;
    qint64 int64Value(int column) const;
    bool isNull(int column) const;

private:
    [[noreturn]] void fail() const;

    sqlite3 *m_db;
    sqlite3_stmt *m_statement = nullptr;
    QVector<FieldType> m_declaredTypes;
};

// The database connection: the only class that knows the engine. It opens an
// encrypted file keyed with a password and waits on a file that another copy of the
// application holds busy instead of failing at once.
class Connection
{
public:
    enum class OpenMode { ExistingFile, CreateFile };

    // Raises DatabaseOpenError when the file is missing, keyed with another password or
    // not a database; the file is then left untouched.
    Connection(const QString &path, const QByteArray &key, OpenMode mode = OpenMode::ExistingFile);
    ~Connection();
    Connection(const Connection &) = delete;
    Connection &operator=(const Connection &) = delete;

    const QString &path() const { return m_path; }

    Statement prepare(const QString &sql);
    // Runs a statement that returns no rows; returns the number of rows changed.
    int execute(const QString &sql, const QVariantList &values = {});
    // Runs a statement and returns the first column of its first row (null when none).
    QVariant scalar(const QString &sql, const QVariantList &values = {});
    qint64 lastInsertRowId() const;

    // Field names and declared types of a table, in the table's order.
    QStringList tableFields(const QString &table);

    void beginTransaction();
    void commit();
    void rollback();

private:
    void registerFunctions();

    QString m_path;
    sqlite3 *m_db = nullptr;
};
