#include "sortedruns.h"

#include "apperror.h"
#include "connection.h"
#include "dialect.h"
#include "sortorder.h"
#include "sqlnames.h"

#include <QDate>
#include <algorithm>
#include <numeric>
#include <span>
#include <unordered_set>

namespace {

// Beyond this many distinct values, counting them costs about what reading every row
// does, and a page of the grid would span too many runs.
constexpr int kMostRuns = 100000;
// A few screens: the stretch read around a row the grid draws.
constexpr int kHalfStretch = 256;
// Values named in one statement that reads whole runs.
constexpr int kRunsAtOnce = 500;
// Bytes of a text that its sort index holds whole. An index entry must fit in a third
// of a server page, and a remark may be of any length: texts up to this size (all of a
// shop's, as a rule) are held whole, so the index alone serves a sort; longer ones have
// an index of their own that holds their beginning, and they are compared whole among
// the few that share it.
constexpr int kWholeTextBytes = 2000;
constexpr int kLongTextPrefix = 200; // characters

QString shortText(const QString &column)
{
    return QStringLiteral("coalesce(octet_length(%1), 0)<%2").arg(column).arg(kWholeTextBytes);
}

QString longText(const QString &column)
{
    return QStringLiteral("coalesce(octet_length(%1), 0)>=%2").arg(column).arg(kWholeTextBytes);
}

QString textPrefix(const QString &text)
{
    return QStringLiteral("left(%1, %2)").arg(text).arg(kLongTextPrefix);
}

bool isShortText(const QVariant &value)
{
    return value.toString().toUtf8().size() < kWholeTextBytes;
}

QString indexName(const QString &table, const QString &field)
{
    return table + QStringLiteral("_sort_") + field;
}

// A login that may not make indexes, or a transaction that a failed statement would
// spoil, goes without.
bool ensureIndexes(Connection &connection, const QStringList &names, const QStringList &statements)
{
    auto present = [&] {
        for (const QString &name : names) {
            if (!connection.hasIndex(name))
                return false;
        }
        return true;
    };
    if (present())
        return true;
    if (connection.inTransaction())
        return false;
    for (const QString &statement : statements) {
        try {
            connection.execute(statement);
        } catch (const DatabaseError &) {
            // Another terminal made it meanwhile, or this login may not.
        }
    }
    return present();
}

} // namespace

QString SortedRuns::equalTo(const QVariant &value, QVariantList &parameters) const
{
    parameters << value;
    if (m_kind != Kind::Text)
        return m_expression + QStringLiteral("=?");
    // Each condition names the part of the table its index holds, so that the server
    // takes that index.
    if (isShortText(value))
        return QStringLiteral("%1=? and %2").arg(m_expression, shortText(m_expression));
    parameters << value;
    return QStringLiteral("%1=%2 and %3=? and %4")
        .arg(textPrefix(m_expression), textPrefix(QStringLiteral("?")), m_expression, longText(m_expression));
}

QString SortedRuns::isNull() const
{
    if (m_kind == Kind::Text)
        return QStringLiteral("%1 is null and %2").arg(m_expression, shortText(m_expression));
    return m_expression + QStringLiteral(" is null");
}

std::optional<std::pair<SortedRuns::Kind, QString>> SortedRuns::orderOf(const QString &field, FieldType type)
{
    const QString column = quotedName(field);
    switch (type) {
    case FieldType::Number:
    case FieldType::Integer:
        return std::pair{Kind::Number, column};
    case FieldType::Date:
        // A sale date may carry a time of day; the ledger orders by the day alone.
        return std::pair{Kind::Day, QStringLiteral("cast(%1 as date)").arg(column)};
    case FieldType::Text:
        return std::pair{Kind::Text, column};
    default:
        return std::nullopt;
    }
}

QStringList SortedRuns::indexStatements(const QString &table, const QString &field, FieldType type)
{
    const auto order = orderOf(field, type);
    if (!order)
        return {};
    const QString name = indexName(table, field);
    const QString statement = QStringLiteral("create index if not exists %1 on %2 ((%3), rowid)")
                                  .arg(quotedName(name), quotedName(table), order->second);
    if (order->first != Kind::Text)
        return {statement};
    return {statement + QStringLiteral(" where ") + shortText(order->second),
            QStringLiteral("create index if not exists %1 on %2 ((%3), rowid) where %4")
                .arg(quotedName(name + QStringLiteral("_long")), quotedName(table), textPrefix(order->second),
                     longText(order->second))};
}

