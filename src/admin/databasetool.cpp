#include "databasetool.h"

#include "apperror.h"
#include "batchinsert.h"
#include "connection.h"
#include "datasource.h"
#include "decimalnumber.h"
#include "ledgerbackup.h"
#include "numberformat.h"
#include "passwordhash.h"
#include "salejournal.h"
#include "schema.h"
#include "sqlnames.h"
#include "transaction.h"

#include <QDate>
#include <QFileInfo>
#include <algorithm>
#include <functional>
#include <random>

namespace {

struct Goods
{
    const char *category;
    const char *name;
    const char *model;
    const char *unit;
    double purchasePrice;
};

// A small shop's assortment; prices are purchase prices in yuan.
const Goods kGoods[] = {
    {"运动鞋", "跑步鞋", "42码", "双", 168},
    {"运动鞋", "篮球鞋", "43码", "双", 259},
    {"运动鞋", "网球鞋", "41码", "双", 199},
    {"鞋类配件", "鞋垫", "通用", "双", 8.5},
    {"鞋类配件", "鞋带", "120厘米", "副", 2.2},
    {"服装", "运动短裤", "L", "条", 45},
    {"服装", "速干T恤", "XL", "件", 39.9},
    {"服装", "防风外套", "M", "件", 189},
    {"户外用品", "登山杖", "碳纤维", "根", 76},
    {"户外用品", "保温水壶", "750毫升", "个", 52.8},
    {"户外用品", "双人帐篷", "2.1米", "顶", 320},
    {"球类", "篮球", "7号", "个", 95},
    {"球类", "足球", "5号", "个", 88},
    {"球类", "羽毛球", "12只装", "筒", 36.5},
    {"健身器材", "瑜伽垫", "6毫米", "张", 42},
    {"健身器材", "哑铃", "5公斤", "对", 110},
    {"健身器材", "跳绳", "计数", "根", 12.6},
};

const char *const kCustomers[] = {"", "", "", "王芳", "李强", "张伟", "刘洋", "陈静", "杨磊", "赵敏", "黄晓明", "周杰"};
const char *const kRemarks[] = {"", "", "", "", "会员", "老客户", "赠品已送", "月底结清", "团购"};

DecimalNumber decimalOf(double value)
{
    return DecimalNumber::parse(NumberFormat::general(value));
}

double asStored(const DecimalNumber &value)
{
    // What the entry panel writes: its exact decimal sum as shown, read back as a number.
    return NumberFormat::parse(value.generalText());
}

// Creates the tables and the super administrator in one transaction.
void addTablesAndAdministrator(Connection &connection)
{
    Transaction transaction(connection);
    Schema::addTables(connection);
    Schema::addSortIndexes(connection);
    connection.execute(QStringLiteral("insert into userdb values (?, ?)"),
                       {QString::fromUtf8(DatabaseTool::kSuperAdministrator),
                        PasswordHash::hash(QString::fromLatin1(DatabaseTool::kDefaultPassword))});
    transaction.commit();
}

// Refuses a database that holds any of the ledger's tables: nothing is overwritten.
void refuseLedger(Connection &connection)
{
    const QStringList present = connection.tableNames();
    for (const QString &table : Schema::tables()) {
        if (present.contains(table))
            throw AppError(QStringLiteral("a ledger exists already at %1 (it holds the table %2); it is left as it is")
                               .arg(connection.path(), table));
    }
}

// Copies every row of a table in key order, values exactly as stored.
void copyRows(Connection &from, Connection &to, const QString &table, const QStringList &extraColumns = {})
{
    const QStringList columns = extraColumns + from.tableFields(table);
    Statement rows = from.prepare(QStringLiteral("select %1 from %2 order by rowid").arg(quotedNames(columns), table));
    BatchInsert insert(to, table, columns);
    QVariantList row;
    while (rows.step()) {
        row.clear();
        for (int i = 0; i < columns.size(); ++i)
            row << rows.exactValue(i);
        insert.add(row);
    }
    insert.finish();
}

// The row keys of a table in key order.
std::vector<qint64> rowKeys(Connection &connection, const QString &table)
{
    Statement rows = connection.prepare(QStringLiteral("select rowid from %1 order by rowid").arg(table));
    std::vector<qint64> keys;
    while (rows.step())
        keys.push_back(rows.int64Value(0));
    return keys;
}

// Where the rows of a table went: a copy into an empty table adds them in key order,
// and both engines give new rows ascending keys, so the n-th key of the source is the
// n-th key of the copy.
class KeyMap
{
public:
    KeyMap(std::vector<qint64> from, std::vector<qint64> to) : m_from(std::move(from)), m_to(std::move(to))
    {
        if (m_from.size() != m_to.size())
            throw AppError(QStringLiteral("the copy holds %1 rows where the source holds %2").arg(m_to.size()).arg(m_from.size()));
    }

