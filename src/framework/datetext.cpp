#include "datetext.h"

#include "apperror.h"


namespace DateText {

QString date(const QDate &date)
{
    return date.toString(QStringLiteral("yyyy-MM-dd"));
}

QString dateTime(const QDateTime &dateTime)
{
    const QTime time = dateTime.time();
    if (time == QTime(0, 0))
        return date(dateTime.date());
    // The long time format of the zh_CN and C locales.
    return date(dateTime.date()) + QLatin1Char(' ') + time.toString(QStringLiteral("HH:mm:ss"));
}

QDateTime lastSecondOf(const QDate &day)
{
    return QDateTime(day, QTime(23, 59, 59));
}

QDate parseDate(const QString &text)
{
    // Single-digit months and days are accepted as the short date format reads them.
    const QString trimmed = text.trimmed();
    QDate parsed = QDate::fromString(trimmed, QStringLiteral("yyyy-M-d"));
    if (!parsed.isValid())
        throw ConversionError(QStringLiteral("'%1' is not a valid date").arg(text));
    return parsed;
}

} // namespace DateText
