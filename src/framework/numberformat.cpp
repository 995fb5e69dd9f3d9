#include "numberformat.h"

#include "apperror.h"

#include <QLocale>
#include <QRegularExpression>
#include <cmath>
#include <cstdio>

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

double parse(const QString &text)
{
    static const QRegularExpression number(
        QStringLiteral(R"(^[+-]?(\d+\.?\d*|\.\d+)([eE][+-]?\d+)?$)"));
    QString trimmed = text.trimmed();
    const QString separator = decimalSeparator();
    if (separator != QLatin1String("."))
        trimmed.replace(separator, QStringLiteral("."));
    if (!number.match(trimmed).hasMatch())
        throw ConversionError(QStringLiteral("'%1' is not a valid floating point value").arg(text));
    bool ok = false;
    const double value = QLocale::c().toDouble(trimmed, &ok);
    if (!ok || !std::isfinite(value))
        throw ConversionError(QStringLiteral("'%1' is not a valid floating point value").arg(text));
    return value;
}

} // namespace NumberFormat
