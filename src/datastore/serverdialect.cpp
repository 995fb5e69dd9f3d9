#include "serverdialect.h"

#include "apperror.h"
#include "connection.h"
#include "dialect.h"
#include "engine.h"
#include "sqlnames.h"

#include <QSet>
#include <vector>

namespace ServerDialect {

namespace {

enum class Kind { Space, Word, QuotedName, Text, Number, Parameter, Symbol };

struct Token
{
    Kind kind;
    QString text;
    int depth = 0; // parentheses open before the token

    bool isWord(const char *word) const
    {
        return kind == Kind::Word && text.compare(QLatin1String(word), Qt::CaseInsensitive) == 0;
    }
    bool isSymbol(const char *symbol) const { return kind == Kind::Symbol && text == QLatin1String(symbol); }
};

bool isNameStart(QChar c)
{
    return c.isLetter() || c == QLatin1Char('_') || c.unicode() > 127;
}

bool isNamePart(QChar c)
{
    return isNameStart(c) || c.isDigit() || c == QLatin1Char('$');
}

std::vector<Token> tokenize(const QString &sql)
{
    std::vector<Token> tokens;
    int depth = 0;
    const int size = int(sql.size());
    int i = 0;
    auto add = [&](Kind kind, int from, int to) { tokens.push_back({kind, sql.mid(from, to - from), depth}); };
    while (i < size) {
        const QChar c = sql[i];
        const int from = i;
        if (c.isSpace()) {
            while (i < size && sql[i].isSpace())
                ++i;
            add(Kind::Space, from, i);
        } else if (c == QLatin1Char('-') && i + 1 < size && sql[i + 1] == QLatin1Char('-')) {
            while (i < size && sql[i] != QLatin1Char('\n'))
                ++i;
            tokens.push_back({Kind::Space, QStringLiteral(" "), depth});
        } else if (c == QLatin1Char('\'') || c == QLatin1Char('"')) {
            ++i;
            while (i < size) {
                if (sql[i] == c) {
                    if (i + 1 < size && sql[i + 1] == c) {
                        i += 2;
                        continue;
                    }
                    break;
                }
                ++i;
            }
            if (i >= size)
                throw DatabaseError(QStringLiteral("unterminated quoted text in: %1").arg(sql));
            ++i;
            add(c == QLatin1Char('\'') ? Kind::Text : Kind::QuotedName, from, i);
        } else if (isNameStart(c)) {
            while (i < size && isNamePart(sql[i]))
                ++i;
            add(Kind::Word, from, i);
        } else if (c.isDigit() || (c == QLatin1Char('.') && i + 1 < size && sql[i + 1].isDigit())) {
            while (i < size && (sql[i].isLetterOrNumber() || sql[i] == QLatin1Char('.')
                                || ((sql[i] == QLatin1Char('+') || sql[i] == QLatin1Char('-'))
                                    && sql[i - 1].toLower() == QLatin1Char('e'))))
                ++i;
            add(Kind::Number, from, i);
        } else if (c == QLatin1Char('?')) {
            ++i;
            add(Kind::Parameter, from, i);
        } else {
            static const QStringList pairs = {QStringLiteral(">="), QStringLiteral("<="), QStringLiteral("<>"),
                                              QStringLiteral("!="), QStringLiteral("||"), QStringLiteral("::"),
                                              QStringLiteral("==")};
            i += (i + 1 < size && pairs.contains(sql.mid(i, 2))) ? 2 : 1;
            if (c == QLatin1Char(')'))
                --depth;
            add(Kind::Symbol, from, i);
            if (c == QLatin1Char('('))
                ++depth;
        }
    }
    return tokens;
}

QString unquotedName(const Token &token)
{
    if (token.kind == Kind::QuotedName)
        return token.text.mid(1, token.text.size() - 2).replace(QStringLiteral("\"\""), QStringLiteral("\""));
    return token.text.toLower();
}

bool isAggregate(const Token &token)
{
    static const QSet<QString> names = {QStringLiteral("count"), QStringLiteral("sum"), QStringLiteral("min"),
                                        QStringLiteral("max"), QStringLiteral("avg"), QStringLiteral("total"),
                                        QStringLiteral("group_concat"), QStringLiteral("string_agg")};
    return token.kind == Kind::Word && names.contains(token.text.toLower());
}

class Rewriter
{
public:
    Rewriter(const QString &sql, const ShapeLookup &shapeOf) : m_sql(sql), m_tokens(tokenize(sql)), m_shapeOf(shapeOf)
    {
        for (size_t i = 0; i < m_tokens.size(); ++i) {
            if (m_tokens[i].kind != Kind::Space)
                m_significant.push_back(int(i));
        }
    }

