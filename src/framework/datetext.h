#pragma once

#include <QDate>
#include <QDateTime>
#include <QString>

// The date texts every window uses: "yyyy-MM-dd" for dates, and the date followed by
// the long time format for date-times (no time part at exactly midnight).
namespace DateText {

QString date(const QDate &date);
QString dateTime(const QDateTime &dateTime);

// Reads a date text; raises ConversionError("'text' is not a valid date").
// The upper bound of a range of sale dates that ends on `day`: a stored date may carry
// a time of day, and a sale late that day still belongs to it.
QDateTime lastSecondOf(const QDate &day);

QDate parseDate(const QString &text);

} // namespace DateText
