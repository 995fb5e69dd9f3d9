#include "apperror.h"
#include "datetext.h"
#include "engine.h"
#include "openerror.h"

#define SQLITE_HAS_CODEC 1
#include <sqlcipher/sqlite3.h>

#include <QDate>
#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <array>
#include <cmath>
#include <cstring>
#include <limits>
#include <vector>

namespace {

// Another till's commit holds the file only for a moment, but its flush to disk can
// stall for many seconds while the machine writes a lot of other data: the till waits
// that out rather than refusing a sale the operator has just typed.
constexpr int kBusyTimeoutMs = 30000;
// Measured: scans run about twice as fast as with the 1 KB default pages.
constexpr int kCipherPageSize = 4096;

QString engineMessage(sqlite3 *db)
{
    return QString::fromUtf8(sqlite3_errmsg(db));
}

FieldType fieldTypeFromDeclaration(const char *declared)
{
    if (!declared)
        return FieldType::Unknown;
    const QByteArray type = QByteArray(declared).toLower();
    if (type.contains("datetime"))
        return FieldType::DateTime;
    if (type.contains("date"))
        return FieldType::Date;
    if (type.contains("int"))
        return FieldType::Integer;
    if (type.contains("real") || type.contains("double") || type.contains("float") || type.contains("num"))
        return FieldType::Number;
    if (type.contains("text") || type.contains("char"))
        return FieldType::Text;
    return FieldType::Unknown;
}

QDateTime parseStoredDateTime(const QString &text)
{
    for (const char *format : {"yyyy-MM-dd HH:mm:ss", "yyyy-MM-dd HH:mm", "yyyy-MM-dd", "yyyy-MM-ddTHH:mm:ss"}) {
        const QDateTime value = QDateTime::fromString(text, QString::fromLatin1(format));
        if (value.isValid())
            return value;
    }
    return {};
}

// year(), month() and day() over stored date texts, so the statements can group by
// parts of a date without engine-specific functions.
void datePart(sqlite3_context *context, int, sqlite3_value **arguments)
{
    if (sqlite3_value_type(arguments[0]) == SQLITE_NULL) {
        sqlite3_result_null(context);
        return;
    }
    const auto *text = reinterpret_cast<const char *>(sqlite3_value_text(arguments[0]));
    // The charts call this once per record of a year: read the digits of a stored
    // "yyyy-MM-dd" directly, and parse anything else the slow way.
    QDate date = DateText::storedDatePrefix(QByteArrayView(text, sqlite3_value_bytes(arguments[0])));
    if (!date.isValid())
        date = QDate::fromString(QString::fromLatin1(text).left(10), QStringLiteral("yyyy-MM-dd"));
    if (!date.isValid()) {
        sqlite3_result_null(context);
        return;
    }
    const auto part = reinterpret_cast<std::intptr_t>(sqlite3_user_data(context));
    sqlite3_result_int(context, part == 0 ? date.year() : part == 1 ? date.month() : date.day());
}

// SQLCipher cannot tell a wrong key from a file that is no database: both fail the
// first read with "file is not a database". The file itself can tell most cases
// apart: an encrypted database is whole pages of bytes that look random, while an
// empty file, an unencrypted database, a database of another program or a text saved
// under the name is not. Random bytes in whole pages do read as a database keyed with
// another password: without the key nothing can tell the two apart.
DatabaseOpenError::Reason unreadableFileReason(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return DatabaseOpenError::Reason::Other;
    constexpr qint64 kSmallestPage = 512;
    const qint64 size = file.size();
    if (size == 0 || size % kSmallestPage != 0)
        return DatabaseOpenError::Reason::UnrecognizedFormat;
    const QByteArray head = file.read(kCipherPageSize);
    if (head.startsWith(QByteArrayLiteral("SQLite format 3")))
        return DatabaseOpenError::Reason::UnrecognizedFormat;
    std::array<int, 256> counts{};
    for (const char byte : head)
        ++counts[static_cast<unsigned char>(byte)];
    double bitsPerByte = 0;
    for (const int count : counts) {
        if (count > 0) {
            const double share = double(count) / double(head.size());
            bitsPerByte -= share * std::log2(share);
        }
    }
    // Ciphertext measures close to 8 bits a byte even on a 512-byte page (about 7.6);
    // text and the structured pages of other formats stay far below 7.
    constexpr double kCiphertextBitsPerByte = 7.0;
    return bitsPerByte > kCiphertextBitsPerByte ? DatabaseOpenError::Reason::WrongPassword
                                                : DatabaseOpenError::Reason::UnrecognizedFormat;
}

class SqliteStatement final : public StatementBackend
{
public:
    SqliteStatement(sqlite3 *db, const QString &sql) : m_db(db)
    {
        const QByteArray text = sql.toUtf8();
        if (sqlite3_prepare_v2(m_db, text.constData(), int(text.size()), &m_statement, nullptr) != SQLITE_OK) {
            const QString message = engineMessage(m_db);
            sqlite3_finalize(m_statement);
            m_statement = nullptr;
            throw DatabaseError(message);
        }
        const int columns = sqlite3_column_count(m_statement);
        m_declaredTypes.reserve(columns);
        for (int i = 0; i < columns; ++i)
            m_declaredTypes.append(fieldTypeFromDeclaration(sqlite3_column_decltype(m_statement, i)));
    }

