#include "schema.h"

#include "connection.h"
#include "datasource.h"
#include "dialect.h"
#include "fieldtype.h"
#include "apperror.h"
#include "openerror.h"
#include "salejournal.h"
#include "sortedruns.h"
#include "transaction.h"

#include <QFileInfo>

#include <QStringList>

namespace Schema {

QByteArray databaseKey()
{
    return QByteArrayLiteral("kv3mrt.qzx");
}

namespace {

struct ColumnSpec
{
    const char *name; // as it goes into the statement
    FieldType type;
};

// "create table" with the columns in order, typed by the engine's dialect, and the
// hidden row key last where the engine needs one of its own making: inserts without a
// column list still fit, and every "select *" leaves the key out.
QString createTable(const Dialect &dialect, const QString &table, std::initializer_list<ColumnSpec> columns)
{
    QStringList definitions;
    for (const ColumnSpec &column : columns)
        definitions << QString::fromLatin1(column.name) + QLatin1Char(' ') + dialect.columnType(column.type);
    if (!dialect.keyColumn().isEmpty())
        definitions << dialect.keyColumn();
    return QStringLiteral("create table %1 (%2)").arg(table, definitions.join(QStringLiteral(", ")));
}

// Texts compare, group and order by their bytes on either engine (see Dialect); Chinese
// texts are put in pinyin order by the application.
void createLedgerTables(Connection &connection)
{
    const Dialect &dialect = connection.dialect();
    // A sale's date: a date that may carry a time of day where the engine keeps one; on
    // the file, "yyyy-MM-dd" texts, which compare in date order, so a range ending on a
    // record's date includes it.
    connection.execute(createTable(dialect, QStringLiteral("data"),
                                   {{"a", FieldType::Text},       {"b", FieldType::Text},       {"c", FieldType::Text},
                                    {"d", FieldType::Text},       {"\"1\"", FieldType::Number}, {"\"2\"", FieldType::Number},
                                    {"\"3\"", FieldType::Number}, {"\"6\"", FieldType::Number}, {"\"4\"", FieldType::Number},
                                    {"\"5\"", FieldType::Number}, {"e", FieldType::Text},       {"f", FieldType::Text},
                                    {"h", FieldType::Text},       {"z", FieldType::Text},       {"day1", FieldType::Date},
                                    {"o", FieldType::Text}}));
    // The profit rides along in the date index, so the charts' sums over a year
    // read the index alone instead of fetching scattered rows of the table.
    connection.execute(QStringLiteral("create index data_day1 on data (day1, \"4\")"));
    // Exactly two columns: users are inserted without a column list.
    connection.execute(
        createTable(dialect, QStringLiteral("userdb"), {{"username", FieldType::Text}, {"passwd", FieldType::Text}}));
    // Session ids are the rows' own: kept when a ledger moves between engines. Log-in
    // and log-out times are the texts the program writes: old logs hold dates alone,
    // and an open session's log-out is an empty text, not a null.
    connection.execute(QStringLiteral("create table rz (%1, username %2, btime %3, jtime %3)")
                           .arg(dialect.ownKeyColumn(QStringLiteral("id")), dialect.columnType(FieldType::Text),
                                dialect.writtenTimeType()));
}

// Ledgers made before indexes kept to a bounded part of a text have indexes that refuse
// a sale with a long text; they go (when the login may), and the ones that replace them
// are made when next needed.
void dropIndexesRefusingLongTexts(Connection &connection)
{
    if (!connection.dialect().boundsIndexEntries())
        return;
    SortedRuns::dropWholeTextIndexes(connection, QStringLiteral("data"));
    // The customer debts list's index, from before it left long customer texts to an
    // index of their own.
    if (connection.hasIndex(QStringLiteral("data_debts")) && !connection.hasIndex(QStringLiteral("data_debts_long"))) {
        try {
            connection.execute(QStringLiteral("drop index if exists data_debts"));
        } catch (const DatabaseError &) {
        }
    }
}

// Each user's role, beside userdb (whose two columns stay as they are). A user without
// a row here is a manager: the users of ledgers made before roles, and imported ones.
void addRoleTable(Connection &connection)
{
    connection.execute(createTable(connection.dialect(), QLatin1String(kUserRoles),
                                   {{"username", FieldType::Text}, {"role", FieldType::Text}}));
}

// Who added each sale (SaleJournal::originOf), keyed by the sale's row key, or by its
// row in the recycle bin while it is there.
void addOriginTable(Connection &connection)
{
    connection.execute(createTable(connection.dialect(), QStringLiteral("sale_origins"),
                                   {{"sale_key", FieldType::Integer},
                                    {"bin_key", FieldType::Integer},
                                    {"sold_by", FieldType::Text},
                                    {"sold_on", FieldType::Text},
                                    {"sold_at", FieldType::DateTime}}));
    connection.execute(QStringLiteral("create index sale_origins_sale on sale_origins (sale_key)"));
    connection.execute(QStringLiteral("create index sale_origins_bin on sale_origins (bin_key)"));
}

// The customers' payments. Amounts are stored as the ledger stores its amounts, already
// whole ten-thousandths, so a sum by the footer's rule gives back exactly what was taken.
void addPaymentTables(Connection &connection)
{
    connection.execute(createTable(connection.dialect(), QLatin1String(kPayments),
                                   {{"paid_at", FieldType::DateTime},
                                    {"customer_name", FieldType::Text},
                                    {"customer_mobile", FieldType::Text},
                                    {"amount", FieldType::Number},
                                    {"paid_by", FieldType::Text},
                                    {"paid_on", FieldType::Text}}));
    connection.execute(createTable(connection.dialect(), QLatin1String(kPaymentSales),
                                   {{"payment_key", FieldType::Integer},
                                    {"sale_key", FieldType::Integer},
                                    {"bin_key", FieldType::Integer},
                                    {"amount", FieldType::Number}}));
    connection.execute(QStringLiteral("create index payments_paid_at on %1 (paid_at)").arg(QLatin1String(kPayments)));
    connection.execute(QStringLiteral("create index payments_customer on %1 (customer_name, customer_mobile)")
                           .arg(QLatin1String(kPayments)));
    connection.execute(QStringLiteral("create index payment_sales_payment on %1 (payment_key)").arg(QLatin1String(kPaymentSales)));
    connection.execute(QStringLiteral("create index payment_sales_sale on %1 (sale_key)").arg(QLatin1String(kPaymentSales)));
    connection.execute(QStringLiteral("create index payment_sales_bin on %1 (bin_key)").arg(QLatin1String(kPaymentSales)));
}

// Tables that came after the recycle bin: a ledger made before them gets them when opened.
void ensureLaterTables(Connection &connection)
{
    const std::pair<const char *, void (*)(Connection &)> later[] = {{kUserRoles, addRoleTable},
                                                                     {"sale_origins", addOriginTable},
                                                                     {kPayments, addPaymentTables}};
    for (const auto &[table, add] : later) {
        if (connection.tableNames().contains(QLatin1String(table)))
            continue;
        try {
            inTransaction(connection, [&] { add(connection); });
        } catch (const DatabaseError &) {
            // Another terminal opening the ledger at the same moment may have made it.
            if (!connection.tableNames().contains(QLatin1String(table)))
                throw;
        }
    }
}

} // namespace

const QStringList &addedTables()
{
    static const QStringList names = {QString::fromLatin1(SaleJournal::kDeletedSales),
                                      QString::fromLatin1(SaleJournal::kSaleChanges), QString::fromLatin1(kUserRoles),
                                      QString::fromLatin1(SaleJournal::kSaleOrigins),
                                      QString::fromLatin1(kPayments), QString::fromLatin1(kPaymentSales)};
    return names;
}

const QStringList &tables()
{
    static const QStringList names = {QStringLiteral("data"), QStringLiteral("rz"), QStringLiteral("userdb")};
    return names;
}

void addTables(Connection &connection)
{
    createLedgerTables(connection);
    addRoleTable(connection);
    addOriginTable(connection);
    addPaymentTables(connection);
    SaleJournal::addTables(connection);
}

void addSortIndexes(Connection &connection)
{
    if (!connection.dialect().sortsInRuns())
        return;
    auto sortIndex = [&](const char *field, FieldType type) {
        for (const QString &statement : SortedRuns::indexStatements(QStringLiteral("data"), QString::fromLatin1(field), type))
            connection.execute(statement);
    };
    for (const char *field : {"a", "b", "c", "d", "e", "f", "z"})
        sortIndex(field, FieldType::Text);
    for (const char *field : {"1", "2", "3", "6", "4", "5"})
        sortIndex(field, FieldType::Number);
    sortIndex("day1", FieldType::Date);
}

void addLookupIndexes(Connection &connection)
{
    // The entry panel fills a sale's goods from the latest sale of a code or a name.
    // Where index entries are bounded (the server's take no more than about 2.7 KB), the
    // index holds a prefix of the text and the row key (the latest sale is the last
    // entry of its value); otherwise it holds whole texts, the row key riding along by
    // itself.
    const bool prefix = connection.dialect().boundsIndexEntries();
    for (const char *field : {"c", "b"}) {
        const QString name = QStringLiteral("data_goods_%1").arg(QLatin1String(field));
        const QString columns = prefix ? QStringLiteral("substr(%1, 1, %2), rowid").arg(QLatin1String(field)).arg(kLookupPrefix)
                                       : QString::fromLatin1(field);
        if (!connection.hasIndex(name))
            connection.execute(QStringLiteral("create index if not exists %1 on data (%2)").arg(name, columns));
    }
}

void continueKeys(Connection &connection)
{
    connection.dialect().continueKey(connection, QStringLiteral("rz"), QStringLiteral("id"));
}

void createTables(Connection &connection)
{
    inTransaction(connection, [&] { addTables(connection); });
}

std::unique_ptr<Connection> openLedger(const QString &path)
{
    return openLedger(DataSource::embeddedFile(path));
}

std::unique_ptr<Connection> openLedger(const DataSource &source)
{
    auto connection = std::make_unique<Connection>(source);
    // Without this an empty file opens as a new, empty database and start-up stumbles
    // later over "no such table" with a half-built main window. A server database
    // without the tables is refused the same way, in the server's words.
    for (const char *table : {"data", "userdb", "rz"}) {
        try {
            connection->tableFields(QLatin1String(table));
        } catch (const DatabaseError &error) {
            if (source.isServer())
                throw DatabaseOpenError(DatabaseOpenError::Reason::Other, source.displayName(), error.message());
            throw DatabaseOpenError(DatabaseOpenError::Reason::UnrecognizedFormat,
                                    QFileInfo(source.location()).absoluteFilePath(), error.message());
        }
    }
    // The recycle bin and the history of changes came later than the three tables: a
    // ledger made before them gets them now.
    try {
        SaleJournal::ensureTables(*connection);
        ensureLaterTables(*connection);
        dropIndexesRefusingLongTexts(*connection);
    } catch (const DatabaseError &error) {
        throw DatabaseOpenError(DatabaseOpenError::Reason::Other,
                                source.isServer() ? source.displayName() : QFileInfo(source.location()).absoluteFilePath(),
                                error.message());
    }
    return connection;
}

} // namespace Schema
