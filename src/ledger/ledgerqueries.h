#pragma once

#include "datagrid.h"
#include "tablequery.h"

#include <QDate>
#include <QString>
#include <QVariantList>

// A statement with its bound values.
struct SqlStatement
{
    QString text;
    QVariantList parameters;
};

// What the quick query box holds.
struct QuickQueryInput
{
    bool byCategory = false;
    QString category;
    bool byName = false;
    QString name;
    bool byCode = false;
    QString code;
    bool byModel = false;
    QString model;
    bool byDate = false;
    QDate from;
    QDate to;

    bool anyTicked() const { return byCategory || byName || byCode || byModel || byDate; }
};

// The ledger's statements. Typed texts are bound as values, never spliced in; the
// patterns keep their meaning, so a typed % or _ still acts as a wildcard.
namespace LedgerQueries {

// Records flagged "1", narrowed in a fixed order by each ticked box that holds text:
// category and model contain the text, name and code end with it, and the
// sale date lies in the range, both ends included (a sale with a time of day on the
// last day as well). The text is taken as typed.
// With `scanDates` the date condition is written so the engine scans the table
// instead of using the date index: on an encrypted file, fetching a large share of
// the rows one by one through the index is several times slower than one scan.
TableQuery quickQueryOf(const QuickQueryInput &input, bool scanDates = false);
// The same query as statement text.
SqlStatement quickQuery(const QuickQueryInput &input, bool scanDates = false);

// Whether a date range holds so large a share of the records that a scan is quicker.
bool prefersScan(qint64 recordsInRange, qint64 records);

// The sort a title click asks for: ascending when the column showed the down marker,
// else descending.
SortKey sortOf(const QString &field, SortMarker markerBeforeClick);

} // namespace LedgerQueries