void SortedRuns::dropWholeTextIndexes(Connection &connection, const QString &table)
{
    // A sort index whose first column is a text column, for every length of it.
    const QStringList names =
        connection.dialect().unboundedTextIndexes(connection, table, table + QStringLiteral("\\_sort\\_%"));
    for (const QString &name : names) {
        try {
            connection.execute(QStringLiteral("drop index if exists %1").arg(quotedName(name)));
        } catch (const DatabaseError &) {
            // A login that does not own the table leaves it to one that does; sorts work
            // either way.
        }
    }
}

std::unique_ptr<SortedRuns> SortedRuns::open(Connection &connection, const KeyedRows &rows, const QString &field,
                                             FieldType type, bool descending)
{
    const auto order = orderOf(field, type);
    // Without statistics, the runs are tried: counting them stops at kMostRuns.
    if (!order || connection.dialect().distinctValues(connection, rows.table, field).value_or(0) > kMostRuns)
        return nullptr;
    QStringList names{indexName(rows.table, field)};
    if (order->first == Kind::Text)
        names << names.first() + QStringLiteral("_long");
    if (!ensureIndexes(connection, names, indexStatements(rows.table, field, type)))
        return nullptr;
    const auto &[kind, expression] = *order;
    std::unique_ptr<SortedRuns> runs(new SortedRuns(connection, rows, expression, kind, descending));
    runs->countRuns(kMostRuns);
    if (runs->m_runs.size() > size_t(kMostRuns))
        return nullptr;
    runs->putInOrder();
    return runs;
}

SortedRuns::SortedRuns(Connection &connection, KeyedRows rows, QString expression, Kind kind, bool descending)
    : m_connection(connection), m_filter(std::move(rows)), m_expression(std::move(expression)), m_kind(kind),
      m_descending(descending)
{
}

// Every row of the table counted by value, less the rows outside the filter (others'
// rows added since the open, a handful), in one statement so both see the same rows:
// the whole table is counted from the index alone, in parallel.
void SortedRuns::countRuns(int limit)
{
    Statement statement = m_connection.prepare(
        QStringLiteral("select %1, count(*), 0 from %2 group by 1 "
                       "union all select %1, 0, count(*) from %2 where not (%3) group by 1 limit ?")
            .arg(m_expression, m_filter.table, m_filter.condition));
    statement.bind(m_filter.parameters + QVariantList{limit + 1});
    while (statement.step()) {
        const qint64 rows = statement.int64Value(1) - statement.int64Value(2);
        int run = runOf(statement, 0);
        if (run < 0) {
            run = int(m_runs.size());
            m_runs.push_back({statement.value(0), 0, 0});
            findable(run);
        }
        m_runs[run].rows += int(rows);
    }
}

void SortedRuns::findable(int run)
{
    const QVariant &value = m_runs[run].value;
    if (!value.isValid())
        m_nullRun = run;
    else if (m_kind == Kind::Text)
        m_textRuns.insert(value.toString(), run);
    else
        m_numberRuns.emplace(numberKey(value), run);
}

void SortedRuns::makeAllFindable()
{
    m_nullRun = -1;
    m_numberRuns.clear();
    m_textRuns.clear();
    for (int run = 0; run < int(m_runs.size()); ++run)
        findable(run);
}

std::uint64_t SortedRuns::numberKey(const QVariant &value) const
{
    return m_kind == Kind::Day ? std::uint64_t(value.toDate().toJulianDay()) : SortOrder::orderedBits(value.toDouble());
}

void SortedRuns::putInOrder()
{
    // Runs of values the table no longer holds within the filter are dropped.
    std::vector<int> order;
    for (int run = 0; run < int(m_runs.size()); ++run) {
        if (m_runs[run].rows > 0 && run != m_nullRun)
            order.push_back(run);
    }
    if (m_kind == Kind::Text) {
        std::sort(order.begin(), order.end(),
                  [&](int a, int b) { return m_runs[a].value.toString() < m_runs[b].value.toString(); });
        QStringList texts;
        for (int run : order)
            texts << m_runs[run].value.toString();
        const std::vector<int> byCollation = SortOrder::pinyinOrder(texts);
        std::vector<int> sorted;
        for (int index : byCollation)
            sorted.push_back(order[index]);
        order = std::move(sorted);
    } else {
        std::sort(order.begin(), order.end(),
                  [&](int a, int b) { return numberKey(m_runs[a].value) < numberKey(m_runs[b].value); });
    }
    if (m_nullRun >= 0 && m_runs[m_nullRun].rows > 0)
        order.insert(order.begin(), m_nullRun);
    if (m_descending)
        std::reverse(order.begin(), order.end());

    std::vector<Run> runs;
    runs.reserve(order.size());
    m_rows = 0;
    for (int run : order) {
        runs.push_back(m_runs[run]);
        runs.back().start = m_rows;
        m_rows += runs.back().rows;
    }
    m_runs = std::move(runs);
    makeAllFindable();
}