    // The new key of a row; null for a null or a key that no row has.
    QVariant operator()(const QVariant &key) const
    {
        if (key.isNull())
            return {};
        const auto found = std::lower_bound(m_from.begin(), m_from.end(), key.toLongLong());
        if (found == m_from.end() || *found != key.toLongLong())
            return {};
        return m_to[found - m_from.begin()];
    }

private:
    std::vector<qint64> m_from;
    std::vector<qint64> m_to;
};

// The recycle bin and the history of changes, with their references to sales and to
// the bin's rows carried over to the copy's keys. A source made before they existed
// has none to copy.
void copyJournal(Connection &from, Connection &to)
{
    const QStringList present = from.tableNames();
    const QString deleted = QString::fromLatin1(SaleJournal::kDeletedSales);
    const QString changes = QString::fromLatin1(SaleJournal::kSaleChanges);
    if (!present.contains(deleted) || !present.contains(changes))
        return;
    auto columnsOf = [&](const QString &table) {
        const QStringList source = from.tableFields(table);
        QStringList both;
        for (const QString &column : to.tableFields(table)) {
            if (source.contains(column))
                both << column;
        }
        return both;
    };
    auto copy = [&](const QString &table, const QStringList &columns, const std::function<void(QVariantList &)> &adjust) {
        Statement rows = from.prepare(QStringLiteral("select %1 from %2 order by rowid").arg(quotedNames(columns), table));
        BatchInsert insert(to, table, columns);
        QVariantList row;
        while (rows.step()) {
            row.clear();
            for (int i = 0; i < columns.size(); ++i)
                row << rows.exactValue(i);
            adjust(row);
            insert.add(row);
        }
        insert.finish();
    };
    const KeyMap sales(rowKeys(from, QStringLiteral("data")), rowKeys(to, QStringLiteral("data")));
    copy(deleted, columnsOf(deleted), [](QVariantList &) {});
    const KeyMap bin(rowKeys(from, deleted), rowKeys(to, deleted));
    const QStringList changeColumns = columnsOf(changes);
    const int saleKey = int(changeColumns.indexOf(QStringLiteral("sale_key")));
    const int binKey = int(changeColumns.indexOf(QStringLiteral("bin_key")));
    copy(changes, changeColumns, [&](QVariantList &row) {
        if (saleKey >= 0)
            row[saleKey] = sales(row[saleKey]);
        if (binKey >= 0)
            row[binKey] = bin(row[binKey]);
    });
    // Who added each sale: keyed like the history, so its keys follow the same way.
    const QString origins = QString::fromLatin1(SaleJournal::kSaleOrigins);
    if (present.contains(origins)) {
        const QStringList originColumns = columnsOf(origins);
        const int originSale = int(originColumns.indexOf(QStringLiteral("sale_key")));
        const int originBin = int(originColumns.indexOf(QStringLiteral("bin_key")));
        copy(origins, originColumns, [&](QVariantList &row) {
            row[originSale] = sales(row[originSale]);
            row[originBin] = bin(row[originBin]);
        });
    }
    // The customers' payments, and which sales each reduced: those follow the sales'
    // keys, and their payment's.
    const QString payments = QString::fromLatin1(Schema::kPayments);
    const QString paymentSales = QString::fromLatin1(Schema::kPaymentSales);
    if (present.contains(payments) && present.contains(paymentSales)) {
        copy(payments, columnsOf(payments), [](QVariantList &) {});
        const KeyMap paid(rowKeys(from, payments), rowKeys(to, payments));
        const QStringList partColumns = columnsOf(paymentSales);
        const int partPayment = int(partColumns.indexOf(QStringLiteral("payment_key")));
        const int partSale = int(partColumns.indexOf(QStringLiteral("sale_key")));
        const int partBin = int(partColumns.indexOf(QStringLiteral("bin_key")));
        copy(paymentSales, partColumns, [&](QVariantList &row) {
            row[partPayment] = paid(row[partPayment]);
            row[partSale] = sales(row[partSale]);
            row[partBin] = bin(row[partBin]);
        });
    }
}

} // namespace

