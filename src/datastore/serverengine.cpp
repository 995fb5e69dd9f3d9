// The database server engine: libpq's C API. Statements are said in the embedded
// engine's words and rewritten by ServerDialect; results come in binary form, so a
// million keys and numbers are read without parsing text.
#include "apperror.h"
#include "connection.h"
#include "datetext.h"
#include "engine.h"
#include "serverdialect.h"
#include "sqlnames.h"

#include <libpq-fe.h>

#include <QDate>
#include <QDateTime>
#include <QHash>
#include <QRegularExpression>
#include <QtEndian>
#include <algorithm>
#include <charconv>
#include <utility>
#include <cmath>
#include <cstring>
#include <limits>
#include <optional>
#include <poll.h>
#include <vector>

namespace {

// Type numbers of the server's built-in types (pg_type.oid).
enum : Oid {
    kBool = 16,
    kBytea = 17,
    kChar = 18,
    kName = 19,
    kInt8 = 20,
    kInt2 = 21,
    kInt4 = 23,
    kText = 25,
    kOid = 26,
    kFloat4 = 700,
    kFloat8 = 701,
    kUnknown = 705,
    kBpchar = 1042,
    kVarchar = 1043,
    kDate = 1082,
    kTimestamp = 1114,
    kTimestampTz = 1184,
    kNumeric = 1700,
};

// Days and microseconds in the server's binary dates count from 2000-01-01.
const QDate kServerEpoch(2000, 1, 1);
constexpr qint64 kMicrosecondsPerDay = 86400LL * 1000 * 1000;

QString trimmed(const char *message)
{
    return QString::fromUtf8(message ? message : "").trimmed();
}

// What the operator reads when the server cannot be reached, above the client
// library's own words for the reason.
QString unreachable(const QString &reason)
{
    return QStringLiteral("无法连接数据库服务器，请检查网络和服务器后重试。\n") + reason;
}

// A sale's date is a timestamp of whole seconds on the server (`timestamp(0)`, type
// modifier 0): a date that may carry a time of day, as a date column of the embedded
// file may. It is read as that engine reads such a column: as its date alone, with the
// time of day kept for an exact copy (exactValue).
bool isDateWithTime(const PGresult *result, int column)
{
    return PQftype(result, column) == kTimestamp && PQfmod(result, column) == 0;
}

FieldType fieldTypeOf(Oid type, int modifier)
{
    if (type == kTimestamp && modifier == 0)
        return FieldType::Date;
    switch (type) {
    case kInt2:
    case kInt4:
    case kInt8:
    case kOid:
    case kBool:
        return FieldType::Integer;
    case kFloat4:
    case kFloat8:
    case kNumeric:
        return FieldType::Number;
    case kDate:
        return FieldType::Date;
    case kTimestamp:
    case kTimestampTz:
        return FieldType::DateTime;
    case kText:
    case kVarchar:
    case kBpchar:
    case kName:
    case kChar:
    case kUnknown:
        return FieldType::Text;
    default:
        return FieldType::Unknown;
    }
}

template<typename T>
T readBigEndian(const char *bytes)
{
    T value;
    std::memcpy(&value, bytes, sizeof value);
    return qFromBigEndian(value);
}

double readFloat8(const char *bytes)
{
    const quint64 bits = readBigEndian<quint64>(bytes);
    double value;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

float readFloat4(const char *bytes)
{
    const quint32 bits = readBigEndian<quint32>(bytes);
    float value;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

// A numeric in binary form: digit count, weight, sign, display scale, then base-10000
// digits. Whole numbers that fit come back as integers (as the embedded engine's sums
// of whole numbers do), the rest as doubles read from their exact decimal text.
QVariant readNumeric(const char *bytes, int length)
{
    if (length < 8)
        return {};
    const int digits = readBigEndian<qint16>(bytes);
    const int weight = readBigEndian<qint16>(bytes + 2);
    const quint16 sign = readBigEndian<quint16>(bytes + 4);
    const int scale = readBigEndian<qint16>(bytes + 6);
    if (sign == 0xC000)
        return std::numeric_limits<double>::quiet_NaN();
    if (sign == 0xD000)
        return std::numeric_limits<double>::infinity();
    if (sign == 0xF000)
        return -std::numeric_limits<double>::infinity();
    QByteArray text = sign == 0x4000 ? "-" : "";
    QByteArray whole, fraction;
    for (int i = 0; i < digits; ++i) {
        const int digit = readBigEndian<qint16>(bytes + 8 + 2 * i);
        const QByteArray group = QByteArray::number(digit).rightJustified(4, '0');
        if (weight - i >= 0)
            whole += group;
        else
            fraction += group;
    }
    for (int i = digits; i <= weight; ++i)
        whole += "0000";
    // Groups between the point and the first digit when the weight is below -1.
    if (weight < -1)
        fraction.prepend(QByteArray(4 * (-1 - weight), '0'));
    while (whole.size() > 1 && whole.startsWith('0'))
        whole.remove(0, 1);
    if (whole.isEmpty())
        whole = "0";
    if (scale == 0) {
        bool ok = false;
        const qlonglong value = (text + whole).toLongLong(&ok);
        if (ok)
            return value;
    }
    return (text + whole + "." + fraction + "0").toDouble();
}

struct Stamp
{
    QDate date;
    QTime time;
};

// A binary timestamp: microseconds from the epoch; infinities read as none.
std::optional<Stamp> readTimestamp(const char *bytes)
{
    const qint64 microseconds = readBigEndian<qint64>(bytes);
    if (microseconds == std::numeric_limits<qint64>::max() || microseconds == std::numeric_limits<qint64>::min())
        return std::nullopt;
    qint64 days = microseconds / kMicrosecondsPerDay;
    qint64 rest = microseconds % kMicrosecondsPerDay;
    if (rest < 0) {
        rest += kMicrosecondsPerDay;
        --days;
    }
    return Stamp{kServerEpoch.addDays(days), QTime::fromMSecsSinceStartOfDay(int(rest / 1000))};
}

class ServerConnection;

class ServerStatement final : public StatementBackend
{
public:
    ServerStatement(ServerConnection &connection, const QString &sql);
    ~ServerStatement() override { clear(); }

    void bind(const QVariantList &values) override;
    bool step() override;
    void reset() override
    {
        clear();
        m_values.clear();
        m_bound = false;
    }
    int changes() const override { return m_changes; }

    int columnCount() override
    {
        if (m_translation.returnsKey)
            return 0;
        return PQnfields(shape());
    }
    QString columnName(int column) override { return QString::fromUtf8(PQfname(shape(), column)); }
    FieldType declaredType(int column) override
    {
        return fieldTypeOf(PQftype(shape(), column), PQfmod(shape(), column));
    }

    QVariant value(int column) const override
    {
        if (PQgetisnull(m_result, m_row, column))
            return {};
        const char *bytes = PQgetvalue(m_result, m_row, column);
        const int length = PQgetlength(m_result, m_row, column);
        switch (PQftype(m_result, column)) {
        case kBool:
            return qlonglong(bytes[0] != 0);
        case kInt2:
            return qlonglong(readBigEndian<qint16>(bytes));
        case kInt4:
            return qlonglong(readBigEndian<qint32>(bytes));
        case kOid:
            return qlonglong(readBigEndian<quint32>(bytes));
        case kInt8:
            return qlonglong(readBigEndian<qint64>(bytes));
        case kFloat4:
            return double(readFloat4(bytes));
        case kFloat8:
            return readFloat8(bytes);
        case kNumeric:
            return readNumeric(bytes, length);
        case kDate: {
            const qint32 days = readBigEndian<qint32>(bytes);
            if (days == std::numeric_limits<qint32>::max() || days == std::numeric_limits<qint32>::min())
                return {};
            return kServerEpoch.addDays(days);
        }
        case kTimestamp:
        case kTimestampTz: {
            const std::optional<Stamp> stamp = readTimestamp(bytes);
            if (!stamp)
                return {};
            if (isDateWithTime(m_result, column))
                return stamp->date;
            if (PQftype(m_result, column) == kTimestampTz)
                return QDateTime(stamp->date, stamp->time, Qt::UTC).toLocalTime();
            return QDateTime(stamp->date, stamp->time);
        }
        case kBytea:
            return QByteArray(bytes, length);
        default:
            return QString::fromUtf8(bytes, length);
        }
    }

    QVariant exactValue(int column) const override
    {
        if (!isDateWithTime(m_result, column) || PQgetisnull(m_result, m_row, column))
            return value(column);
        const std::optional<Stamp> stamp = readTimestamp(PQgetvalue(m_result, m_row, column));
        if (!stamp)
            return {};
        // Midnight is a date alone, as the program writes a sale date without a time.
        if (stamp->time == QTime(0, 0))
            return stamp->date;
        return QDateTime(stamp->date, stamp->time);
    }

    QDate dateValue(int column) const override
    {
        if (PQgetisnull(m_result, m_row, column))
            return {};
        const char *bytes = PQgetvalue(m_result, m_row, column);
        switch (PQftype(m_result, column)) {
        case kTimestamp: {
            const std::optional<Stamp> stamp = readTimestamp(bytes);
            return stamp ? stamp->date : QDate();
        }
        case kDate:
        case kTimestampTz:
            return value(column).toDate();
        default:
            return DateText::storedDatePrefix(QByteArrayView(bytes, PQgetlength(m_result, m_row, column)));
        }
    }

    double doubleValue(int column) const override
    {
        if (PQgetisnull(m_result, m_row, column))
            return std::numeric_limits<double>::quiet_NaN();
        const char *bytes = PQgetvalue(m_result, m_row, column);
        switch (PQftype(m_result, column)) {
        case kFloat8:
            return readFloat8(bytes);
        case kFloat4:
            return readFloat4(bytes);
        case kInt8:
            return double(readBigEndian<qint64>(bytes));
        case kInt4:
            return readBigEndian<qint32>(bytes);
        default:
            return value(column).toDouble();
        }
    }

    qint64 int64Value(int column) const override
    {
        if (PQgetisnull(m_result, m_row, column))
            return 0;
        const char *bytes = PQgetvalue(m_result, m_row, column);
        switch (PQftype(m_result, column)) {
        case kInt8:
            return readBigEndian<qint64>(bytes);
        case kInt4:
            return readBigEndian<qint32>(bytes);
        default:
            return value(column).toLongLong();
        }
    }

    bool isNull(int column) const override { return PQgetisnull(m_result, m_row, column); }

private:
    void clear()
    {
        PQclear(m_result);
        m_result = nullptr;
        PQclear(m_description);
        m_description = nullptr;
        m_row = -1;
        m_rows = 0;
    }

    // The result's columns: from the result once run, else from the server's
    // description of the statement.
    const PGresult *shape();

    ServerConnection &m_connection;
    ServerDialect::Translation m_translation;
    std::vector<std::optional<QByteArray>> m_values;
    std::vector<Oid> m_types;
    std::vector<int> m_formats;
    bool m_bound = false;
    PGresult *m_result = nullptr;
    PGresult *m_description = nullptr;
    int m_row = -1;
    int m_rows = 0;
    int m_changes = 0;
};

class ServerConnection final : public ConnectionBackend
{
public:
    explicit ServerConnection(const QString &uri)
    {
        const QByteArray address = uri.toUtf8();
        // Values after the address override it: the client always speaks UTF-8. A
        // server that does not answer fails start-up after a while rather than never.
        const char *keywords[] = {"connect_timeout", "fallback_application_name", "dbname", "client_encoding", nullptr};
        const char *values[] = {"15", "quillmora", address.constData(), "UTF8", nullptr};
        m_connection = PQconnectdbParams(keywords, values, 1);
        if (!m_connection)
            throw DatabaseError(QStringLiteral("out of memory"));
        if (PQstatus(m_connection) != CONNECTION_OK) {
            const QString message = trimmed(PQerrorMessage(m_connection));
            PQfinish(m_connection);
            throw DatabaseError(message);
        }
        watchNotices();
        try {
            prepareSession();
        } catch (...) {
            PQfinish(m_connection);
            throw;
        }
    }

    ~ServerConnection() override { PQfinish(m_connection); }

    std::unique_ptr<StatementBackend> prepare(const QString &sql) override
    {
        return std::make_unique<ServerStatement>(*this, sql);
    }

    qint64 lastInsertRowId() const override { return m_lastKey; }

    void backupInto(const QString &, const Connection::BackupSteps &) override
    {
        throw DatabaseError(QStringLiteral("a server's ledger is backed up with its own tools"));
    }

    void holdAcrossReconnects(const SessionHold &hold) override
    {
        m_hold.reset();
        const QByteArray identity = firstValue(run(hold.identity.toUtf8(), {}, 0));
        m_hold = Hold{hold, identity};
        m_holdLost = false;
    }

    void releaseHold() override { m_hold.reset(); }

    void listen(const QString &channel) override
    {
        PQclear(run((QStringLiteral("listen ") + quotedName(channel)).toUtf8(), {}, 0));
    }

    std::vector<std::pair<int, QString>> takeNotifications() override
    {
        if (PQstatus(m_connection) != CONNECTION_OK || !PQconsumeInput(m_connection))
            throw DatabaseError(trimmed(PQerrorMessage(m_connection)));
        std::vector<std::pair<int, QString>> received;
        while (PGnotify *notification = PQnotifies(m_connection)) {
            received.emplace_back(notification->be_pid, QString::fromUtf8(notification->extra));
            PQfreemem(notification);
        }
        return received;
    }

    std::optional<ChangeMarks> changeMarks(const QString &table) override
    {
        // Inside a transaction the snapshot would hide what it is asked for.
        if (m_inTransaction)
            return std::nullopt;
        // Every transaction that writes takes the next transaction number, and the
        // snapshot's upper bound is one past the last one finished: when it moved by
        // exactly the writing transactions this session finished, nobody else wrote
        // since. One still running below the bound (its end would not move it) leaves
        // the mark unusable.
        PGresult *result = run("select pg_snapshot_xmax(s)::text, (select count(*) from pg_snapshot_xip(s)) "
                               "from pg_current_snapshot() s",
                               {}, 0);
        const qint64 bound = std::atoll(PQgetvalue(result, 0, 0));
        const qint64 running = std::atoll(PQgetvalue(result, 0, 1));
        PQclear(result);
        ChangeMarks marks;
        marks.othersCommits = running == 0 ? bound - m_ownWritingTransactions : std::numeric_limits<qint64>::min() + ++m_unusableMarks;
        const QString name = table.toLower();
        for (const TableWrites &writes : m_writes) {
            if (writes.table == name) {
                marks.inserted = writes.inserted;
                marks.rewritten = writes.rewritten;
            }
        }
        marks.unlisted = m_unlisted;
        marks.schema = m_otherCommands;
        return marks;
    }

    void keepSession() override { ensureConnected(); }

    void setSessionName(const QString &name) override
    {
        m_sessionName = name;
        if (name.isEmpty())
            PQclear(run("reset application_name", {}, 0));
        else
            nameSession();
    }

    QStringList tableNames() override
    {
        PGresult *result = run("select tablename from pg_catalog.pg_tables where schemaname = current_schema() "
                               "order by tablename collate \"C\"", {}, 0);
        QStringList names;
        for (int row = 0; row < PQntuples(result); ++row)
            names << QString::fromUtf8(PQgetvalue(result, row, 0));
        PQclear(result);
        return names;
    }

    void beginTransaction() override
    {
        m_transactionLost = false;
        m_transactionWrote = false;
        PQclear(run("begin", {}, 0));
        m_inTransaction = true;
    }

    void commit() override
    {
        PGresult *result = run("commit", {}, 0);
        m_inTransaction = false;
        endWritingTransaction();
        // After a failed statement the server ends the transaction with a rollback
        // and calls it a success: it is none.
        const bool rolledBack = qstrcmp(PQcmdStatus(result), "ROLLBACK") == 0;
        PQclear(result);
        if (rolledBack)
            throw DatabaseError(QStringLiteral("The transaction was rolled back; nothing of it was written."));
    }

    void rollback() override
    {
        m_transactionLost = false;
        const bool wasInTransaction = m_inTransaction;
        m_inTransaction = false;
        endWritingTransaction();
        // A lost connection took the transaction with it.
        if (!wasInTransaction || PQstatus(m_connection) != CONNECTION_OK)
            return;
        PQclear(run("rollback", {}, 0));
    }

    void setLastKey(qint64 key) { m_lastKey = key; }

    void endWritingTransaction()
    {
        if (std::exchange(m_transactionWrote, false))
            ++m_ownWritingTransactions;
    }

    // Runs a statement; raises DatabaseError with the server's or the client
    // library's message. The parameters are texts, or bytes where `types` says bytea.
    PGresult *run(const QByteArray &text, const std::vector<std::optional<QByteArray>> &values, int resultFormat,
                  const std::vector<Oid> &types = {}, const std::vector<int> &formats = {})
    {
        ensureConnected();
        return execute(text, values, resultFormat, types, formats);
    }

    // The same on the session as it is.
    PGresult *execute(const QByteArray &text, const std::vector<std::optional<QByteArray>> &values = {},
                      int resultFormat = 0, const std::vector<Oid> &types = {}, const std::vector<int> &formats = {})
    {
        std::vector<const char *> pointers;
        std::vector<int> lengths;
        pointers.reserve(values.size());
        lengths.reserve(values.size());
        for (const auto &value : values) {
            pointers.push_back(value ? value->constData() : nullptr);
            lengths.push_back(value ? int(value->size()) : 0);
        }
        PGresult *result = PQexecParams(m_connection, text.constData(), int(values.size()),
                                        types.empty() ? nullptr : types.data(), pointers.data(), lengths.data(),
                                        formats.empty() ? nullptr : formats.data(), resultFormat);
        const ExecStatusType status = result ? PQresultStatus(result) : PGRES_FATAL_ERROR;
        if (status == PGRES_COMMAND_OK || status == PGRES_TUPLES_OK) {
            countWrites(text, result);
            return result;
        }
        const QString message = failureMessage(result);
        PQclear(result);
        throw DatabaseError(message);
    }

    // The columns a statement would return, without running it.
    PGresult *describe(const QByteArray &text, int parameters)
    {
        ensureConnected();
        PGresult *prepared = PQprepare(m_connection, "", text.constData(), parameters, nullptr);
        if (!prepared || PQresultStatus(prepared) != PGRES_COMMAND_OK) {
            const QString message = failureMessage(prepared);
            PQclear(prepared);
            throw DatabaseError(message);
        }
        PQclear(prepared);
        PGresult *description = PQdescribePrepared(m_connection, "");
        if (!description || PQresultStatus(description) != PGRES_COMMAND_OK) {
            const QString message = failureMessage(description);
            PQclear(description);
            throw DatabaseError(message);
        }
        return description;
    }

    std::optional<ServerDialect::TableShape> shapeOf(const QString &table)
    {
        auto cached = m_shapes.constFind(table);
        if (cached != m_shapes.constEnd())
            return cached.value();
        const QByteArray name = quotedName(table).toUtf8();
        PGresult *result = run("select attname, attidentity <> '' from pg_catalog.pg_attribute "
                               "where attrelid = to_regclass($1) and attnum > 0 and not attisdropped order by attnum",
                               {name}, 0);
        ServerDialect::TableShape shape;
        for (int row = 0; row < PQntuples(result); ++row) {
            const QString column = QString::fromUtf8(PQgetvalue(result, row, 0));
            const bool identity = *PQgetvalue(result, row, 1) == 't';
            if (identity && shape.key.isEmpty())
                shape.key = column;
            if (!(identity && column == QLatin1String("rowid")))
                shape.fields << column;
        }
        const bool found = PQntuples(result) > 0;
        PQclear(result);
        if (!found)
            return std::nullopt; // asked again next time: the table may be made meanwhile
        m_shapes.insert(table, shape);
        return shape;
    }

    ServerDialect::Translation translate(const QString &sql)
    {
        return ServerDialect::translate(sql, [this](const QString &table) { return shapeOf(table); });
    }

    void forgetShapes() { m_shapes.clear(); }

private:
    void prepareSession()
    {
        // Dates as text in ISO order whatever the server's default, and no notices on
        // standard error.
        PQclear(execute("set datestyle to ISO, YMD"));
        PQclear(execute("set client_min_messages to warning"));
        nameSession();
    }

    // The name with the schema: several ledgers may share one database.
    void nameSession()
    {
        if (!m_sessionName.isEmpty())
            PQclear(execute("select set_config('application_name', left($1::text || ' ' || coalesce(current_schema(), ''), 63), false)",
                            {m_sessionName.toUtf8()}));
    }

    // Notices are not shown; a session the server ends while idle (a restart, an
    // administrator) says so with a fatal message that arrives as one.
    void watchNotices()
    {
        m_endedByServer = false;
        PQsetNoticeReceiver(
            m_connection,
            [](void *self, const PGresult *notice) {
                const char *severity = PQresultErrorField(notice, PG_DIAG_SEVERITY_NONLOCALIZED);
                if (severity && (qstrcmp(severity, "FATAL") == 0 || qstrcmp(severity, "PANIC") == 0))
                    static_cast<ServerConnection *>(self)->m_endedByServer = true;
            },
            this);
    }

    // Whether the session is known to be gone before anything is sent: the server
    // ended it while it was idle (its last words and the closed socket wait to be
    // read). Such a session is replaced without a word, since nothing was sent on it
    // that could be lost. Reads only what is there; never waits.
    bool foundEnded()
    {
        for (int reads = 0; reads < 4 && !m_endedByServer; ++reads) {
            const int socket = PQsocket(m_connection);
            if (socket < 0)
                return true;
            pollfd descriptor{socket, POLLIN, 0};
            if (::poll(&descriptor, 1, 0) <= 0)
                return false;
            if (!PQconsumeInput(m_connection))
                return true;
            // Parses what arrived: a fatal message reaches the notice receiver, and any
            // notification waits for PQnotifies.
            PQisBusy(m_connection);
            if (PQstatus(m_connection) != CONNECTION_OK)
                return true;
        }
        return m_endedByServer;
    }

    // The next command after a lost connection connects again by itself, unless the
    // connection was lost inside a transaction that the caller has not ended yet:
    // going on would write the rest of it on its own.
    void ensureConnected()
    {
        if (m_hold && m_hold->replaced)
            throw DatabaseError(m_hold->wanted.replaced);
        if (PQstatus(m_connection) == CONNECTION_OK && !foundEnded()) {
            if (m_holdLost)
                renewHold();
            return;
        }
        if (m_inTransaction) {
            // The transaction went with the session: nothing of it is written.
            m_inTransaction = false;
            m_transactionLost = true;
        }
        if (m_transactionLost)
            throw DatabaseError(unreachable(
                QStringLiteral("The connection to the database server was lost during a transaction; "
                               "nothing of it was written.")));
        PQreset(m_connection);
        watchNotices();
        if (PQstatus(m_connection) != CONNECTION_OK)
            throw DatabaseError(unreachable(trimmed(PQerrorMessage(m_connection))));
        m_shapes.clear();
        m_holdLost = m_hold.has_value();
        prepareSession();
        if (m_holdLost)
            renewHold();
    }

    // Counts the rows a statement of this session wrote, by table; a write whose table
    // the text does not name plainly, and any command that is neither a read nor a
    // write of rows (a table made or changed), is counted apart.
    void countWrites(const QByteArray &text, PGresult *result)
    {
        const char *status = PQcmdStatus(result);
        auto is = [&](const char *tag) {
            const size_t length = std::strlen(tag);
            return std::strncmp(status, tag, length) == 0 && (status[length] == ' ' || status[length] == 0);
        };
        if (!*status || is("SELECT") || is("BEGIN") || is("COMMIT") || is("ROLLBACK") || is("LISTEN") || is("SET")
            || is("RESET") || is("SHOW") || is("SAVEPOINT") || is("RELEASE") || is("START"))
            return;
        const bool insert = is("INSERT");
        if (!insert && !is("UPDATE") && !is("DELETE")) {
            ++m_otherCommands;
            return;
        }
        const qint64 rows = std::atoll(PQcmdTuples(result));
        if (rows == 0)
            return;
        // Rows written: the transaction surely took a number (counted once it ends).
        if (m_inTransaction)
            m_transactionWrote = true;
        else
            ++m_ownWritingTransactions;
        static const QRegularExpression target(
            QStringLiteral(R"re(^\s*(?:insert\s+into|update|delete\s+from)\s+(?:only\s+)?(?:"([^"]+)"|([A-Za-z_][A-Za-z0-9_]*))[\s(])re"),
            QRegularExpression::CaseInsensitiveOption);
        const QRegularExpressionMatch match = target.match(QString::fromUtf8(text));
        if (!match.hasMatch()) {
            m_unlisted += rows;
            return;
        }
        const QString table = match.capturedLength(1) ? match.captured(1) : match.captured(2).toLower();
        auto found = std::find_if(m_writes.begin(), m_writes.end(), [&](const TableWrites &w) { return w.table == table; });
        if (found == m_writes.end())
            found = m_writes.insert(m_writes.end(), TableWrites{table});
        (insert ? found->inserted : found->rewritten) += rows;
    }

    // A new session first checks that the store is still the one the hold was made on,
    // then takes the hold again.
    void renewHold()
    {
        if (firstValue(execute(m_hold->wanted.identity.toUtf8())) != m_hold->identity) {
            m_hold->replaced = true;
            throw DatabaseError(m_hold->wanted.replaced);
        }
        if (firstValue(execute(m_hold->wanted.take.toUtf8())) != "t")
            throw DatabaseError(m_hold->wanted.refusal);
        m_holdLost = false;
    }

    // The first column of the first row as text ("t"/"f" for a boolean), empty for
    // none or null; frees the result.
    static QByteArray firstValue(PGresult *result)
    {
        QByteArray value;
        if (PQntuples(result) > 0 && PQnfields(result) > 0 && !PQgetisnull(result, 0, 0))
            value = QByteArray(PQgetvalue(result, 0, 0), PQgetlength(result, 0, 0));
        PQclear(result);
        return value;
    }

    QString failureMessage(const PGresult *result)
    {
        if (PQstatus(m_connection) != CONNECTION_OK) {
            if (m_inTransaction) {
                m_transactionLost = true;
                m_inTransaction = false;
            }
            return unreachable(trimmed(PQerrorMessage(m_connection)));
        }
        const char *primary = result ? PQresultErrorField(result, PG_DIAG_MESSAGE_PRIMARY) : nullptr;
        if (primary)
            return trimmed(primary);
        return trimmed(result ? PQresultErrorMessage(result) : PQerrorMessage(m_connection));
    }

    struct Hold
    {
        SessionHold wanted;
        QByteArray identity;
        bool replaced = false;
    };

    PGconn *m_connection = nullptr;
    std::optional<Hold> m_hold;
    bool m_holdLost = false; // a new session has not taken the hold yet
    qint64 m_lastKey = 0;
    bool m_inTransaction = false;
    bool m_transactionLost = false;
    bool m_endedByServer = false;
    QString m_sessionName;
    QHash<QString, ServerDialect::TableShape> m_shapes;
    // What this connection wrote and heard (see changeMarks).
    struct TableWrites
    {
        QString table;
        qint64 inserted = 0;
        qint64 rewritten = 0;
    };
    std::vector<TableWrites> m_writes;
    qint64 m_unlisted = 0;
    qint64 m_otherCommands = 0;
    // Transactions of this session that wrote rows and have ended (a rollback too:
    // its number is used up all the same).
    qint64 m_ownWritingTransactions = 0;
    bool m_transactionWrote = false;
    qint64 m_unusableMarks = 0;
};

ServerStatement::ServerStatement(ServerConnection &connection, const QString &sql)
    : m_connection(connection), m_translation(connection.translate(sql))
{
    m_bound = m_translation.parameters == 0;
}

void ServerStatement::bind(const QVariantList &values)
{
    if (values.size() != m_translation.parameters)
        throw DatabaseError(QStringLiteral("%1 values for %2 parameters").arg(values.size()).arg(m_translation.parameters));
    clear();
    m_values.clear();
    m_types.assign(values.size(), 0);
    m_formats.assign(values.size(), 0);
    for (int i = 0; i < values.size(); ++i) {
        const QVariant &value = values.at(i);
        switch (value.typeId()) {
        case QMetaType::UnknownType:
        case QMetaType::Nullptr:
            m_values.emplace_back(std::nullopt);
            break;
        case QMetaType::Bool:
            m_values.emplace_back(QByteArray(value.toBool() ? "1" : "0"));
            break;
        case QMetaType::Int:
        case QMetaType::UInt:
        case QMetaType::LongLong:
        case QMetaType::ULongLong:
            m_values.emplace_back(QByteArray::number(value.toLongLong()));
            break;
        case QMetaType::Double:
        case QMetaType::Float: {
            // The shortest text that reads back as the same double.
            const double number = value.toDouble();
            if (std::isnan(number)) {
                m_values.emplace_back(QByteArray("NaN"));
            } else if (std::isinf(number)) {
                m_values.emplace_back(QByteArray(number > 0 ? "Infinity" : "-Infinity"));
            } else {
                char buffer[32];
                const auto end = std::to_chars(buffer, buffer + sizeof buffer, number).ptr;
                m_values.emplace_back(QByteArray(buffer, int(end - buffer)));
            }
            break;
        }
        case QMetaType::QDate:
            m_values.emplace_back(value.toDate().toString(QStringLiteral("yyyy-MM-dd")).toLatin1());
            break;
        case QMetaType::QDateTime:
            m_values.emplace_back(value.toDateTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")).toLatin1());
            break;
        case QMetaType::QByteArray:
            m_values.emplace_back(value.toByteArray());
            m_types[i] = kBytea;
            m_formats[i] = 1;
            break;
        default:
            m_values.emplace_back(value.toString().toUtf8());
            break;
        }
    }
    m_bound = true;
}

bool ServerStatement::step()
{
    if (!m_result) {
        if (!m_bound)
            throw DatabaseError(QStringLiteral("0 values for %1 parameters").arg(m_translation.parameters));
        m_result = m_connection.run(m_translation.text, m_values, 1, m_types, m_formats);
        m_changes = std::atoi(PQcmdTuples(m_result));
        m_rows = PQntuples(m_result);
        if (m_translation.returnsKey) {
            // The key the insert returned is no row of the statement.
            if (m_rows > 0) {
                m_row = m_rows - 1;
                m_connection.setLastKey(int64Value(0));
            }
            m_rows = 0;
        }
        m_row = -1;
        if (m_translation.changesLayout)
            m_connection.forgetShapes();
    }
    if (m_row + 1 < m_rows) {
        ++m_row;
        return true;
    }
    m_row = m_rows;
    return false;
}

const PGresult *ServerStatement::shape()
{
    if (m_result)
        return m_result;
    if (!m_description)
        m_description = m_connection.describe(m_translation.text, m_translation.parameters);
    return m_description;
}

} // namespace

std::unique_ptr<ConnectionBackend> openServerBackend(const QString &uri)
{
    return std::make_unique<ServerConnection>(uri);
}