int SortedRuns::runOf(const Statement &statement, int column) const
{
    if (statement.isNull(column))
        return m_nullRun;
    if (m_kind == Kind::Text)
        return m_textRuns.value(statement.value(column).toString(), -1);
    const std::uint64_t key = m_kind == Kind::Day ? std::uint64_t(statement.dateValue(column).toJulianDay())
                                                  : SortOrder::orderedBits(statement.doubleValue(column));
    auto found = m_numberRuns.find(key);
    return found == m_numberRuns.end() ? -1 : found->second;
}

int SortedRuns::runAt(int row) const
{
    auto after = std::upper_bound(m_runs.begin(), m_runs.end(), row,
                                  [](int position, const Run &run) { return position < run.start; });
    return int(after - m_runs.begin()) - 1;
}

KeyedRows SortedRuns::rowsOf(const Run &run) const
{
    KeyedRows rows = m_filter;
    if (run.value.isValid()) {
        rows.condition = QStringLiteral("(%1) and %2").arg(m_filter.condition, equalTo(run.value, rows.parameters));
    } else {
        rows.condition = QStringLiteral("(%1) and %2").arg(m_filter.condition, isNull());
    }
    return rows;
}

int SortedRuns::reverse(std::vector<qint64> &keys, int row)
{
    std::vector<qint64> reversed;
    reversed.reserve(keys.size());
    std::vector<Run> runs(m_runs.rbegin(), m_runs.rend());
    int newRow = row;
    int start = 0;
    for (Run &run : runs) {
        reversed.insert(reversed.end(), keys.begin() + run.start, keys.begin() + run.start + run.rows);
        if (row >= run.start && row < run.start + run.rows)
            newRow = start + (row - run.start);
        run.start = start;
        start += run.rows;
    }
    reversed.insert(reversed.end(), keys.begin() + m_rows, keys.end());
    keys = std::move(reversed);
    m_runs = std::move(runs);
    m_descending = !m_descending;
    makeAllFindable();
    return newRow;
}

int SortedRuns::positionOf(qint64 key) const
{
    Statement statement = m_connection.prepare(
        QStringLiteral("select %1 from %2 where rowid=?").arg(m_expression, m_filter.table));
    statement.bind({key});
    if (!statement.step())
        return -1;
    const int run = runOf(statement, 0);
    if (run < 0 || m_runs[run].rows == 0)
        return -1;
    KeyedRows before = rowsOf(m_runs[run]);
    const qint64 ahead = m_connection
                             .scalar(QStringLiteral("select count(*) from %1 where (%2) and rowid<?")
                                         .arg(before.table, before.condition),
                                     before.parameters + QVariantList{key})
                             .toLongLong();
    return m_runs[run].start + int(std::min<qint64>(ahead, m_runs[run].rows - 1));
}

void SortedRuns::readAround(std::vector<qint64> &keys, int row) const
{
    int from = std::max(0, row - kHalfStretch);
    int to = std::min(m_rows, row + kHalfStretch);
    while (from < to && keys[from] != kUnreadKey)
        ++from;
    while (to > from && keys[to - 1] != kUnreadKey)
        --to;
    if (from >= to)
        return;
    // Runs wholly inside the stretch are read together; a run the stretch cuts is read
    // in part, next to the keys already read where there are some.
    std::vector<int> whole;
    for (int run = runAt(from); run < int(m_runs.size()) && m_runs[run].start < to; ++run) {
        const Run &each = m_runs[run];
        if (each.rows == 0)
            continue;
        const int first = std::max(from, each.start);
        const int end = std::min(to, each.start + each.rows);
        if (first == each.start && end == each.start + each.rows) {
            whole.push_back(run);
            continue;
        }
        readKeyStretch(m_connection, rowsOf(each), std::span(keys).subspan(size_t(each.start), size_t(each.rows)),
                       first - each.start, end - each.start);
    }
    for (size_t at = 0; at < whole.size(); at += kRunsAtOnce)
        readWholeRuns(keys, {whole.begin() + at, whole.begin() + std::min(whole.size(), at + kRunsAtOnce)});
}

