#include "dayendreport.h"

#include "connection.h"
#include "numberformat.h"

#include <QHash>
#include <QMap>
#include <QVariant>
#include <algorithm>

namespace DayEndReport {

namespace {

Units unitsOf(double value)
{
    return Units::of(value);
}

// The start of the day after the range: a sale or payment with a time of day on the
// last day still counts.
QVariantList dayBounds(const Filter &filter)
{
    return {filter.from, filter.to.addDays(1)};
}

QVariantList timeBounds(const Filter &filter)
{
    return {QDateTime(filter.from, QTime(0, 0)), QDateTime(filter.to.addDays(1), QTime(0, 0))};
}

} // namespace

Figures &Figures::operator+=(const Figures &other)
{
    sales += other.sales;
    salesTotal += other.salesTotal;
    profit += other.profit;
    newOwed += other.newOwed;
    paymentsReceived += other.paymentsReceived;
    return *this;
}

Report compute(Connection &connection, const Filter &filter)
{
    Report report;
    report.from = filter.from;
    report.to = filter.to;
    if (!filter.allOperators)
        report.operatorName = filter.operatorName;
    const QString operatorCondition =
        filter.allOperators ? QString() : QStringLiteral(" and coalesce(o.sold_by, '')=?");
    QVariantList values = dayBounds(filter);
    if (!filter.allOperators)
        values << filter.operatorName;

    // What payments took off each sale of the days: added back, it gives the amount
    // owed as the sale was entered.
    QHash<qint64, Units> paidOff;
    {
        Statement parts = connection.prepare(
            QStringLiteral("select s.sale_key, s.amount from payment_sales s join data d on d.rowid=s.sale_key "
                           "left join sale_origins o on o.sale_key=d.rowid where d.day1>=? and d.day1<?%1")
                .arg(operatorCondition));
        parts.bind(values);
        while (parts.step())
            paidOff[parts.int64Value(0)] += unitsOf(parts.doubleValue(1));
    }

    QMap<QString, Figures> byOperator;
    QHash<QPair<QString, QString>, GoodsFigures> goods;
    Statement sales = connection.prepare(
        QStringLiteral("select d.rowid, coalesce(o.sold_by, ''), d.\"6\", d.\"4\", d.\"5\", coalesce(d.c, ''), "
                       "coalesce(d.b, ''), d.\"3\" from data d left join sale_origins o on o.sale_key=d.rowid "
                       "where d.day1>=? and d.day1<?%1")
            .arg(operatorCondition));
    sales.bind(values);
    while (sales.step()) {
        Figures &figures = byOperator[sales.value(1).toString()];
        const Units total = unitsOf(sales.doubleValue(2));
        ++figures.sales;
        figures.salesTotal += total;
        figures.profit += unitsOf(sales.doubleValue(3));
        figures.newOwed += unitsOf(sales.doubleValue(4));
        if (const auto found = paidOff.constFind(sales.int64Value(0)); found != paidOff.constEnd())
            figures.newOwed += *found;
        const QPair<QString, QString> key{sales.value(5).toString(), sales.value(6).toString()};
        GoodsFigures &item = goods[key];
        item.code = key.first;
        item.name = key.second;
        ++item.sales;
        item.quantity += unitsOf(sales.doubleValue(7));
        item.total += total;
    }

    QVariantList paymentValues = timeBounds(filter);
    if (!filter.allOperators)
        paymentValues << filter.operatorName;
    Statement payments = connection.prepare(
        QStringLiteral("select coalesce(paid_by, ''), amount from payments where paid_at>=? and paid_at<?%1")
            .arg(filter.allOperators ? QString() : QStringLiteral(" and coalesce(paid_by, '')=?")));
    payments.bind(paymentValues);
    while (payments.step())
        byOperator[payments.value(0).toString()].paymentsReceived += unitsOf(payments.doubleValue(1));

    for (auto it = byOperator.cbegin(); it != byOperator.cend(); ++it) {
        report.operators.append({it.key(), it.value()});
        report.total += it.value();
    }
    // Sales without a recorded operator after the operators.
    if (!report.operators.isEmpty() && report.operators.first().operatorName.isEmpty())
        report.operators.move(0, report.operators.size() - 1);
    QList<GoodsFigures> ranked = goods.values();
    std::sort(ranked.begin(), ranked.end(), [](const GoodsFigures &a, const GoodsFigures &b) {
        if (a.total != b.total)
            return a.total > b.total;
        if (a.name != b.name)
            return a.name < b.name;
        return a.code < b.code;
    });
    report.topGoods = ranked.mid(0, kTopGoods);
    return report;
}

QStringList operatorsOf(Connection &connection)
{
    QStringList names;
    Statement rows = connection.prepare(QStringLiteral(
        "select distinct sold_by from sale_origins where sold_by is not null union select distinct paid_by from payments "
        "where paid_by is not null"));
    while (rows.step())
        names << rows.value(0).toString();
    names.removeAll(QString());
    names.removeDuplicates();
    names.sort();
    return names;
}

QString amountText(const Units &units)
{
    return NumberFormat::general(TenThousandths::amountOf(units));
}

} // namespace DayEndReport