    Translation run()
    {
        Translation result;
        if (m_significant.empty())
            return result;
        const Token &first = token(0);
        const bool select = first.isWord("select");
        const bool insert = first.isWord("insert");
        result.changesLayout = first.isWord("create") || first.isWord("drop") || first.isWord("alter");

        const std::optional<TableShape> shape = lookUp(mainTable());
        const bool tableOrder = select && shape && !shape->key.isEmpty() && listsWholeTable();
        if (select)
            expandStars(shape);
        renameKey(shape);
        rewriteExpressions();
        placeNulls();

        QString tail;
        if (insert && shape && !shape->key.isEmpty() && !hasWord("returning")) {
            tail = QStringLiteral(" returning ") + quotedName(shape->key);
            result.returnsKey = true;
        }
        if (tableOrder)
            tail = QStringLiteral(" order by ") + quotedName(shape->key);

        QString text;
        int parameters = 0;
        for (const Token &t : m_tokens) {
            if (t.kind == Kind::Parameter)
                text += QString(t.text).replace(QLatin1Char('?'), QLatin1Char('$') + QString::number(++parameters));
            else
                text += t.text;
        }
        // A statement may end in a semicolon: the additions go before it.
        while (text.endsWith(QLatin1Char(';')) || (!text.isEmpty() && text.back().isSpace()))
            text.chop(1);
        result.text = (text + tail).toUtf8();
        result.parameters = parameters;
        return result;
    }

private:
    Token &token(int significant) { return m_tokens[m_significant[significant]]; }
    int count() const { return int(m_significant.size()); }

    bool hasWord(const char *word) const
    {
        for (const Token &t : m_tokens) {
            if (t.isWord(word))
                return true;
        }
        return false;
    }

    int findTopLevelWord(const char *word, int from = 0)
    {
        for (int i = from; i < count(); ++i) {
            if (token(i).depth == 0 && token(i).isWord(word))
                return i;
        }
        return -1;
    }

    // The table a statement reads or writes: after `from` of a select or delete, after
    // `into` of an insert, after `update`.
    QString mainTable()
    {
        const Token &first = token(0);
        int at = -1;
        if (first.isWord("select") || first.isWord("delete")) {
            const int from = findTopLevelWord("from");
            at = from >= 0 ? from + 1 : -1;
        } else if (first.isWord("insert")) {
            const int into = findTopLevelWord("into");
            at = into >= 0 ? into + 1 : -1;
        } else if (first.isWord("update")) {
            at = 1;
        }
        if (at < 0 || at >= count() || (token(at).kind != Kind::Word && token(at).kind != Kind::QuotedName))
            return {};
        m_tableToken = at;
        return unquotedName(token(at));
    }

    std::optional<TableShape> lookUp(const QString &table)
    {
        if (table.isEmpty())
            return std::nullopt;
        return m_shapeOf(table);
    }

    void expandStars(const std::optional<TableShape> &shape)
    {
        if (!shape || m_tableToken < 0)
            return;
        QStringList names;
        for (const QString &field : shape->fields)
            names << quotedName(field);
        for (int i = 1; i < m_tableToken; ++i) {
            Token &t = token(i);
            if (t.depth != 0 || !t.isSymbol("*"))
                continue;
            const Token &before = token(i - 1);
            if (before.isWord("select") || before.isSymbol(","))
                t.text = names.join(QStringLiteral(", "));
        }
    }

    void renameKey(const std::optional<TableShape> &shape)
    {
        if (!shape || shape->key.isEmpty() || shape->key == QLatin1String("rowid"))
            return;
        for (Token &t : m_tokens) {
            if (t.isWord("rowid"))
                t.text = quotedName(shape->key);
        }
    }

