#pragma once

#include <QByteArrayView>
#include <QDate>
#include <QDateTime>
#include <QString>

// The date texts every window uses: "yyyy-MM-dd" for dates, and the date followed by
// the long time format for date-times (no time part at exactly midnight).
namespace DateText {

QString date(const QDate &date);
QString dateTime(const QDateTime &dateTime);

// The upper bound of a range of sale dates that ends on `day`: a stored date may carry
// a time of day, and a sale late that day still belongs to it.
QDateTime lastSecondOf(const QDate &day);

// Reads a date text; raises ConversionError("'text' is not a valid date").
QDate parseDate(const QString &text);

// The date a stored text starts with ("yyyy-MM-dd", any time after it); invalid when
// it starts with none. Much quicker than the general parser, for reads of many rows.
QDate storedDatePrefix(QByteArrayView text);

} // namespace DateText