void SortedRuns::readWholeRuns(std::vector<qint64> &keys, const std::vector<int> &runs) const
{
    QStringList conditions;
    QVariantList values;
    QVariantList longer;
    for (int run : runs) {
        const QVariant &value = m_runs[run].value;
        if (!value.isValid())
            conditions << QStringLiteral("(%1)").arg(isNull());
        else if (m_kind == Kind::Text && !isShortText(value))
            longer << value;
        else
            values << value;
    }
    if (!values.isEmpty()) {
        conditions << QStringLiteral("(%1 in (%2)%3)")
                          .arg(m_expression, placeholders(int(values.size())),
                               m_kind == Kind::Text ? QStringLiteral(" and ") + shortText(m_expression) : QString());
    }
    for (const QVariant &text : longer)
        conditions << QStringLiteral("(%1)").arg(equalTo(text, values));
    Statement statement = m_connection.prepare(QStringLiteral("select %1, rowid from %2 where (%3) and (%4) order by rowid")
                                                   .arg(m_expression, m_filter.table, m_filter.condition,
                                                        conditions.join(QStringLiteral(" or "))));
    statement.bind(m_filter.parameters + values);
    std::vector<std::pair<int, qint64>> keyed;
    while (statement.step())
        keyed.emplace_back(runOf(statement, 0), statement.int64Value(1));
    place(keys, keyed, runs);
}

void SortedRuns::readAll(std::vector<qint64> &keys) const
{
    Statement statement = m_connection.prepare(
        QStringLiteral("select %1, rowid from %2 where %3").arg(m_expression, m_filter.table, m_filter.condition));
    statement.bind(m_filter.parameters);
    std::vector<std::pair<int, qint64>> keyed;
    keyed.reserve(size_t(m_rows));
    while (statement.step())
        keyed.emplace_back(runOf(statement, 0), statement.int64Value(1));
    // Rows come from the server's parallel scan in no set order.
    std::vector<std::uint64_t> order(keyed.size());
    for (size_t i = 0; i < keyed.size(); ++i)
        order[i] = std::uint64_t(keyed[i].second);
    std::vector<std::pair<int, qint64>> sorted;
    sorted.reserve(keyed.size());
    for (int position : SortOrder::stableOrderOf(std::move(order)))
        sorted.push_back(keyed[position]);
    std::vector<int> runs(m_runs.size());
    std::iota(runs.begin(), runs.end(), 0);
    place(keys, sorted, runs);
}

void SortedRuns::place(std::vector<qint64> &keys, const std::vector<std::pair<int, qint64>> &keyed,
                       const std::vector<int> &runs) const
{
    std::unordered_map<int, std::vector<qint64>> found;
    for (int run : runs)
        found[run];
    for (const auto &[run, key] : keyed) {
        auto entry = found.find(run);
        if (entry != found.end())
            entry->second.push_back(key);
    }
    for (auto &[run, runKeys] : found) {
        // Keys read before stay where they are shown, so an edit goes to the row the
        // operator sees; the others fill the unread places in key order. Places left
        // over are rows another terminal removed; rows it gave this value since the
        // count have no place.
        const auto slice = std::span(keys).subspan(size_t(m_runs[run].start), size_t(m_runs[run].rows));
        std::unordered_set<qint64> shown;
        for (qint64 key : slice) {
            if (key > 0)
                shown.insert(key);
        }
        auto next = runKeys.cbegin();
        for (qint64 &slot : slice) {
            if (slot != kUnreadKey)
                continue;
            while (next != runKeys.cend() && shown.contains(*next))
                ++next;
            slot = next != runKeys.cend() ? *next++ : kGoneKey;
        }
    }
}

void SortedRuns::removed(int row)
{
    const int run = runAt(row);
    if (run < 0)
        return;
    --m_runs[run].rows;
    for (size_t later = size_t(run) + 1; later < m_runs.size(); ++later)
        --m_runs[later].start;
    --m_rows;
}