    ~SqliteStatement() override { sqlite3_finalize(m_statement); }

    void bind(const QVariantList &values) override
    {
        if (values.size() != sqlite3_bind_parameter_count(m_statement))
            throw DatabaseError(QStringLiteral("%1 values for %2 parameters")
                                    .arg(values.size())
                                    .arg(sqlite3_bind_parameter_count(m_statement)));
        for (int i = 0; i < values.size(); ++i) {
            const QVariant &value = values.at(i);
            const int index = i + 1;
            int rc = SQLITE_OK;
            switch (value.typeId()) {
            case QMetaType::UnknownType:
            case QMetaType::Nullptr:
                rc = sqlite3_bind_null(m_statement, index);
                break;
            case QMetaType::Bool:
            case QMetaType::Int:
            case QMetaType::UInt:
            case QMetaType::LongLong:
            case QMetaType::ULongLong:
                rc = sqlite3_bind_int64(m_statement, index, value.toLongLong());
                break;
            case QMetaType::Double:
            case QMetaType::Float:
                rc = sqlite3_bind_double(m_statement, index, value.toDouble());
                break;
            case QMetaType::QDate: {
                const QByteArray text = value.toDate().toString(QStringLiteral("yyyy-MM-dd")).toUtf8();
                rc = sqlite3_bind_text(m_statement, index, text.constData(), int(text.size()), SQLITE_TRANSIENT);
                break;
            }
            case QMetaType::QDateTime: {
                const QByteArray text = value.toDateTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")).toUtf8();
                rc = sqlite3_bind_text(m_statement, index, text.constData(), int(text.size()), SQLITE_TRANSIENT);
                break;
            }
            case QMetaType::QByteArray: {
                const QByteArray bytes = value.toByteArray();
                rc = sqlite3_bind_blob(m_statement, index, bytes.constData(), int(bytes.size()), SQLITE_TRANSIENT);
                break;
            }
            default: {
                const QByteArray text = value.toString().toUtf8();
                rc = sqlite3_bind_text(m_statement, index, text.constData(), int(text.size()), SQLITE_TRANSIENT);
                break;
            }
            }
            if (rc != SQLITE_OK)
                throw DatabaseError(engineMessage(m_db));
        }
    }

    bool step() override
    {
        const int rc = sqlite3_step(m_statement);
        if (rc == SQLITE_ROW)
            return true;
        if (rc == SQLITE_DONE)
            return false;
        const QString message = engineMessage(m_db);
        sqlite3_reset(m_statement);
        throw DatabaseError(message);
    }

    void reset() override
    {
        sqlite3_reset(m_statement);
        sqlite3_clear_bindings(m_statement);
    }

    int changes() const override { return sqlite3_changes(m_db); }

    int columnCount() override { return sqlite3_column_count(m_statement); }

    QString columnName(int column) override { return QString::fromUtf8(sqlite3_column_name(m_statement, column)); }

    FieldType declaredType(int column) override { return m_declaredTypes.value(column, FieldType::Unknown); }

