#include "salejournal.h"

#include "apperror.h"
#include "clock.h"
#include "connection.h"
#include "dialect.h"
#include "ledgerchanges.h"
#include "rowsource.h"
#include "transaction.h"
#include "sqlnames.h"

#include <QHash>
#include <QSysInfo>
#include <algorithm>

namespace SaleJournal {

namespace {

const QString kData = QStringLiteral("data");

QString deletedTable()
{
    return QString::fromLatin1(kDeletedSales);
}

QString changesTable()
{
    return QString::fromLatin1(kSaleChanges);
}

// The journal's own columns; a column of data of the same name is not kept.
const QStringList &metaColumns()
{
    static const QStringList names = {QStringLiteral("deleted_at"), QStringLiteral("deleted_by"),
                                      QStringLiteral("sale_key"),   QStringLiteral("bin_key"),
                                      QStringLiteral("changed_at"), QStringLiteral("changed_by"),
                                      QStringLiteral("deleted_on"), QStringLiteral("changed_on")};
    return names;
}

struct Column
{
    QString name;
    FieldType type;
};

// The columns of data the journal keeps, with their types.
std::vector<Column> dataColumns(Connection &connection)
{
    Statement shape = connection.prepare(QStringLiteral("select * from data limit 0"));
    std::vector<Column> columns;
    for (int i = 0; i < shape.columnCount(); ++i) {
        const QString name = shape.columnName(i);
        if (!metaColumns().contains(name))
            columns.push_back({name, shape.declaredType(i)});
    }
    return columns;
}

QString columnDefinition(const Connection &connection, const Column &column)
{
    return (quotedName(column.name) + QLatin1Char(' ') + connection.dialect().columnType(column.type)).trimmed();
}

void createTable(Connection &connection, const QString &table, const std::vector<Column> &meta,
                 const std::vector<Column> &columns, const Column &terminal)
{
    QStringList definitions;
    for (const Column &column : meta)
        definitions << columnDefinition(connection, column);
    for (const Column &column : columns)
        definitions << columnDefinition(connection, column);
    definitions << columnDefinition(connection, terminal);
    // The same hidden row key as data's.
    if (!connection.dialect().keyColumn().isEmpty())
        definitions << connection.dialect().keyColumn();
    connection.execute(QStringLiteral("create table %1 (%2)").arg(table, definitions.join(QStringLiteral(", "))));
}

std::vector<Column> deletedMeta()
{
    return {{QStringLiteral("deleted_at"), FieldType::DateTime}, {QStringLiteral("deleted_by"), FieldType::Text}};
}

// Came after the first ledgers: last, so that a ledger given it later has the same
// column order as a new one.
Column deletedTerminal()
{
    return {QStringLiteral("deleted_on"), FieldType::Text};
}

Column changesTerminal()
{
    return {QStringLiteral("changed_on"), FieldType::Text};
}

std::vector<Column> changesMeta()
{
    return {{QStringLiteral("sale_key"), FieldType::Integer},
            {QStringLiteral("bin_key"), FieldType::Integer},
            {QStringLiteral("changed_at"), FieldType::DateTime},
            {QStringLiteral("changed_by"), FieldType::Text}};
}

// What is missing: whole tables, or columns of data a table lacks.
struct Gaps
{
    bool deletedMissing = false;
    bool changesMissing = false;
    std::vector<Column> deletedColumns;
    std::vector<Column> changesColumns;

