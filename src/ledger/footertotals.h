#pragma once

#include "tenthousandths.h"

#include <QString>
#include <QStringList>
#include <vector>

class Dataset;

// The grid's footer figures: the record count and the sums of some number fields.
// Sums are kept in fixed point with four decimals: each value is brought to the
// nearest 0.0001 as it is added, and a null adds nothing (but still counts).
class FooterTotals
{
public:
    // Zero records, zero sums.
    explicit FooterTotals(int fields = 0);

    // The totals of an open dataset (a closed one gives zeros). When `prefetched`, the
    // dataset was told to prefetch exactly these fields in this order and gives their
    // sums; otherwise every record is read.
    static FooterTotals of(const Dataset &dataset, const QStringList &fields, bool prefetched = false);

    // A value in ten-thousandths, brought to the nearest one (half to even); NaN (a
    // null) is 0.
    static TenThousandths::Units unitsOf(double value);

    void add(int field, double value);
    void setCount(int count) { m_count = count; }

    int count() const { return m_count; }
    double sum(int field) const;
    QString countText() const;
    // The sum in the general number format, as a floating-point field shows it.
    QString sumText(int field) const;

private:
    int m_count = 0;
    std::vector<TenThousandths::Units> m_units;
};