namespace DatabaseTool {

void createDatabase(const QString &path)
{
    initialize(DataSource::embeddedFile(path));
}

void initialize(const DataSource &source)
{
    if (!source.isServer()) {
        const QString &path = source.location();
        if (QFileInfo::exists(path))
            throw AppError(QStringLiteral("%1 exists already; it is left as it is").arg(path));
        const QString temporary = NewLedgerFile::temporaryFor(path);
        try {
            {
                Connection connection(DataSource::embeddedFile(temporary), Connection::OpenMode::CreateFile);
                addTablesAndAdministrator(connection);
            }
            NewLedgerFile::publish(temporary, path);
        } catch (...) {
            QFile::remove(temporary);
            QFile::remove(temporary + QStringLiteral("-journal"));
            throw;
        }
        return;
    }
    Connection connection(source);
    refuseLedger(connection);
    addTablesAndAdministrator(connection);
}

void addDemoSales(Connection &connection, qint64 count, quint32 seed)
{
    std::mt19937 random(seed);
    auto pick = [&](int size) { return int(std::uniform_int_distribution<int>(0, size - 1)(random)); };
    const QDate firstDay(2019, 1, 1);
    const int days = int(firstDay.daysTo(QDate(2026, 12, 31)));

    Transaction transaction(connection);
    BatchInsert insert(connection, QStringLiteral("data"),
                       {"a", "b", "c", "d", "1", "2", "3", "6", "4", "5", "e", "f", "h", "z", "day1", "o"});
    for (qint64 i = 0; i < count; ++i) {
        const int goodsIndex = pick(int(std::size(kGoods)));
        const Goods &goods = kGoods[goodsIndex];
        const double purchase = goods.purchasePrice;
        // Mark-ups from a small loss to double the price, in tenths of a yuan.
        const double sale = std::round(purchase * (0.9 + pick(110) / 100.0) * 10) / 10;
        const double quantity = pick(10) == 0 ? 0.5 * (1 + pick(6)) : double(1 + pick(5));
        const double total = asStored(decimalOf(sale) * decimalOf(quantity));
        const double profit = asStored((decimalOf(sale) - decimalOf(purchase)) * decimalOf(quantity));
        const double owed = pick(8) == 0 ? std::round(total / 2) : 0.0;
        const QString customer = QString::fromUtf8(kCustomers[pick(int(std::size(kCustomers)))]);
        const QString mobile = customer.isEmpty() ? QString() : QStringLiteral("13%1").arg(100000000 + pick(899999999));
        insert.add({QString::fromUtf8(goods.category), QString::fromUtf8(goods.name),
                     QStringLiteral("SP%1").arg(1001 + goodsIndex), QString::fromUtf8(goods.model),
                     purchase, sale, quantity, total, profit, owed, customer, mobile,
                     QString::fromUtf8(goods.unit), QString::fromUtf8(kRemarks[pick(int(std::size(kRemarks)))]),
                     firstDay.addDays(pick(days + 1)), QStringLiteral("1")});
    }
    insert.finish();
    transaction.commit();
}

void copyLedger(Connection &from, Connection &to)
{
    refuseLedger(to);
    for (const QString &table : Schema::tables()) {
        if (!from.tableNames().contains(table))
            throw AppError(QStringLiteral("%1 holds no ledger (no table %2)").arg(from.path(), table));
    }
    Transaction transaction(to);
    Schema::addTables(to);
    copyRows(from, to, QStringLiteral("data"));
    copyRows(from, to, QStringLiteral("userdb"));
    // Session ids are kept: they are the rows' own keys.
    copyRows(from, to, QStringLiteral("rz"));
    copyJournal(from, to);
    // Roles came later: a ledger without them has managers only, which an empty
    // table says as well.
    if (from.tableNames().contains(QLatin1String(Schema::kUserRoles)))
        copyRows(from, to, QString::fromLatin1(Schema::kUserRoles));
    Schema::addSortIndexes(to);
    Schema::continueKeys(to);
    transaction.commit();
}

} // namespace DatabaseTool
