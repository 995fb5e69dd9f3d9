#include "numberformat.h"

#include "apperror.h"

#include <QLocale>
#include <QRegularExpression>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <locale.h>

namespace {

constexpr int kPrecision = 15;

QString decimalSeparator()
{
    return QLocale().decimalPoint();
}

QString stripTrailingZeros(QString digits)
{
    if (!digits.contains(QLatin1Char('.')))
        return digits;
    while (digits.endsWith(QLatin1Char('0')))
        digits.chop(1);
    if (digits.endsWith(QLatin1Char('.')))
        digits.chop(1);
    return digits;
}

} // namespace

namespace NumberFormat {

QString general(long double value)
{
    if (std::isnan(value))
        return QStringLiteral("NAN");
    if (std::isinf(value))
        return value > 0 ? QStringLiteral("INF") : QStringLiteral("-INF");
    if (value == 0)
        return QStringLiteral("0");

    // Round to 15 significant digits first; the exponent of the rounded value decides
    // between fixed and scientific notation.
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%.*Le", kPrecision - 1, value);
    const QString scientific = QString::fromLatin1(buffer);
    const qsizetype ePos = scientific.indexOf(QLatin1Char('e'));
    const int exponent = scientific.mid(ePos + 1).toInt();
    QString mantissa = scientific.left(ePos);

    QString text;
    if (exponent >= kPrecision || exponent < -5) {
        mantissa = stripTrailingZeros(mantissa);
        text = mantissa + QLatin1Char('E') + QString::number(exponent);
    } else {
        const int decimals = std::max(0, kPrecision - 1 - exponent);
        std::snprintf(buffer, sizeof buffer, "%.*Lf", decimals, value);
        text = stripTrailingZeros(QString::fromLatin1(buffer));
        if (text == QLatin1String("-0"))
            text = QStringLiteral("0");
    }
    return text.replace(QLatin1Char('.'), decimalSeparator());
}

// The text in the C locale's notation when it is written as a number, else empty.
QString numberNotation(const QString &text)
{
    static const QRegularExpression number(
        QStringLiteral(R"(^[+-]?(\d+\.?\d*|\.\d+)([eE][+-]?\d+)?$)"));
    QString trimmed = text.trimmed();
    const QString separator = decimalSeparator();
    if (separator != QLatin1String("."))
        trimmed.replace(separator, QStringLiteral("."));
    return number.match(trimmed).hasMatch() ? trimmed : QString();
}

double parse(const QString &text)
{
    const QString trimmed = numberNotation(text);
    if (trimmed.isEmpty())
        throw ConversionError(QStringLiteral("'%1' is not a valid floating point value").arg(text));
    bool ok = false;
    const double value = QLocale::c().toDouble(trimmed, &ok);
    if (!ok || !std::isfinite(value))
        throw ConversionError(QStringLiteral("'%1' is not a valid floating point value").arg(text));
    return value;
}

bool isTooLarge(const QString &text)
{
    const QString notation = numberNotation(text);
    if (notation.isEmpty())
        return false;
    // A text beyond the range of doubles reads as infinite: too large, not mistyped.
    static const locale_t c = newlocale(LC_ALL_MASK, "C", locale_t(nullptr));
    const QByteArray latin = notation.toLatin1();
    const double value = strtod_l(latin.constData(), nullptr, c);
    return !std::isfinite(value) || std::fabs(value) >= kLargestTyped;
}

QString tooLargeMessage(const QString &boxName)
{
    return QStringLiteral("%1的数值太大：其绝对值必须小于 1000000000000（一万亿）。").arg(boxName);
}

} // namespace NumberFormat
