#pragma once

#include <QString>

namespace NumberFormat {

// The general number format: shortest text with at most 15 significant digits, no
// thousands separators, no trailing zeros, the locale's decimal separator, and
// scientific notation only for very large or very small magnitudes.
QString general(long double value);

// Reads a number the way the entry panel does: surrounding blanks allowed, the
// locale's decimal separator; anything else raises
// ConversionError("'text' is not a valid floating point value").
double parse(const QString &text);

// Numbers the operator types (and the admin tool takes) stay below this magnitude: a
// ledger's sums then stay exact, and a slip of the finger does not become a sale of
// trillions.
inline constexpr double kLargestTyped = 1e12;
// Whether a text written as a number stands for one of magnitude 10^12 or more, or one
// beyond the range of numbers (which parse() refuses as not a number).
bool isTooLarge(const QString &text);
// The operator's message for such a number in the box `boxName` ("销售单价").
QString tooLargeMessage(const QString &boxName);

} // namespace NumberFormat
