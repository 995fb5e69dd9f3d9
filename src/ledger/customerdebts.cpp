#include "customerdebts.h"

#include "clock.h"
#include "connection.h"
#include "datamodule.h"
#include "dialect.h"
#include "footertotals.h"
#include "numberformat.h"
#include "rowcheck.h"
#include "salejournal.h"
#include "transaction.h"

#include <QHash>
#include <algorithm>
#include <cmath>
#include <vector>

size_t qHash(const CustomerKey &key, size_t seed = 0) noexcept
{
    return qHashMulti(seed, key.name, key.mobile);
}

namespace {

// The blanks QString::trimmed() removes, which is how the entry panel trims a name or
// a mobile before storing it. Older data may still carry them.
QString blanksLiteral()
{
    static const QString literal = [] {
        QString text = QStringLiteral("' \t\n\v\f\r");
        for (char16_t c : {u'\u0085', u'\u00a0', u'\u1680', u'\u2028', u'\u2029', u'\u202f', u'\u205f', u'\u3000'})
            text += QChar(c);
        for (char16_t c = u'\u2000'; c <= u'\u200a'; ++c)
            text += QChar(c);
        return text + QLatin1Char('\'');
    }();
    return literal;
}

// A customer column trimmed, a null read as the empty text.
QString customerColumn(const char *column)
{
    return QStringLiteral("coalesce(trim(%1, %2), '')").arg(QLatin1String(column), blanksLiteral());
}

QString sameCustomer()
{
    return customerColumn("e") + QStringLiteral("=? and ") + customerColumn("f") + QStringLiteral("=?");
}

struct OwedSale
{
    qint64 key;
    double stored;
    CustomerDebts::Units units;
};

// The customer's sales with an amount owed, oldest first, as they stand inside the
// caller's transaction; raises DebtChangedError when their total is not the one shown.
std::vector<OwedSale> currentSales(Connection &connection, const CustomerDebt &shown)
{
    Statement statement = connection.prepare(QStringLiteral("select rowid, \"5\" from data where \"5\"<>0 and ")
                                             + sameCustomer() + QStringLiteral(" order by day1, rowid"));
    statement.bind({shown.customer.name, shown.customer.mobile});
    std::vector<OwedSale> sales;
    CustomerDebts::Units total = 0;
    while (statement.step()) {
        const double stored = statement.doubleValue(1);
        const CustomerDebts::Units units = CustomerDebts::unitsOf(stored);
        sales.push_back({statement.int64Value(0), stored, units});
        total += units;
    }
    if (total != shown.owedUnits)
        throw DebtChangedError(QStringLiteral("%1 的欠款已被其他终端更改（原为 %2 元，现为 %3 元），未做任何修改。请核对后重试。")
                                   .arg(shown.messageName(), shown.owedText(), CustomerDebts::amountText(total)),
                               total);
    return sales;
}

// Writes one sale's new amount, only if it still holds the amount read: on the server
// another terminal may change it between the read and this write.
void writeAmount(Connection &connection, const CustomerDebt &shown, const OwedSale &sale, double amount)
{
    // The history of changes keeps the sale as it was, in this same transaction.
    const SaleJournal::Stamp stamp{dmfm ? dmfm->operatorName() : QString(), Clock::now()};
    const RowCheck::Condition unchanged =
        RowCheck::unchanged(connection, sale.key, {QStringLiteral("5")}, {sale.stored});
    SaleJournal::recordOldValues(connection, unchanged.sql, unchanged.values, stamp);
    if (!RowCheck::writeOne(connection, QStringLiteral("update data set \"5\"=?"), {amount}, unchanged))
        throw DebtChangedError(QStringLiteral("%1 的欠款已被其他终端更改，未做任何修改。请核对后重试。").arg(shown.messageName()),
                               shown.owedUnits);
}

// What one settle or payment took from which sale.
struct Taken
{
    qint64 saleKey;
    CustomerDebts::Units units;
};

// The payment's own row and the rows of the sales it reduced, written after the amounts
// and in their transaction: a payment is on record exactly when its amounts changed.
qint64 recordPayment(Connection &connection, const CustomerDebt &shown, CustomerDebts::Units units,
                     const std::vector<Taken> &taken)
{
    const SaleJournal::Stamp stamp{dmfm ? dmfm->operatorName() : QString(), Clock::now()};
    connection.execute(QStringLiteral("insert into payments (paid_at, customer_name, customer_mobile, amount, paid_by, paid_on) "
                                      "values (?, ?, ?, ?, ?, ?)"),
                       {stamp.time, shown.customer.name, shown.customer.mobile, CustomerDebts::amountOf(units),
                        stamp.operatorName, stamp.terminal});
    const qint64 key = connection.lastInsertRowId();
    for (const Taken &part : taken)
        connection.execute(QStringLiteral("insert into payment_sales (payment_key, sale_key, amount) values (?, ?, ?)"),
                           {key, part.saleKey, CustomerDebts::amountOf(part.units)});
    return key;
}

} // namespace

