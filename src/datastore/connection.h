#pragma once

#include "fieldtype.h"

#include <QDate>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <functional>
#include <memory>
#include <optional>

class ConnectionBackend;
class Dialect;
class StatementBackend;
class DataSource;

// One prepared statement. Values are always bound, never spliced into the text; a
// `?` marks each value on both engines.
class Statement
{
public:
    explicit Statement(std::unique_ptr<StatementBackend> backend);
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
    // The value as stored, for moving it to another store: where value() gives a date
    // column's date alone, this keeps a time of day that the row holds beside it, and
    // a date-time column's text comes as written (a date alone, or empty).
    QVariant exactValue(int column) const;
    // Fast paths for bulk reads; a null reads as NaN, 0 or an invalid date. The date is
    // a date or date-time column's day (a text's when it starts with one), read
    // without making a date-time in the local time zone first.
    QDate dateValue(int column) const;
    double doubleValue(int column) const;
    qint64 int64Value(int column) const;
    bool isNull(int column) const;

private:
    friend class Connection;
    std::unique_ptr<StatementBackend> m_backend;
};

// Where a table stands as one connection sees it: the other connections' commits to
// the database, and the rows this connection itself wrote to the table, as the engine
// counts them row by row (a write later rolled back counts too). Two marks that are
// equal mean nothing but what the counts say happened to the table in between.
struct ChangeMarks
{
    qint64 othersCommits = 0; // moves whenever another connection commits
    qint64 inserted = 0;      // rows this connection inserted into the table
    qint64 rewritten = 0;     // rows this connection updated or deleted in the table
    qint64 unlisted = 0;      // rows changed, in any table, that the engine did not report one by one
    qint64 schema = 0;        // moves with any change of the tables' definitions

    bool operator==(const ChangeMarks &) const = default;
};

// What a server session holds that the next session must hold again, after a lost
// connection, before it runs any command: `take` returns one row whose first column
// is true when it took hold; when false, `refusal` fails the command and the next one
// tries again. `identity` returns one value that must still be the one it returned
// when the hold was made; when it is not, the store was replaced meanwhile and
// `replaced` fails that command and every later one, since what the program read
// belongs to a store that no longer exists. Statements in the server's own words.
struct SessionHold
{
    QString take;
    QString refusal;
    QString identity;
    QString replaced;
};

// The database connection: the only class that knows the engine. It talks either to
// the embedded encrypted file (one till) or to a database server that several
// terminals share. Statements are written once for both: `?` for values, `rowid` for
// the row key that no dataset shows, `like` ignoring the letter case of ASCII letters,
// `collate nocase` on an equality, and year()/month()/day() over dates.
class Connection
{
public:
    enum class OpenMode { ExistingFile, CreateFile };
    enum class Engine { EmbeddedFile, Server };

    // Opens the encrypted file keyed with a password. Raises DatabaseOpenError when the
    // file is missing, keyed with another password or not a database; the file is then
    // left untouched.
    Connection(const QString &path, const QByteArray &key, OpenMode mode = OpenMode::ExistingFile);
    // Opens the data store a terminal is pointed at: the file keyed with the data
    // module's password, or the server (a failed connection raises DatabaseOpenError
    // with the client library's message).
    explicit Connection(const DataSource &source, OpenMode mode = OpenMode::ExistingFile);
    ~Connection();
    Connection(const Connection &) = delete;
    Connection &operator=(const Connection &) = delete;

    Engine engine() const { return m_engine; }
    // What statements must say differently on this connection's engine (column types,
    // index and statistics look-ups, limits). Code outside the connection layer asks
    // it rather than engine().
    const Dialect &dialect() const { return *m_dialect; }
    // The file's path, or the server's address without any password.
    const QString &path() const { return m_path; }

    Statement prepare(const QString &sql);
    // Runs a statement that returns no rows; returns the number of rows changed.
    int execute(const QString &sql, const QVariantList &values = {});
    // Runs a statement and returns the first column of its first row (null when none).
    QVariant scalar(const QString &sql, const QVariantList &values = {});
    // The row key of the last row this connection inserted.
    qint64 lastInsertRowId() const;

    // Field names of a table, in the table's order (never the hidden row key).
    QStringList tableFields(const QString &table);
    // The tables the database holds, in alphabetical order.
    QStringList tableNames();
    // Whether an index of this name exists. Asked before a "create index if not exists":
    // the server takes that statement's lock on the table even when the index is there,
    // and waits behind any terminal in the middle of a write.
    bool hasIndex(const QString &name);

    void beginTransaction();
    void commit();
    void rollback();
    // Between beginTransaction() and its commit() or rollback().
    bool inTransaction() const { return m_inTransaction; }

    // How a copy made by backupInto goes.
    struct BackupSteps
    {
        // Asked between slices of the copy; false stops it with a DatabaseError.
        std::function<bool()> goOn;
        // Called once, before the last slice is copied. The copy is the database as
        // this connection sees it during that slice, so a read transaction begun here
        // (and ended by the caller after the copy) reads exactly what the copy holds.
        std::function<void()> beforeLastSlice;
    };

    // The embedded file only: writes a consistent copy of the database into the new
    // file `path` with the engine's online backup, keyed as this one. The copy is made
    // in slices without holding the file between them, so other connections' writes
    // go on meanwhile (the copy starts over after one; after a few such restarts the
    // rest is copied in one go, holding the file); a transaction this connection
    // holds is the copy's. Raises DatabaseError on any failure (the partly written
    // file is left for the caller to remove); on the server engine it always fails.
    void backupInto(const QString &path, const BackupSteps &steps = {});
    // The embedded file only: asked now and then while a statement runs; false ends the
    // statement with a DatabaseError (a long check of a backup that is being stopped).
    // Empty: never asked. A server's statements run to their end.
    void setGoOn(std::function<bool()> goOn);

    // The embedded file only (nullopt on a server): where `table` stands now, so that a
    // reader can tell later whether the rows it read are still all there is.
    std::optional<ChangeMarks> changeMarks(const QString &table);

    // Keeps `hold` across lost connections (one at a time; the server only: the embedded
    // file never loses its connection). Reads the identity now.
    void holdAcrossReconnects(const SessionHold &hold);
    void releaseHold();

    // The server's notifications: listen() starts receiving those sent on `channel` by
    // any session; takeNotifications() returns the ones received since the last call,
    // each with the sending session's process id, without waiting. Raises DatabaseError
    // when the connection is lost (a new one must listen again). The embedded engine
    // has none.
    void listen(const QString &channel);
    std::vector<std::pair<int, QString>> takeNotifications();
    // The server only: a session the server ended while idle (a restart) is replaced
    // now, with its hold taken again, rather than at the next command. Sends nothing
    // while the session is fine. Raises DatabaseError when the server cannot be reached
    // (the next call tries again); does nothing inside a transaction.
    void keepSession();
    // The server only: every session of this connection, made now or again later,
    // is listed by the server under this name followed by the ledger's schema (empty:
    // the name it connected with).
    void setSessionName(const QString &name);

private:
    Engine m_engine;
    const Dialect *m_dialect;
    QString m_path;
    std::unique_ptr<ConnectionBackend> m_backend;
    bool m_inTransaction = false;
};