    void rewriteExpressions()
    {
        for (int i = 0; i < count(); ++i) {
            Token &t = token(i);
            if (t.isWord("like")) {
                // Only ASCII letters fold, whatever the server's locale: the columns
                // are of the "C" collation, and so is the pattern.
                t.text = QStringLiteral("ilike");
                rewriteLikePattern(i);
            } else if (t.isWord("collate") && i + 1 < count() && token(i + 1).isWord("nocase")) {
                rewriteNocase(i);
            } else if ((t.isWord("year") || t.isWord("month") || t.isWord("day")) && i + 1 < count()
                       && token(i + 1).isSymbol("(") && !(i > 0 && token(i - 1).isSymbol("."))) {
                rewriteDatePart(i);
            } else if (t.isSymbol("+") && i > 0 && i + 1 < count() && isUnaryPosition(i - 1)
                       && (token(i + 1).kind == Kind::Word || token(i + 1).kind == Kind::QuotedName)) {
                t.text.clear();
            }
        }
    }

    // The embedded engine counts a null below every value: first when ascending, last
    // when descending. The server's default is the opposite. The row key is never null
    // and keeps the server's default, so its index serves the order either way.
    void placeNulls()
    {
        for (int i = 0; i + 1 < count(); ++i) {
            if (!token(i).isWord("order") || !token(i + 1).isWord("by"))
                continue;
            const int depth = token(i).depth;
            int term = i + 2;
            while (term < count()) {
                int end = term;
                bool descending = false;
                bool placed = false;
                while (end < count()) {
                    const Token &t = token(end);
                    if (t.depth < depth || (t.depth == depth && (t.isSymbol(",") || t.isSymbol(")") || t.isSymbol(";")
                                                                 || t.isWord("limit") || t.isWord("offset"))))
                        break;
                    if (t.depth == depth && t.isWord("desc"))
                        descending = true;
                    if (t.depth == depth && t.isWord("asc"))
                        descending = false;
                    if (t.depth == depth && t.isWord("nulls"))
                        placed = true;
                    ++end;
                }
                bool key = end > term && token(term).isWord("rowid");
                for (int t = term + 1; key && t < end; ++t)
                    key = token(t).isWord("asc") || token(t).isWord("desc");
                if (end > term && !placed && !key)
                    token(end - 1).text += descending ? QStringLiteral(" nulls last") : QStringLiteral(" nulls first");
                if (end < count() && token(end).depth == depth && token(end).isSymbol(","))
                    term = end + 1;
                else
                    break;
            }
        }
    }

    void rewriteLikePattern(int like)
    {
        // `x like ?` compares under the pattern's collation as well: give the pattern
        // the columns' one, so neither side folds by the server's locale.
        if (like + 1 < count() && token(like + 1).kind == Kind::Parameter)
            token(like + 1).text += QStringLiteral("::text collate \"C\"");
    }

    bool isUnaryPosition(int previous)
    {
        const Token &t = token(previous);
        if (t.kind == Kind::Symbol)
            return !t.isSymbol(")");
        static const QSet<QString> words = {QStringLiteral("and"),  QStringLiteral("or"),    QStringLiteral("not"),
                                            QStringLiteral("where"), QStringLiteral("select"), QStringLiteral("on"),
                                            QStringLiteral("when"),  QStringLiteral("then"),  QStringLiteral("else"),
                                            QStringLiteral("by"),    QStringLiteral("having"), QStringLiteral("between")};
        return t.kind == Kind::Word && words.contains(t.text.toLower());
    }

    bool isOperand(const Token &t) const
    {
        return t.kind == Kind::Word || t.kind == Kind::QuotedName || t.kind == Kind::Text || t.kind == Kind::Parameter;
    }

    void rewriteNocase(int collate)
    {
        // `a = b collate nocase`: the embedded engine folds ASCII letters only.
        if (collate < 3 || !isOperand(token(collate - 1)) || !token(collate - 2).isSymbol("=")
            || !isOperand(token(collate - 3)))
            throw DatabaseError(QStringLiteral("collate nocase is said only as \"a = b collate nocase\": %1").arg(m_sql));
        auto lowered = [](Token &operand) {
            operand.text = QStringLiteral("lower((%1)::text collate \"C\")").arg(operand.text);
        };
        lowered(token(collate - 3));
        lowered(token(collate - 1));
        token(collate).text.clear();
        token(collate + 1).text.clear();
    }

