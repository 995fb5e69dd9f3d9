#pragma once

#include <QString>
#include <cstdint>
#include <vector>

// A number exactly as it was written in decimal, for sums a shop checks by hand: 87.1 − 88
// is −0.9 here, where binary doubles give −0.900000000000006. Only what the entry panel's
// running sums need: reading a box text, product, difference, and the general format.
class DecimalNumber
{
public:
    DecimalNumber() = default;

    // Reads a box text with NumberFormat::parse's rules (and its ConversionError), but
    // keeps every digit that was typed.
    static DecimalNumber parse(const QString &text);

    DecimalNumber operator*(const DecimalNumber &other) const;
    DecimalNumber operator-(const DecimalNumber &other) const;

    bool isZero() const { return m_digits.empty(); }

    // The general number format of the exact value: rounded half away from zero to at
    // most 15 significant digits, no trailing zeros, scientific notation only for very
    // large or very small magnitudes, the locale's decimal separator.
    QString generalText() const;

private:
    DecimalNumber(bool negative, std::vector<std::uint8_t> digits, long long exponent);
    void normalize();

    bool m_negative = false;
    // The value is ±digits × 10^exponent; digits most significant first, neither leading
    // nor trailing zeros, empty for zero.
    std::vector<std::uint8_t> m_digits;
    long long m_exponent = 0;
};