    bool none() const
    {
        return !deletedMissing && !changesMissing && deletedColumns.empty() && changesColumns.empty();
    }
};

Gaps findGaps(Connection &connection)
{
    Gaps gaps;
    const QStringList tables = connection.tableNames();
    gaps.deletedMissing = !tables.contains(deletedTable());
    gaps.changesMissing = !tables.contains(changesTable());
    const std::vector<Column> columns = dataColumns(connection);
    auto missingIn = [&](const QString &table, const Column &terminal) {
        const QStringList present = connection.tableFields(table);
        std::vector<Column> missing;
        for (const Column &column : columns) {
            if (!present.contains(column.name))
                missing.push_back(column);
        }
        if (!present.contains(terminal.name))
            missing.push_back(terminal);
        return missing;
    };
    if (!gaps.deletedMissing)
        gaps.deletedColumns = missingIn(deletedTable(), deletedTerminal());
    if (!gaps.changesMissing)
        gaps.changesColumns = missingIn(changesTable(), changesTerminal());
    return gaps;
}

void fillGaps(Connection &connection, const Gaps &gaps)
{
    const std::vector<Column> columns = dataColumns(connection);
    if (gaps.deletedMissing)
        createTable(connection, deletedTable(), deletedMeta(), columns, deletedTerminal());
    if (gaps.changesMissing) {
        createTable(connection, changesTable(), changesMeta(), columns, changesTerminal());
        connection.execute(QStringLiteral("create index sale_changes_sale on sale_changes (sale_key)"));
        connection.execute(QStringLiteral("create index sale_changes_bin on sale_changes (bin_key)"));
    }
    for (const Column &column : gaps.deletedColumns)
        connection.execute(QStringLiteral("alter table %1 add column %2").arg(deletedTable(), columnDefinition(connection, column)));
    for (const Column &column : gaps.changesColumns)
        connection.execute(QStringLiteral("alter table %1 add column %2").arg(changesTable(), columnDefinition(connection, column)));
}

QDateTime timeOf(const Stamp &stamp)
{
    return stamp.time.isValid() ? stamp.time : Clock::now();
}

QDateTime asDateTime(const QVariant &value)
{
    return timeRead(value);
}

// Reads entries whose first four columns are the row key, the time, the operator and
// the terminal.
std::vector<Entry> readEntries(Statement &rows, int fieldCount, bool withSaleKey)
{
    std::vector<Entry> entries;
    const int first = withSaleKey ? 5 : 4;
    while (rows.step()) {
        Entry entry;
        entry.key = rows.int64Value(0);
        entry.time = asDateTime(rows.value(1));
        entry.operatorName = rows.value(2).toString();
        entry.terminal = rows.value(3).toString();
        if (withSaleKey)
            entry.saleKey = rows.isNull(4) ? 0 : rows.int64Value(4);
        for (int i = 0; i < fieldCount; ++i)
            entry.values << rows.value(first + i);
        entries.push_back(std::move(entry));
    }
    return entries;
}

} // namespace

QDateTime timeRead(const QVariant &value)
{
    if (value.typeId() == QMetaType::QDateTime)
        return value.toDateTime();
    const QString text = value.toString();
    for (const char *format : {"yyyy-MM-dd HH:mm:ss", "yyyy-MM-dd HH:mm:ss.zzz", "yyyy-MM-ddTHH:mm:ss"}) {
        const QDateTime time = QDateTime::fromString(text, QString::fromLatin1(format));
        if (time.isValid())
            return time;
    }
    return {};
}

void addTables(Connection &connection)
{
    Gaps all;
    all.deletedMissing = all.changesMissing = true;
    fillGaps(connection, all);
}

void ensureTables(Connection &connection)
{
    if (findGaps(connection).none())
        return;
    try {
        inTransaction(connection, [&] { fillGaps(connection, findGaps(connection)); });
    } catch (...) {
        // Another terminal that opened the ledger at the same moment may have made
        // them: what counts is that they are there now.
        if (findGaps(connection).none())
            return;
        throw;
    }
}

QStringList keptFields(Connection &connection)
{
    const QStringList deleted = connection.tableFields(deletedTable());
    const QStringList changes = connection.tableFields(changesTable());
    QStringList fields;
    for (const Column &column : dataColumns(connection)) {
        if (deleted.contains(column.name) && changes.contains(column.name))
            fields << column.name;
    }
    return fields;
}

int recordOldValues(Connection &connection, const QString &condition, const QVariantList &values, const Stamp &stamp)
{
    const QString fields = quotedNames(keptFields(connection));
    const int kept = connection.execute(
        QStringLiteral("insert into sale_changes (sale_key,%1) select rowid,%1 from data where %2").arg(fields, condition),
        values);
    // The stamp goes in afterwards: a value in the select list would have no column
    // type the server could infer it from. Only this transaction's rows lack one.
    if (kept > 0)
        connection.execute(
            QStringLiteral("update sale_changes set changed_at=?, changed_by=?, changed_on=? where changed_at is null"),
            {timeOf(stamp), stamp.operatorName, stamp.terminal});
    LedgerChanges::announce(connection, {0, kept, 0});
    return kept;
}

qint64 keepDeleted(Connection &connection, qint64 saleKey, const Stamp &stamp)
{
    const QString fields = quotedNames(keptFields(connection));
    if (connection.execute(QStringLiteral("insert into deleted_sales (%1) select %1 from data where rowid=?").arg(fields),
                           {saleKey})
        == 0)
        return 0;
    const qint64 binKey = connection.lastInsertRowId();
    connection.execute(QStringLiteral("update deleted_sales set deleted_at=?, deleted_by=?, deleted_on=? where rowid=?"),
                       {timeOf(stamp), stamp.operatorName, stamp.terminal, binKey});
    connection.execute(QStringLiteral("update sale_changes set sale_key=null, bin_key=? where sale_key=?"),
                       {binKey, saleKey});
    connection.execute(QStringLiteral("update sale_origins set sale_key=null, bin_key=? where sale_key=?"),
                       {binKey, saleKey});
    connection.execute(QStringLiteral("update payment_sales set sale_key=null, bin_key=? where sale_key=?"),
                       {binKey, saleKey});
    LedgerChanges::announce(connection, {0, 0, 1});
    return binKey;
}

int updateSales(Connection &connection, const QString &assignments, const QVariantList &assignmentValues,
                const QString &condition, const QVariantList &conditionValues, const Stamp &stamp)
{
    return inTransaction(connection, [&] {
        recordOldValues(connection, condition, conditionValues, stamp);
        return connection.execute(QStringLiteral("update data set %1 where %2").arg(assignments, condition),
                                  assignmentValues + conditionValues);
    });
}

std::vector<Entry> deletedSales(Connection &connection)
{
    const QStringList fields = keptFields(connection);
    Statement rows = connection.prepare(QStringLiteral("select rowid, deleted_at, deleted_by, deleted_on, %1 from deleted_sales "
                                                       "order by deleted_at desc, rowid desc")
                                            .arg(quotedNames(fields)));
    return readEntries(rows, int(fields.size()), false);
}

qint64 restoreDeleted(Connection &connection, qint64 binKey)
{
    return inTransaction(connection, [&] {
        const QString fields = quotedNames(keptFields(connection));
        if (connection.execute(QStringLiteral("insert into data (%1) select %1 from deleted_sales where rowid=?").arg(fields),
                               {binKey})
            == 0)
            throw DatabaseError(QString::fromLatin1(kRowNotLocated));
        const qint64 saleKey = connection.lastInsertRowId();
        // Another terminal putting back the same sale at the same moment: only one of
        // the two empties the bin's row.
        if (connection.execute(QStringLiteral("delete from deleted_sales where rowid=?"), {binKey}) == 0)
            throw DatabaseError(QString::fromLatin1(kRowNotLocated));
        connection.execute(QStringLiteral("update sale_changes set sale_key=?, bin_key=null where bin_key=?"),
                           {saleKey, binKey});
        connection.execute(QStringLiteral("update sale_origins set sale_key=?, bin_key=null where bin_key=?"),
                           {saleKey, binKey});
        connection.execute(QStringLiteral("update payment_sales set sale_key=?, bin_key=null where bin_key=?"),
                           {saleKey, binKey});
        LedgerChanges::announce(connection, {1, 0, 0});
        return saleKey;
    });
}

std::vector<ChangedSale> changedSales(Connection &connection)
{
    const QStringList fields = keptFields(connection);
    QHash<qint64, ChangedSale> sales;
    Statement counts = connection.prepare(QStringLiteral(
        "select sale_key, count(*), max(changed_at) from sale_changes where sale_key is not null group by sale_key"));
    while (counts.step()) {
        ChangedSale sale;
        sale.saleKey = counts.int64Value(0);
        sale.changes = int(counts.int64Value(1));
        sale.lastChange = asDateTime(counts.value(2));
        sales.insert(sale.saleKey, sale);
    }
    Statement current = connection.prepare(
        QStringLiteral("select rowid, %1 from data where rowid in (select sale_key from sale_changes)").arg(quotedNames(fields)));
    std::vector<ChangedSale> result;
    while (current.step()) {
        auto found = sales.find(current.int64Value(0));
        if (found == sales.end())
            continue;
        for (int i = 0; i < fields.size(); ++i)
            found->current << current.value(1 + i);
        result.push_back(*found);
    }
    std::sort(result.begin(), result.end(), [](const ChangedSale &a, const ChangedSale &b) {
        return a.lastChange != b.lastChange ? a.lastChange > b.lastChange : a.saleKey > b.saleKey;
    });
    return result;
}

std::vector<Entry> changesOf(Connection &connection, qint64 saleKey)
{
    const QStringList fields = keptFields(connection);
    Statement rows = connection.prepare(QStringLiteral("select rowid, changed_at, changed_by, changed_on, sale_key, %1 from sale_changes "
                                                       "where sale_key=? order by changed_at desc, rowid desc")
                                            .arg(quotedNames(fields)));
    rows.bind({saleKey});
    return readEntries(rows, int(fields.size()), true);
}

QString thisTerminal()
{
    return QSysInfo::machineHostName();
}

Stamp SalesWriteJournal::stamp() const
{
    return {m_operatorName, Clock::now()};
}

void SalesWriteJournal::beforeUpdate(Connection &connection, const QString &table, qint64 rowKey)
{
    if (table == kData)
        recordOldValues(connection, QStringLiteral("rowid=?"), {rowKey}, stamp());
}

void SalesWriteJournal::afterInsert(Connection &connection, const QString &table, qint64 rowKey)
{
    if (table != kData)
        return;
    const Stamp now = stamp();
    connection.execute(QStringLiteral("insert into sale_origins (sale_key, sold_by, sold_on, sold_at) values (?, ?, ?, ?)"),
                       {rowKey, now.operatorName, now.terminal, timeOf(now)});
    LedgerChanges::announce(connection, {1, 0, 0});
}

SaleOrigin originOf(Connection &connection, qint64 saleKey)
{
    Statement row = connection.prepare(QStringLiteral("select sold_by, sold_on, sold_at from sale_origins where sale_key=?"));
    row.bind({saleKey});
    SaleOrigin origin;
    if (row.step()) {
        origin.operatorName = row.value(0).toString();
        origin.terminal = row.value(1).toString();
        origin.time = asDateTime(row.value(2));
    }
    return origin;
}

void SalesWriteJournal::beforeDelete(Connection &connection, const QString &table, qint64 rowKey)
{
    if (table == kData)
        keepDeleted(connection, rowKey, stamp());
}

} // namespace SaleJournal