    void rewriteDatePart(int name)
    {
        const int open = name + 1;
        const int depth = token(open).depth;
        int close = -1;
        for (int i = open + 1; i < count(); ++i) {
            if (token(i).isSymbol(")") && token(i).depth == depth) {
                close = i;
                break;
            }
        }
        if (close < 0)
            throw DatabaseError(QStringLiteral("unbalanced parentheses: %1").arg(m_sql));
        token(name).text = QStringLiteral("cast(extract(%1 from ").arg(token(name).text.toLower());
        token(open).text.clear();
        token(close).text = QStringLiteral(") as integer)");
    }

    // A select of rows from one table with no order, grouping or aggregate of its own:
    // the embedded engine lists such rows in the order they were added. A statement
    // that reads the key itself can put the rows in order (and may not want the
    // server's slower walk along the key index).
    bool listsWholeTable()
    {
        if (m_tableToken < 0)
            return false;
        for (int i = 1; i < m_tableToken; ++i) {
            if (token(i).depth == 0 && token(i).isWord("rowid"))
                return false;
        }
        for (const char *word : {"order", "group", "limit", "union", "distinct", "join", "having", "offset"}) {
            if (hasWord(word))
                return false;
        }
        for (int i = 1; i < m_tableToken; ++i) {
            if (isAggregate(token(i)) && i + 1 < count() && token(i + 1).isSymbol("("))
                return false;
        }
        // One table: nothing but a condition may follow it.
        const int next = m_tableToken + 1;
        return next >= count() || token(next).isWord("where") || token(next).isSymbol(";");
    }

    QString m_sql;
    std::vector<Token> m_tokens;
    std::vector<int> m_significant;
    const ShapeLookup &m_shapeOf;
    int m_tableToken = -1;
};

} // namespace

Translation translate(const QString &sql, const ShapeLookup &shapeOf)
{
    return Rewriter(sql, shapeOf).run();
}

} // namespace ServerDialect

namespace {

// The database server. Texts are of the "C" collation, so the server compares, groups
// and orders them by their bytes as the embedded engine does, and folds only ASCII
// letters where a comparison ignores case; Chinese texts are put in pinyin order by the
// application, never by the server's locale.
class ServerSqlDialect final : public Dialect
{
public:
    QString columnType(FieldType type) const override
    {
        switch (type) {
        case FieldType::Text:
        case FieldType::Unknown:
            return text();
        case FieldType::Number:
            return QStringLiteral("double precision");
        case FieldType::Integer:
            return QStringLiteral("bigint");
        case FieldType::Date:
            // A date that may carry a time of day (sales of the Windows version do):
            // whole seconds, which compare, order and group by date as the file's date
            // texts do. The engine reads this type (modifier 0) as a date.
            return QStringLiteral("timestamp(0)");
        case FieldType::DateTime:
            return QStringLiteral("timestamp");
        }
        return text();
    }

    QString writtenTimeType() const override { return text(); }

    // An identity column named rowid, hidden from every "select *" (see translate).
    QString keyColumn() const override { return QStringLiteral("rowid bigint generated always as identity primary key"); }

    QString ownKeyColumn(const QString &name) const override
    {
        return quotedName(name) + QStringLiteral(" bigint generated by default as identity primary key");
    }

    void continueKey(Connection &connection, const QString &table, const QString &column) const override
    {
        connection.execute(
            QStringLiteral("select setval(pg_get_serial_sequence(?, ?), coalesce(max(%2), 0) + 1, false) from %1")
                .arg(quotedName(table), quotedName(column)),
            {quotedName(table), column});
    }

    bool hasIndex(Connection &connection, const QString &name) const override
    {
        return connection.scalar(QStringLiteral("select to_regclass(?) is not null"), {quotedName(name)}).toBool();
    }

    QString coveringIndex(const QString &name, const QString &table, const QStringList &columns,
                          const QStringList &carried, const QString &condition) const override
    {
        QString statement =
            QStringLiteral("create index if not exists %1 on %2 (%3)").arg(name, table, columns.join(QStringLiteral(", ")));
        if (!carried.isEmpty())
            statement += QStringLiteral(" include (%1)").arg(carried.join(QStringLiteral(", ")));
        if (!condition.isEmpty())
            statement += QStringLiteral(" where ") + condition;
        return statement;
    }

    bool boundsIndexEntries() const override { return true; }

