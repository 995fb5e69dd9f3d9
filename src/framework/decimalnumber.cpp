#include "decimalnumber.h"

#include "apperror.h"
#include "numberformat.h"

#include <QLocale>
#include <algorithm>

namespace {

constexpr int kSignificantDigits = 15;

using Digits = std::vector<std::uint8_t>; // most significant first

// Magnitudes are added and subtracted aligned on their last digit.
int compareMagnitudes(const Digits &a, const Digits &b)
{
    if (a.size() != b.size())
        return a.size() < b.size() ? -1 : 1;
    for (size_t i = 0; i < a.size(); ++i) {
        if (a[i] != b[i])
            return a[i] < b[i] ? -1 : 1;
    }
    return 0;
}

Digits addMagnitudes(const Digits &a, const Digits &b)
{
    Digits sum(std::max(a.size(), b.size()) + 1, 0);
    int carry = 0;
    for (size_t i = 0; i < sum.size(); ++i) {
        int digit = carry;
        if (i < a.size())
            digit += a[a.size() - 1 - i];
        if (i < b.size())
            digit += b[b.size() - 1 - i];
        sum[sum.size() - 1 - i] = std::uint8_t(digit % 10);
        carry = digit / 10;
    }
    return sum;
}

// a − b for a ≥ b.
Digits subtractMagnitudes(const Digits &a, const Digits &b)
{
    Digits difference(a.size(), 0);
    int borrow = 0;
    for (size_t i = 0; i < a.size(); ++i) {
        int digit = int(a[a.size() - 1 - i]) - borrow;
        if (i < b.size())
            digit -= b[b.size() - 1 - i];
        borrow = digit < 0 ? 1 : 0;
        difference[a.size() - 1 - i] = std::uint8_t(digit + 10 * borrow);
    }
    return difference;
}

Digits withZeros(Digits digits, long long zeros)
{
    digits.insert(digits.end(), size_t(zeros), 0);
    return digits;
}

} // namespace

DecimalNumber::DecimalNumber(bool negative, std::vector<std::uint8_t> digits, long long exponent)
    : m_negative(negative), m_digits(std::move(digits)), m_exponent(exponent)
{
    normalize();
}

void DecimalNumber::normalize()
{
    const auto firstNonZero = std::find_if(m_digits.begin(), m_digits.end(), [](std::uint8_t d) { return d != 0; });
    m_digits.erase(m_digits.begin(), firstNonZero);
    while (!m_digits.empty() && m_digits.back() == 0) {
        m_digits.pop_back();
        ++m_exponent;
    }
    if (m_digits.empty()) {
        m_negative = false;
        m_exponent = 0;
    }
}

DecimalNumber DecimalNumber::parse(const QString &text)
{
    // The syntax check and its error text are the same as for every other number box;
    // it also refuses what does not fit a double, so the exponent below is small.
    NumberFormat::parse(text);

    QString trimmed = text.trimmed();
    const QString separator = QLocale().decimalPoint();
    if (separator != QLatin1String("."))
        trimmed.replace(separator, QStringLiteral("."));
    bool negative = false;
    if (trimmed.startsWith(QLatin1Char('+')) || trimmed.startsWith(QLatin1Char('-'))) {
        negative = trimmed.startsWith(QLatin1Char('-'));
        trimmed.remove(0, 1);
    }
    long long exponent = 0;
    const qsizetype e = trimmed.indexOf(QLatin1Char('e'), 0, Qt::CaseInsensitive);
    if (e >= 0) {
        bool ok = false;
        exponent = trimmed.mid(e + 1).toLongLong(&ok);
        trimmed.truncate(e);
        if (!ok)
            exponent = 0; // only a zero mantissa gets here: any other would not be finite
    }
    Digits digits;
    bool afterPoint = false;
    for (const QChar c : std::as_const(trimmed)) {
        if (c == QLatin1Char('.')) {
            afterPoint = true;
            continue;
        }
        digits.push_back(std::uint8_t(c.unicode() - '0'));
        if (afterPoint)
            --exponent;
    }
    return DecimalNumber(negative, std::move(digits), exponent);
}

DecimalNumber DecimalNumber::operator*(const DecimalNumber &other) const
{
    if (isZero() || other.isZero())
        return {};
    // Schoolbook multiplication on little-endian digits; box texts are short.
    std::vector<int> product(m_digits.size() + other.m_digits.size(), 0);
    for (size_t i = 0; i < m_digits.size(); ++i) {
        for (size_t j = 0; j < other.m_digits.size(); ++j)
            product[i + j] += m_digits[m_digits.size() - 1 - i] * other.m_digits[other.m_digits.size() - 1 - j];
    }
    Digits digits(product.size(), 0);
    int carry = 0;
    for (size_t k = 0; k < product.size(); ++k) {
        const int value = product[k] + carry;
        digits[product.size() - 1 - k] = std::uint8_t(value % 10);
        carry = value / 10;
    }
    return DecimalNumber(m_negative != other.m_negative, std::move(digits), m_exponent + other.m_exponent);
}

DecimalNumber DecimalNumber::operator-(const DecimalNumber &other) const
{
    if (other.isZero())
        return *this;
    const bool otherNegative = !other.m_negative;
    if (isZero())
        return DecimalNumber(otherNegative, other.m_digits, other.m_exponent);
    const long long exponent = std::min(m_exponent, other.m_exponent);
    const Digits a = withZeros(m_digits, m_exponent - exponent);
    const Digits b = withZeros(other.m_digits, other.m_exponent - exponent);
    if (m_negative == otherNegative)
        return DecimalNumber(m_negative, addMagnitudes(a, b), exponent);
    if (compareMagnitudes(a, b) >= 0)
        return DecimalNumber(m_negative, subtractMagnitudes(a, b), exponent);
    return DecimalNumber(otherNegative, subtractMagnitudes(b, a), exponent);
}

QString DecimalNumber::generalText() const
{
    if (isZero())
        return QStringLiteral("0");

    Digits digits = m_digits;
    long long exponent = m_exponent;
    if (digits.size() > size_t(kSignificantDigits)) {
        const bool roundUp = digits[kSignificantDigits] >= 5;
        exponent += static_cast<long long>(digits.size()) - kSignificantDigits;
        digits.resize(kSignificantDigits);
        if (roundUp)
            digits = addMagnitudes(digits, Digits{1});
        const DecimalNumber rounded(false, std::move(digits), exponent);
        digits = rounded.m_digits;
        exponent = rounded.m_exponent;
    }

    const long long count = static_cast<long long>(digits.size());
    const long long leading = exponent + count - 1; // the power of ten of the first digit
    QString text;
    for (std::uint8_t d : digits)
        text += QLatin1Char(char('0' + d));
    if (leading >= kSignificantDigits || leading < -5) {
        if (count > 1)
            text.insert(1, QLatin1Char('.'));
        text += QLatin1Char('E') + QString::number(leading);
    } else if (exponent >= 0) {
        text += QString(qsizetype(exponent), QLatin1Char('0'));
    } else if (count + exponent > 0) {
        text.insert(qsizetype(count + exponent), QLatin1Char('.'));
    } else {
        text.prepend(QStringLiteral("0.") + QString(qsizetype(-(count + exponent)), QLatin1Char('0')));
    }
    if (m_negative)
        text.prepend(QLatin1Char('-'));
    return text.replace(QLatin1Char('.'), QLocale().decimalPoint());
}