    QVariant value(int column) const override
    {
        const FieldType declared = m_declaredTypes.value(column, FieldType::Unknown);
        switch (sqlite3_column_type(m_statement, column)) {
        case SQLITE_NULL:
            return {};
        case SQLITE_INTEGER:
            if (declared == FieldType::Number)
                return double(sqlite3_column_int64(m_statement, column));
            return qlonglong(sqlite3_column_int64(m_statement, column));
        case SQLITE_FLOAT:
            return sqlite3_column_double(m_statement, column);
        case SQLITE_BLOB:
            return QByteArray(static_cast<const char *>(sqlite3_column_blob(m_statement, column)),
                              sqlite3_column_bytes(m_statement, column));
        default: {
            const char *bytes = reinterpret_cast<const char *>(sqlite3_column_text(m_statement, column));
            const int size = sqlite3_column_bytes(m_statement, column);
            if (declared == FieldType::Date) {
                // The stored form, read without the general parser: a date column is
                // read for every row of an export.
                const QDate date = DateText::storedDatePrefix(QByteArrayView(bytes, size));
                if (date.isValid())
                    return date;
            }
            const QString text = QString::fromUtf8(bytes, size);
            if (declared == FieldType::Date) {
                const QDate date = QDate::fromString(text.left(10), QStringLiteral("yyyy-MM-dd"));
                if (date.isValid())
                    return date;
            } else if (declared == FieldType::DateTime) {
                const QDateTime dateTime = parseStoredDateTime(text);
                if (dateTime.isValid())
                    return dateTime;
            }
            return text;
        }
        }
    }

    QVariant exactValue(int column) const override
    {
        // Dates and date-times are texts in the file: the text is the exact value.
        const FieldType declared = m_declaredTypes.value(column, FieldType::Unknown);
        if ((declared == FieldType::Date || declared == FieldType::DateTime)
            && sqlite3_column_type(m_statement, column) == SQLITE_TEXT)
            return QString::fromUtf8(reinterpret_cast<const char *>(sqlite3_column_text(m_statement, column)),
                                     sqlite3_column_bytes(m_statement, column));
        return value(column);
    }

    QDate dateValue(int column) const override
    {
        if (sqlite3_column_type(m_statement, column) != SQLITE_TEXT)
            return {};
        return DateText::storedDatePrefix(
            QByteArrayView(reinterpret_cast<const char *>(sqlite3_column_text(m_statement, column)),
                           sqlite3_column_bytes(m_statement, column)));
    }

    double doubleValue(int column) const override
    {
        if (sqlite3_column_type(m_statement, column) == SQLITE_NULL)
            return std::numeric_limits<double>::quiet_NaN();
        return sqlite3_column_double(m_statement, column);
    }

    qint64 int64Value(int column) const override { return sqlite3_column_int64(m_statement, column); }

    bool isNull(int column) const override { return sqlite3_column_type(m_statement, column) == SQLITE_NULL; }

private:
    sqlite3 *m_db;
    sqlite3_stmt *m_statement = nullptr;
    QVector<FieldType> m_declaredTypes;
};

// The encrypted file. It waits on a file that another copy of the application holds
// busy instead of failing at once.
class SqliteConnection final : public ConnectionBackend
{
public:
    SqliteConnection(const QString &path, const QByteArray &key, bool create) : m_key(key)
    {
        using Reason = DatabaseOpenError::Reason;
        const QString fullPath = QFileInfo(path).absoluteFilePath();
        const int flags = SQLITE_OPEN_READWRITE | (create ? SQLITE_OPEN_CREATE : 0);
        const QByteArray fileName = path.toUtf8();
        if (sqlite3_open_v2(fileName.constData(), &m_db, flags, nullptr) != SQLITE_OK) {
            const QString message = m_db ? engineMessage(m_db) : QStringLiteral("out of memory");
            sqlite3_close(m_db);
            m_db = nullptr;
            const bool missing = !create && !QFileInfo::exists(path);
            throw DatabaseOpenError(missing ? Reason::MissingFile : Reason::Other, fullPath, message);
        }
        try {
            if (sqlite3_key(m_db, key.constData(), int(key.size())) != SQLITE_OK)
                throw DatabaseOpenError(Reason::Other, fullPath, engineMessage(m_db));
            run(QStringLiteral("PRAGMA cipher_page_size = %1").arg(kCipherPageSize));
            sqlite3_busy_timeout(m_db, kBusyTimeoutMs);
            // Reading the schema is the first access that needs the key: a wrong password
            // or a file that is no database fails here, before anything is written.
            const int rc = sqlite3_exec(m_db, "select count(*) from sqlite_master", nullptr, nullptr, nullptr);
            if (rc != SQLITE_OK)
                throw DatabaseOpenError(rc == SQLITE_NOTADB ? unreadableFileReason(path) : Reason::Other, fullPath,
                                        engineMessage(m_db));
            registerFunctions();
            sqlite3_update_hook(m_db, rowWritten, this);
        } catch (...) {
            sqlite3_close(m_db);
            m_db = nullptr;
            throw;
        }
    }

