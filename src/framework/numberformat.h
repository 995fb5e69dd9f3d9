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

} // namespace NumberFormat
