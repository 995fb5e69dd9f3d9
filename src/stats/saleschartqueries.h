#pragma once

#include <QList>
#include <QPointF>
#include <QString>
#include <QVariantList>

class Dataset;

// The two statements behind the sales charts: the profit summed per month of a year
// and per day of a month. The year and month arrive as the texts typed into the
// window's boxes; a text that is not a number is refused the way the database
// refuses a type mismatch, so the chart stays empty and the operator is told.
//
// Both statements select on the stored sale date as a range ("yyyy-MM-dd" texts
// compare in date order), so the date index serves them on a long history.
namespace SalesChartQueries {

struct Statement
{
    QString sql;
    QVariantList parameters;
};

// month, profit sum: one row per month of the year that has sales, months ascending.
Statement monthly(const QString &yearText);
// day of month, profit sum: one row per day of that month that has sales, in date order.
Statement daily(const QString &monthText, const QString &yearText);

// Opens the statement on the query (closing it first) and returns its rows as
// (x, y) points; the query stays open. Raises DatabaseError as the statement does.
QList<QPointF> open(Dataset &query, const Statement &statement);

} // namespace SalesChartQueries
