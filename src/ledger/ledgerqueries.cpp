#include "ledgerqueries.h"

#include "datetext.h"

namespace LedgerQueries {

namespace {

// The flag of the records the ledger shows.
const char *const kShownField = "o";
const char *const kShown = "1";

// The conditions the ticked boxes add to that of the records shown.
std::vector<FieldCondition> narrowingOf(const QuickQueryInput &input, bool scanDates)
{
    using Comparison = FieldCondition::Comparison;
    std::vector<FieldCondition> conditions;
    auto narrow = [&](bool ticked, const QString &text, const char *field, const QString &pattern) {
        if (ticked && !text.isEmpty())
            conditions.push_back({QString::fromLatin1(field), Comparison::Like, pattern});
    };
    const QString percent = QStringLiteral("%");
    narrow(input.byCategory, input.category, "a", percent + input.category + percent);
    narrow(input.byName, input.name, "b", percent + input.name);
    narrow(input.byCode, input.code, "c", percent + input.code);
    narrow(input.byModel, input.model, "d", percent + input.model + percent);
    if (input.byDate) {
        const QString day = QStringLiteral("day1");
        conditions.push_back({day, Comparison::AtLeast, input.from, scanDates});
        conditions.push_back({day, Comparison::AtMost, DateText::lastSecondOf(input.to), scanDates});
    }
    return conditions;
}

} // namespace

TableQuery quickQueryOf(const QuickQueryInput &input, bool scanDates)
{
    TableQuery query;
    query.table = QStringLiteral("data");
    query.conditions.push_back(
        {QString::fromLatin1(kShownField), FieldCondition::Comparison::Equal, QString::fromLatin1(kShown)});
    for (FieldCondition &condition : narrowingOf(input, scanDates))
        query.conditions.push_back(std::move(condition));
    return query;
}

SqlStatement quickQuery(const QuickQueryInput &input, bool scanDates)
{
    SqlStatement statement{QStringLiteral("select * from data where %1='%2' ").arg(QString::fromLatin1(kShownField),
                                                                                  QString::fromLatin1(kShown)),
                           {}};
    for (const FieldCondition &condition : narrowingOf(input, scanDates)) {
        statement.text += QStringLiteral(" and ") + condition.sql();
        statement.parameters << condition.value;
    }
    return statement;
}

bool prefersScan(qint64 recordsInRange, qint64 records)
{
    // Measured on a million records: a scan costs about as much as fetching a
    // twentieth of the rows through the index.
    return recordsInRange * 20 > records;
}

SortKey sortOf(const QString &field, SortMarker markerBeforeClick)
{
    return {field, markerBeforeClick != SortMarker::Down};
}

} // namespace LedgerQueries
