#include "connection.h"
#include "dialect.h"
#include "engine.h"

namespace {

// The encrypted embedded file. Its columns take any value; the declared type is what
// the engine reads back as the field's type (see fieldTypeFromDeclaration).
class EmbeddedDialect final : public Dialect
{
public:
    QString columnType(FieldType type) const override
    {
        switch (type) {
        case FieldType::Text:
            return QStringLiteral("text");
        case FieldType::Number:
            return QStringLiteral("real");
        case FieldType::Integer:
            return QStringLiteral("integer");
        case FieldType::Date:
            // "yyyy-MM-dd" texts, which compare in date order.
            return QStringLiteral("date");
        case FieldType::DateTime:
            return QStringLiteral("datetime");
        case FieldType::Unknown:
            break;
        }
        // No declared type: the engine stores values as they come.
        return {};
    }

    QString writtenTimeType() const override { return QStringLiteral("datetime"); }

    // Every table has the engine's own rowid.
    QString keyColumn() const override { return {}; }

    QString ownKeyColumn(const QString &name) const override
    {
        return quotedName(name) + QStringLiteral(" integer primary key autoincrement");
    }

    // The engine continues after the largest key by itself.
    void continueKey(Connection &, const QString &, const QString &) const override {}

    bool hasIndex(Connection &connection, const QString &name) const override
    {
        return connection.scalar(QStringLiteral("select count(*) from sqlite_master where type='index' and name=?"), {name})
                   .toInt()
               > 0;
    }

    // No included columns here: carried columns follow the indexed ones, and the engine
    // reads them from the index all the same.
    QString coveringIndex(const QString &name, const QString &table, const QStringList &columns,
                          const QStringList &carried, const QString &condition) const override
    {
        QString statement = QStringLiteral("create index if not exists %1 on %2 (%3)")
                                .arg(name, table, (columns + carried).join(QStringLiteral(", ")));
        if (!condition.isEmpty())
            statement += QStringLiteral(" where ") + condition;
        return statement;
    }

    bool boundsIndexEntries() const override { return false; }

    QStringList unboundedTextIndexes(Connection &, const QString &, const QString &) const override { return {}; }

    std::optional<double> distinctValues(Connection &, const QString &, const QString &) const override
    {
        return std::nullopt;
    }

    // The file reads its keys quicker than a page count would cost.
    bool readsKeysInPages() const override { return false; }
    // The file reads its keys quicker than counting runs would cost.
    bool sortsInRuns() const override { return false; }

    int mostBoundValues() const override { return 999; }

    QString nullSafeEquals() const override { return QStringLiteral("is"); }

    // One file, no notifications: a reader looks at the engine's change counter.
    bool announcesCommits() const override { return false; }
    QString ledgerChannel(Connection &, const QString &prefix) const override { return prefix; }
    void announce(Connection &, const QString &, const QString &) const override {}
    int sessionId(Connection &) const override { return 0; }

    // Moves only for other connections' commits.
    std::optional<qint64> othersCommits(Connection &connection) const override
    {
        return connection.scalar(QStringLiteral("pragma data_version")).toLongLong();
    }

    bool copiesLedgerOnline() const override { return true; }

    // A file ledger is locked through its folder (LedgerLock), by whoever opens it.
    bool locksLedgerInSession() const override { return false; }
    QString sessionLockCall(bool, bool) const override { return {}; }
    QString tableStandsQuery(const QString &) const override { return {}; }
    int otherSessionsNamed(Connection &, const QString &) const override { return 0; }
    std::optional<double> secondsSinceStart(Connection &) const override { return std::nullopt; }

    std::vector<SchemaObject> schemaObjects(Connection &connection) const override
    {
        // The engine's own bookkeeping: the counters of autoincrement keys, the
        // statistics of the query planner. (A virtual table of such a name is not.)
        const QStringList bookkeeping = {QStringLiteral("sqlite_sequence"), QStringLiteral("sqlite_stat1"),
                                         QStringLiteral("sqlite_stat4")};
        std::vector<SchemaObject> objects;
        Statement rows = connection.prepare(
            QStringLiteral("select type, name, tbl_name, coalesce(sql, '') from sqlite_master order by type desc, name"));
        while (rows.step()) {
            SchemaObject object{rows.value(0).toString(), rows.value(1).toString(), rows.value(2).toString()};
            const bool isVirtual =
                rows.value(3).toString().simplified().startsWith(QLatin1String("create virtual"), Qt::CaseInsensitive);
            if (isVirtual)
                object.type = QStringLiteral("virtual table");
            else if (object.type == QLatin1String("table") && bookkeeping.contains(object.name, Qt::CaseInsensitive))
                continue;
            objects.push_back(object);
        }
        return objects;
    }
};

} // namespace

const Dialect &embeddedDialect()
{
    static const EmbeddedDialect dialect;
    return dialect;
}