    ~SqliteConnection() override { sqlite3_close(m_db); }

    std::unique_ptr<StatementBackend> prepare(const QString &sql) override
    {
        return std::make_unique<SqliteStatement>(m_db, sql);
    }

    qint64 lastInsertRowId() const override { return sqlite3_last_insert_rowid(m_db); }

    QStringList tableNames() override
    {
        SqliteStatement statement(m_db, QStringLiteral("select name from sqlite_master where type='table' order by name"));
        QStringList names;
        while (statement.step())
            names << statement.value(0).toString();
        return names;
    }

    void beginTransaction() override { run(QStringLiteral("begin immediate")); }
    void commit() override { run(QStringLiteral("commit")); }
    void rollback() override { run(QStringLiteral("rollback")); }

    std::optional<ChangeMarks> changeMarks(const QString &table) override
    {
        ChangeMarks marks;
        SqliteStatement version(m_db, QStringLiteral("pragma data_version"));
        if (!version.step())
            throw DatabaseError(engineMessage(m_db));
        marks.othersCommits = version.int64Value(0);
        SqliteStatement schema(m_db, QStringLiteral("pragma schema_version"));
        if (!schema.step())
            throw DatabaseError(engineMessage(m_db));
        marks.schema = schema.int64Value(0);
        const QByteArray name = table.toUtf8();
        for (const TableWrites &writes : m_writes) {
            if (qstricmp(writes.table.constData(), name.constData()) == 0) {
                marks.inserted = writes.inserted;
                marks.rewritten = writes.rewritten;
            }
        }
        // A table emptied whole, for one, is counted by the engine but not reported.
        // The engine's count is 32 bits wide here: compared modulo that.
        marks.unlisted = qint64(quint32(sqlite3_total_changes(m_db)) - quint32(m_reported));
        return marks;
    }

    void holdAcrossReconnects(const SessionHold &) override {}
    void releaseHold() override {}
    void keepSession() override {}
    void setSessionName(const QString &) override {}

