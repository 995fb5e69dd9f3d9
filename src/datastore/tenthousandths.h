#pragma once

#include <QString>
#include <cmath>

// Amounts are summed in ten-thousandths: each value is brought to the nearest 0.0001
// as it is added (half to even, in double arithmetic) and a null adds nothing. The
// server's round() of a double does the same, so a sum made by the server equals one
// made here, to the last unit.
namespace TenThousandths {

inline constexpr double kPerUnit = 10000.0;

// A value in ten-thousandths; NaN (a null) is 0.
inline long long of(double value)
{
    if (std::isnan(value))
        return 0;
    return std::llrint(value * kPerUnit);
}

// The same for a number column in the server's SQL (null stays null and sum() skips it).
inline QString serverExpression(const QString &column)
{
    return QStringLiteral("cast(round(%1*10000) as bigint)").arg(column);
}

} // namespace TenThousandths
