#include "saleschartqueries.h"

#include "apperror.h"
#include "dataset.h"
#include "datetext.h"
#include "mylib.h"

#include <QDate>
#include <QLocale>
#include <cmath>
#include <optional>

namespace {

// The database compares the typed text with the numeric date part; anything that is
// not a number is a type mismatch.
double numberFromText(const QString &text)
{
    bool ok = false;
    const double value = QLocale::c().toDouble(text.trimmed(), &ok);
    if (!ok || !std::isfinite(value))
        throw DatabaseError(QStringLiteral("Data type mismatch in criteria expression."));
    return value;
}

// A whole number within [low, high], else nothing (no stored date can match it).
std::optional<int> wholeNumberIn(double value, int low, int high)
{
    if (value != std::floor(value) || value < low || value > high)
        return std::nullopt;
    return int(value);
}

// Bounds that no stored date falls between.
const QVariantList kNothing{QDate(2, 1, 1), QDate(1, 1, 1)};

} // namespace

namespace SalesChartQueries {

Statement monthly(const QString &yearText)
{
    Statement statement;
    statement.sql = QStringLiteral("select month(day1) as 月份, sum(\"4\") as 总量 from data "
                                   "where day1 between ? and ? group by month(day1) order by month(day1)");
    const std::optional<int> year = wholeNumberIn(numberFromText(yearText), 1, 9999);
    statement.parameters =
        year ? QVariantList{QDate(*year, 1, 1), DateText::lastSecondOf(QDate(*year, 12, 31))} : kNothing;
    return statement;
}

Statement daily(const QString &monthText, const QString &yearText)
{
    Statement statement;
    statement.sql = QStringLiteral("select day(day1) as 日期, sum(\"4\") as 总量 from data "
                                   "where day1 between ? and ? group by day(day1) order by day(day1)");
    // Both texts are checked before anything runs, month first as the statement reads them.
    const double monthValue = numberFromText(monthText);
    const double yearValue = numberFromText(yearText);
    const std::optional<int> month = wholeNumberIn(monthValue, 1, 12);
    const std::optional<int> year = wholeNumberIn(yearValue, 1, 9999);
    if (month && year) {
        const QDate first(*year, *month, 1);
        statement.parameters = {first, DateText::lastSecondOf(QDate(*year, *month, first.daysInMonth()))};
    } else {
        statement.parameters = kNothing;
    }
    return statement;
}

QList<QPointF> open(Dataset &query, const Statement &statement)
{
    mylib::openSql(query, statement.sql, statement.parameters);
    QList<QPointF> points;
    const int rows = query.recordCount();
    points.reserve(rows);
    for (int row = 0; row < rows; ++row) {
        const QVariant x = query.valueAt(row, 0);
        const QVariant y = query.valueAt(row, 1);
        // A group whose profits are all blank sums to nothing and draws no bar.
        if (x.isNull() || y.isNull())
            continue;
        points.append(QPointF(x.toDouble(), y.toDouble()));
    }
    return points;
}

} // namespace SalesChartQueries