QString CustomerDebt::listName() const
{
    if (customer.name.isEmpty() && customer.mobile.isEmpty())
        return CustomerDebts::kNoCustomer;
    return customer.name;
}

QString CustomerDebt::messageName() const
{
    if (customer.mobile.isEmpty())
        return listName();
    if (customer.name.isEmpty())
        return customer.mobile;
    return QStringLiteral("%1（%2）").arg(customer.name, customer.mobile);
}

QString CustomerDebt::owedText() const
{
    return CustomerDebts::amountText(owedUnits);
}

namespace CustomerDebts {

Units unitsOf(double value)
{
    return FooterTotals::unitsOf(value);
}

double amountOf(Units units)
{
    return double(TenThousandths::amountOf(units));
}

QString amountText(Units units)
{
    return NumberFormat::general(TenThousandths::amountOf(units));
}

namespace {

// The list reads only the owing sales, grouped by trimmed customer. An index over
// exactly those rows and expressions lets the engine read them in group order instead
// of scanning and sorting the whole ledger (a million sales: about 0.5 s less on the
// embedded file, 0.3 s on the server). It holds e and f once more as they are: an
// engine counts an expression index as covering only when it holds the plain columns
// the expressions use. Made the first time the list is read from a ledger; a server
// login that may not make indexes reads the list without one.
//
// A server's index entry must fit in a third of a page, and no box limits a name's
// length: there the index holds the sales whose customer texts are short enough
// (shortCustomer()), and a small index finds the rest, which are read on their own.
QString shortCustomer()
{
    return QStringLiteral("octet_length(coalesce(e, ''))+octet_length(coalesce(f, ''))<=1200");
}

void ensureDebtIndex(Connection &connection)
{
    static const QString kName = QStringLiteral("data_debts");
    const QString name = customerColumn("e");
    const QString mobile = customerColumn("f");
    const Dialect &dialect = connection.dialect();
    const QStringList columns{name, mobile, QStringLiteral("\"5\""), QStringLiteral("day1")};
    const QStringList carried{QStringLiteral("e"), QStringLiteral("f")};
    const QString owed = QStringLiteral("\"5\"<>0");
    if (!dialect.boundsIndexEntries()) {
        if (connection.hasIndex(kName))
            return;
        connection.execute(dialect.coveringIndex(kName, QStringLiteral("data"), columns, carried, owed));
        return;
    }
    if (connection.hasIndex(kName + QStringLiteral("_long")))
        return;
    try {
        connection.execute(dialect.coveringIndex(kName, QStringLiteral("data"), columns, carried,
                                                 owed + QStringLiteral(" and ") + shortCustomer()));
        connection.execute(QStringLiteral("create index if not exists %1_long on data (\"5\") where \"5\"<>0 and not (%2)")
                               .arg(kName, shortCustomer()));
    } catch (const DatabaseError &) {
        // A login that may not make indexes, or another terminal making them at this
        // moment: the list then reads the table itself, slower but with the same answer.
    }
}

} // namespace

QList<CustomerDebt> load(Connection &connection)
{
    ensureDebtIndex(connection);
    // Grouped by the amount as well: the engine counts equal amounts, and each amount
    // is rounded here once, by the footer's rule, which the embedded engine has no
    // function for.
    const QString name = customerColumn("e");
    const QString mobile = customerColumn("f");
    QStringList parts{QString()};
    if (connection.dialect().boundsIndexEntries())
        parts = {QStringLiteral(" and ") + shortCustomer(), QStringLiteral(" and not (%1)").arg(shortCustomer())};
    QHash<CustomerKey, qsizetype> index;
    QList<CustomerDebt> debts;
    for (const QString &part : parts) {
        Statement statement = connection.prepare(
            QStringLiteral("select %1, %2, \"5\", count(*), min(day1), max(day1) from data where \"5\"<>0%3 "
                           "group by %1, %2, \"5\"")
                .arg(name, mobile, part));
        while (statement.step()) {
            const CustomerKey key{statement.value(0).toString(), statement.value(1).toString()};
            const qint64 count = statement.int64Value(3);
            const QDate oldest = statement.dateValue(4);
            const QDate newest = statement.dateValue(5);
            auto found = index.find(key);
            if (found == index.end()) {
                found = index.insert(key, debts.size());
                debts.append(CustomerDebt{key, 0, 0, oldest, newest});
            }
            CustomerDebt &debt = debts[*found];
            debt.owedUnits += unitsOf(statement.doubleValue(2)).times(count);
            debt.sales += int(count);
            if (oldest.isValid() && (!debt.oldest.isValid() || oldest < debt.oldest))
                debt.oldest = oldest;
            if (newest.isValid() && (!debt.newest.isValid() || newest > debt.newest))
                debt.newest = newest;
        }
    }
    std::sort(debts.begin(), debts.end(), [](const CustomerDebt &a, const CustomerDebt &b) {
        if (a.owedUnits != b.owedUnits)
            return a.owedUnits > b.owedUnits;
        if (a.oldest != b.oldest)
            return a.oldest.isValid() && (!b.oldest.isValid() || a.oldest < b.oldest);
        if (a.customer.name != b.customer.name)
            return a.customer.name < b.customer.name;
        return a.customer.mobile < b.customer.mobile;
    });
    return debts;
}

Units totalUnits(const QList<CustomerDebt> &debts)
{
    Units total = 0;
    for (const CustomerDebt &debt : debts)
        total += debt.owedUnits;
    return total;
}

bool matches(const CustomerDebt &debt, const QString &search)
{
    const QString text = search.trimmed();
    if (text.isEmpty())
        return true;
    if (debt.customer.mobile.contains(text, Qt::CaseInsensitive))
        return true;
    return debt.listName().contains(text, Qt::CaseInsensitive);
}

SqlStatement salesOf(const CustomerKey &customer)
{
    return {QStringLiteral("select * from data where \"5\"<>0 and ") + sameCustomer()
                + QStringLiteral(" order by day1, rowid"),
            {customer.name, customer.mobile}};
}

Settlement settle(Connection &connection, const CustomerDebt &shown)
{
    if (shown.owedUnits <= 0)
        throw AppError(QStringLiteral("%1 没有欠款。").arg(shown.messageName()));
    return inTransaction(connection, [&] {
        const std::vector<OwedSale> sales = currentSales(connection, shown);
        Settlement settlement;
        std::vector<Taken> taken;
        for (const OwedSale &sale : sales) {
            writeAmount(connection, shown, sale, 0.0);
            settlement.paidUnits += sale.units;
            ++settlement.changedSales;
            taken.push_back({sale.key, sale.units});
        }
        settlement.paymentKey = recordPayment(connection, shown, settlement.paidUnits, taken);
        return settlement;
    });
}

QString paymentRefusal(const CustomerDebt &shown, Units paymentUnits)
{
    if (shown.owedUnits <= 0)
        return QStringLiteral("%1 没有欠款。").arg(shown.messageName());
    if (paymentUnits <= 0)
        return QStringLiteral("付款金额必须大于 0。");
    if (paymentUnits > shown.owedUnits)
        return QStringLiteral("付款金额 %1 元大于 %2 的欠款 %3 元。")
            .arg(amountText(paymentUnits), shown.messageName(), shown.owedText());
    return {};
}

Settlement pay(Connection &connection, const CustomerDebt &shown, Units paymentUnits)
{
    if (const QString refusal = paymentRefusal(shown, paymentUnits); !refusal.isEmpty())
        throw AppError(refusal);
    return inTransaction(connection, [&] {
        const std::vector<OwedSale> sales = currentSales(connection, shown);
        Settlement settlement;
        Units left = paymentUnits;
        std::vector<Taken> taken;
        for (const OwedSale &sale : sales) {
            if (left == 0)
                break;
            if (sale.units <= 0)
                continue;
            const Units part = std::min(left, sale.units);
            // A sale paid off in full holds exactly 0; a part payment leaves the rest in
            // whole ten-thousandths, so the footer counts exactly what remains.
            writeAmount(connection, shown, sale, part == sale.units ? 0.0 : CustomerDebts::amountOf(sale.units - part));
            left -= part;
            settlement.paidUnits += part;
            ++settlement.changedSales;
            taken.push_back({sale.key, part});
        }
        settlement.remainingUnits = shown.owedUnits - settlement.paidUnits;
        settlement.paymentKey = recordPayment(connection, shown, settlement.paidUnits, taken);
        return settlement;
    });
}

QList<Payment> paymentsOf(Connection &connection, const CustomerKey &customer)
{
    Statement rows = connection.prepare(
        QStringLiteral("select p.rowid, p.paid_at, p.amount, p.paid_by, p.paid_on, "
                       "(select count(*) from payment_sales s where s.payment_key=p.rowid) from payments p "
                       "where p.customer_name=? and p.customer_mobile=? order by p.paid_at desc, p.rowid desc"));
    rows.bind({customer.name, customer.mobile});
    QList<Payment> payments;
    while (rows.step()) {
        Payment payment;
        payment.key = rows.int64Value(0);
        payment.time = SaleJournal::timeRead(rows.value(1));
        payment.customer = customer;
        payment.units = unitsOf(rows.doubleValue(2));
        payment.operatorName = rows.value(3).toString();
        payment.terminal = rows.value(4).toString();
        payment.sales = int(rows.int64Value(5));
        payments.append(payment);
    }
    return payments;
}

} // namespace CustomerDebts