    QStringList unboundedTextIndexes(Connection &connection, const QString &table,
                                     const QString &namePattern) const override
    {
        Statement statement = connection.prepare(
            QStringLiteral("select c.relname from pg_catalog.pg_index i "
                           "join pg_catalog.pg_class c on c.oid = i.indexrelid "
                           "join pg_catalog.pg_attribute a on a.attrelid = i.indrelid and a.attnum = i.indkey[0] "
                           "where i.indrelid = to_regclass(?) and c.relname like ? "
                           "and a.atttypid = 'pg_catalog.text'::pg_catalog.regtype and i.indpred is null"));
        statement.bind({quotedName(table), namePattern});
        QStringList names;
        while (statement.step())
            names << statement.value(0).toString();
        return names;
    }

    std::optional<double> distinctValues(Connection &connection, const QString &table,
                                         const QString &field) const override
    {
        const QVariant estimate = connection.scalar(
            QStringLiteral("select case when s.n_distinct >= 0 then s.n_distinct "
                           "else -s.n_distinct * greatest(c.reltuples, 0) end "
                           "from pg_catalog.pg_stats s join pg_catalog.pg_class c on c.oid = to_regclass(?) "
                           "where s.schemaname = current_schema() and s.tablename = ? and s.attname = ?"),
            {quotedName(table), table, field});
        if (!estimate.isValid())
            return std::nullopt;
        return estimate.toDouble();
    }

    // A million keys over the network cost several times what the server takes to
    // count a field's values.
    bool readsKeysInPages() const override { return true; }
    bool sortsInRuns() const override { return true; }

    // The server takes 65535 values in one statement; a batch stays well below.
    int mostBoundValues() const override { return 30000; }

    QString nullSafeEquals() const override { return QStringLiteral("is not distinct from"); }

    // A ledger is a schema: one channel per schema.
    bool announcesCommits() const override { return true; }

    QString ledgerChannel(Connection &connection, const QString &prefix) const override
    {
        return prefix + connection.scalar(QStringLiteral("select current_schema()")).toString();
    }

    void announce(Connection &connection, const QString &prefix, const QString &payload) const override
    {
        connection.execute(QStringLiteral("select pg_notify(?::text || current_schema(), ?)"), {prefix, payload});
    }

    int sessionId(Connection &connection) const override
    {
        return connection.scalar(QStringLiteral("select pg_backend_pid()")).toInt();
    }

    std::optional<qint64> othersCommits(Connection &) const override { return std::nullopt; }

    bool copiesLedgerOnline() const override { return false; }

    // An advisory lock of the session, two-part: this program's class, then the ledger
    // (its schema).
    bool locksLedgerInSession() const override { return true; }

    QString sessionLockCall(bool shared, bool take) const override
    {
        // The first key of the two names this program's locks.
        constexpr int kLockClass = 0x51554d4c;
        const QString function = take ? QStringLiteral("pg_try_advisory_lock") : QStringLiteral("pg_advisory_unlock");
        return QStringLiteral("%1%2(%3, hashtext(current_schema()))")
            .arg(function, shared ? QStringLiteral("_shared") : QString())
            .arg(kLockClass);
    }

    QString tableStandsQuery(const QString &table) const override
    {
        return QStringLiteral("select to_regclass('%1')::oid").arg(table);
    }

    // Sessions carry their name followed by the ledger's schema, cut to the length
    // the server keeps.
    int otherSessionsNamed(Connection &connection, const QString &name) const override
    {
        return connection
            .scalar(QStringLiteral("select count(*) from pg_stat_activity where datname = current_database() "
                                   "and pid <> pg_backend_pid() "
                                   "and application_name = left(?::text || ' ' || coalesce(current_schema(), ''), 63)"),
                    {name})
            .toInt();
    }

    // A server's ledger comes in as a dump, read by DumpLedgerBackup.
    std::vector<SchemaObject> schemaObjects(Connection &) const override { return {}; }

    std::optional<double> secondsSinceStart(Connection &connection) const override
    {
        return connection.scalar(QStringLiteral("select extract(epoch from now() - pg_postmaster_start_time())::float8"))
            .toDouble();
    }

private:
    static QString text() { return QStringLiteral("text collate \"C\""); }
};

} // namespace

const Dialect &serverDialect()
{
    static const ServerSqlDialect dialect;
    return dialect;
}
