#pragma once

#include "exactsum.h"

#include <QString>
#include <cmath>
#include <compare>
#include <cstdint>
#include <vector>

// Amounts are summed in ten-thousandths: each value is brought to the nearest 0.0001
// as it is added (half to even, in double arithmetic) and a null adds nothing. The
// server's round() of a double does the same, so a sum made by the server equals one
// made here, to the last unit.
//
// A count of ten-thousandths is exact whatever a ledger holds. A 64-bit count turned
// one sale of 10^15 into a negative total, and extended precision would lose a sale
// of 10^15 beside one of 10^300. So values below kLarge are counted in 128-bit whole
// ten-thousandths, and larger ones (no till takes them; an imported ledger may hold
// them) are kept as an exact sum of doubles: from that magnitude on a double is a
// whole number of eighths, so it is its own ten-thousandths already.
namespace TenThousandths {

inline constexpr double kPerUnit = 10000.0;
inline constexpr double kLarge = 9e14;

class Units
{
public:
    Units() = default;
    // A whole number of ten-thousandths.
    Units(long long units) : m_small(units) {}

    // A value in ten-thousandths; NaN (a null) is 0.
    static Units of(double value)
    {
        Units units;
        if (std::isnan(value))
            return units;
        if (std::fabs(value) < kLarge)
            units.m_small = static_cast<__int128>(std::rint(value * kPerUnit));
        else
            units.addLarge(value);
        return units;
    }

    Units &operator+=(const Units &other)
    {
        m_small += other.m_small;
        for (double partial : other.m_large.partials())
            m_large.add(partial);
        return *this;
    }
    Units operator-() const
    {
        Units negated;
        negated.m_small = -m_small;
        negated.m_large = m_large.negated();
        return negated;
    }
    Units &operator-=(const Units &other) { return *this += -other; }
    friend Units operator+(Units a, const Units &b) { return a += b; }
    friend Units operator-(Units a, const Units &b) { return a -= b; }

    // `count` (0 or more) times this amount, exactly.
    Units times(long long count) const
    {
        Units result;
        result.m_small = m_small * count;
        Units base;
        base.m_large = m_large;
        for (unsigned long long left = count > 0 ? (unsigned long long)count : 0ULL; left != 0 && !m_large.partials().empty();
             left >>= 1) {
            if (left & 1)
                result += base;
            base += base;
        }
        return result;
    }

    // -1, 0 or 1, exactly.
    int sign() const
    {
        const double top = largest();
        if (top == 0)
            return m_small > 0 ? 1 : (m_small < 0 ? -1 : 0);
        // The largest partial outweighs all the rest, also the whole-numbered part.
        if (std::fabs(top) >= 0x1p100)
            return top > 0 ? 1 : -1;
        const __int128 units = exactUnits();
        return units > 0 ? 1 : (units < 0 ? -1 : 0);
    }

    friend bool operator==(const Units &a, const Units &b) { return (a - b).sign() == 0; }
    friend std::strong_ordering operator<=>(const Units &a, const Units &b)
    {
        const int sign = (a - b).sign();
        return sign < 0 ? std::strong_ordering::less
                        : (sign > 0 ? std::strong_ordering::greater : std::strong_ordering::equal);
    }

    // The amount (units / 10000), rounded to extended precision; beyond the range of
    // doubles it is infinite.
    long double amount() const
    {
        if (std::fabs(largest()) < 0x1p100)
            return static_cast<long double>(exactUnits()) / static_cast<long double>(kPerUnit);
        // Partials grow in magnitude and do not overlap: summed from the smallest, the
        // result is as good as extended precision gets.
        long double sum = static_cast<long double>(m_small) / static_cast<long double>(kPerUnit);
        for (double partial : m_large.partials())
            sum += partial;
        return sum;
    }

    // The large values' exact sum is given as a double (as the server's exact sum of
    // them, rounded once, is read back).
    void addLarge(double value) { m_large.add(value); }
    void addSmall(__int128 units) { m_small += units; }

private:
    double largest() const
    {
        for (auto it = m_large.partials().rbegin(); it != m_large.partials().rend(); ++it) {
            if (*it != 0)
                return *it;
        }
        return 0;
    }
    // Only while every partial is below 2^100: each is a whole number of eighths.
    __int128 exactUnits() const
    {
        __int128 units = m_small;
        for (double partial : m_large.partials())
            units += static_cast<__int128>(partial * 8) * (static_cast<__int128>(kPerUnit) / 8);
        return units;
    }

    __int128 m_small = 0; // values below kLarge, in whole ten-thousandths
    ExactSum m_large;     // the larger values themselves, summed exactly
};

// A value in ten-thousandths; NaN (a null) is 0.
inline Units of(double value)
{
    return Units::of(value);
}

// The amount a count of ten-thousandths stands for.
inline long double amountOf(const Units &units)
{
    return units.amount();
}

// The sum of a number column in the server's SQL, as text: the values below kLarge
// as whole ten-thousandths (a 64-bit cast each, summed by the server without limit),
// the larger ones exactly in the server's numeric. The text reads back with unitsOfText.
inline QString serverSumExpression(const QString &column)
{
    return QStringLiteral("cast(coalesce(sum(case when abs(%1)<%2 then cast(round(%1*10000) as bigint) end),0) as text)"
                          "||' '||cast(coalesce(sum(case when abs(%1)>=%2 then cast(cast(%1 as text) as numeric) end),0) as text)")
        .arg(column, QStringLiteral("900000000000000"));
}

// The units of a text serverSumExpression made (0 for a null or unreadable text).
Units unitsOfText(const QString &text);

} // namespace TenThousandths
