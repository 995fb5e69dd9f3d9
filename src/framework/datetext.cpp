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

QDate storedDatePrefix(QByteArrayView text)
{
    if (text.size() < 10 || text[4] != '-' || text[7] != '-')
        return {};
    auto number = [&](int from, int length) {
        int result = 0;
        for (int i = from; i < from + length; ++i) {
            if (text[i] < '0' || text[i] > '9')
                return -1;
            result = result * 10 + (text[i] - '0');
        }
        return result;
    };
    const int year = number(0, 4), month = number(5, 2), day = number(8, 2);
    if (year < 0 || month < 0 || day < 0)
        return {};
    return QDate(year, month, day); // invalid for a month or day that does not exist
}

} // namespace DateText
