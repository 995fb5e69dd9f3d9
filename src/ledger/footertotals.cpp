#include "footertotals.h"

#include "dataset.h"
#include "numberformat.h"
#include "tenthousandths.h"

#include <cmath>

FooterTotals::FooterTotals(int fields) : m_units(fields, 0)
{
}

TenThousandths::Units FooterTotals::unitsOf(double value)
{
    return TenThousandths::of(value);
}

void FooterTotals::add(int field, double value)
{
    m_units.at(field) += unitsOf(value);
}

FooterTotals FooterTotals::of(const Dataset &dataset, const QStringList &fields, bool prefetched)
{
    FooterTotals totals(int(fields.size()));
    if (!dataset.isOpen())
        return totals;
    const int records = dataset.recordCount();
    totals.setCount(records);
    if (prefetched) {
        const std::vector<TenThousandths::Units> sums = dataset.prefetchedSums();
        for (int i = 0; i < fields.size(); ++i)
            totals.m_units.at(i) = sums.at(i);
        return totals;
    }
    for (int i = 0; i < fields.size(); ++i) {
        const int field = dataset.fieldIndex(fields[i]);
        if (field < 0)
            continue;
        for (int row = 0; row < records; ++row) {
            const QVariant value = dataset.valueAt(row, field);
            if (value.isValid())
                totals.add(i, value.toDouble());
        }
    }
    return totals;
}

double FooterTotals::sum(int field) const
{
    return double(TenThousandths::amountOf(m_units.at(field)));
}

QString FooterTotals::countText() const
{
    return QString::number(m_count);
}

QString FooterTotals::sumText(int field) const
{
    return NumberFormat::general(TenThousandths::amountOf(m_units.at(field)));
}