    void backupInto(const QString &path, const Connection::BackupSteps &steps) override
    {
        sqlite3 *target = nullptr;
        sqlite3_backup *backup = nullptr;
        const QByteArray fileName = path.toUtf8();
        auto end = [&] {
            if (backup)
                sqlite3_backup_finish(backup);
            backup = nullptr;
            sqlite3_close(target);
            target = nullptr;
        };
        auto fail = [&](sqlite3 *db) {
            const QString message = db ? engineMessage(db) : QStringLiteral("out of memory");
            end();
            throw DatabaseError(message);
        };
        if (sqlite3_open_v2(fileName.constData(), &target, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr) != SQLITE_OK)
            fail(target);
        // The engine copies encrypted pages as they are: the copy must be keyed, and laid
        // out in pages, exactly as the source.
        if (sqlite3_key(target, m_key.constData(), int(m_key.size())) != SQLITE_OK)
            fail(target);
        const QByteArray pageSize = QByteArrayLiteral("PRAGMA cipher_page_size = ") + QByteArray::number(kCipherPageSize);
        // A new file: nothing to roll back if the copy dies halfway, so no journal.
        for (const QByteArray &pragma : {pageSize, QByteArrayLiteral("PRAGMA journal_mode = OFF")}) {
            if (sqlite3_exec(target, pragma.constData(), nullptr, nullptr, nullptr) != SQLITE_OK)
                fail(target);
        }
        backup = sqlite3_backup_init(target, "main", m_db, "main");
        if (!backup)
            fail(target);
        // A slice holds the file for a moment only; a writer waiting for it is let in
        // between slices. A file held busy for longer than a connection waits fails the copy.
        auto step = [&](int pages) {
            int rc = SQLITE_OK;
            for (int waits = 0; (rc = sqlite3_backup_step(backup, pages)) == SQLITE_BUSY || rc == SQLITE_LOCKED;) {
                if (++waits * 20 >= kBusyTimeoutMs)
                    break;
                sqlite3_sleep(20);
            }
            return rc;
        };
        auto stopIfAsked = [&] {
            if (steps.goOn && !steps.goOn()) {
                end();
                throw DatabaseError(QStringLiteral("the copy was stopped"));
            }
        };
        constexpr int kSlicePages = 256; // a megabyte
        // Another connection's write makes the engine start the copy over. After this
        // many, the rest is copied in one go so that a busy till cannot keep it from
        // ever ending; writers then wait for it as they wait for any reader.
        constexpr int kRestarts = 3;
        int rc = step(0); // counts the pages, copies none
        int restarts = 0;
        for (int remaining = sqlite3_backup_remaining(backup);
             rc == SQLITE_OK && remaining > kSlicePages && restarts < kRestarts;) {
            stopIfAsked();
            rc = step(kSlicePages);
            const int now = sqlite3_backup_remaining(backup);
            if (now > remaining - kSlicePages)
                ++restarts;
            remaining = now;
        }
        if (rc == SQLITE_OK) {
            stopIfAsked();
            try {
                if (steps.beforeLastSlice)
                    steps.beforeLastSlice();
            } catch (...) {
                end();
                throw;
            }
            rc = step(-1);
        }
        // The engine puts a failed copy's message on the target when the copy ends.
        const int finished = sqlite3_backup_finish(backup);
        backup = nullptr;
        if (rc != SQLITE_DONE || finished != SQLITE_OK)
            fail(target);
        if (sqlite3_close(target) != SQLITE_OK)
            throw DatabaseError(QStringLiteral("the backup could not be closed"));
    }

private:
    void run(const QString &sql)
    {
        SqliteStatement statement(m_db, sql);
        while (statement.step()) {
        }
    }

    void registerFunctions()
    {
        const char *names[] = {"year", "month", "day"};
        for (std::intptr_t part = 0; part < 3; ++part) {
            if (sqlite3_create_function(m_db, names[part], 1, SQLITE_UTF8 | SQLITE_DETERMINISTIC,
                                        reinterpret_cast<void *>(part), datePart, nullptr, nullptr)
                != SQLITE_OK)
                throw DatabaseError(engineMessage(m_db));
        }
    }

    void setGoOn(std::function<bool()> goOn) override
    {
        m_goOn = std::move(goOn);
        // About a millisecond of work between two questions.
        sqlite3_progress_handler(m_db, m_goOn ? 100000 : 0, m_goOn ? stopAsked : nullptr, this);
    }

    static int stopAsked(void *context) { return static_cast<SqliteConnection *>(context)->m_goOn() ? 0 : 1; }

    // Counts every row this connection writes, table by table, as the engine reports it.
    static void rowWritten(void *context, int operation, const char *, const char *table, sqlite3_int64)
    {
        auto *self = static_cast<SqliteConnection *>(context);
        ++self->m_reported;
        TableWrites *writes = nullptr;
        for (TableWrites &candidate : self->m_writes) {
            if (std::strcmp(candidate.table.constData(), table) == 0) {
                writes = &candidate;
                break;
            }
        }
        if (!writes)
            writes = &self->m_writes.emplace_back(TableWrites{QByteArray(table)});
        ++(operation == SQLITE_INSERT ? writes->inserted : writes->rewritten);
    }

    struct TableWrites
    {
        QByteArray table;
        qint64 inserted = 0;
        qint64 rewritten = 0;
    };

    sqlite3 *m_db = nullptr;
    QByteArray m_key;
    std::vector<TableWrites> m_writes;
    qint64 m_reported = 0;
    std::function<bool()> m_goOn;
};

} // namespace

std::unique_ptr<ConnectionBackend> openEmbeddedBackend(const QString &path, const QByteArray &key, bool create)
{
    return std::make_unique<SqliteConnection>(path, key, create);
}
