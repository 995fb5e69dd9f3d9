#pragma once

// A column's values turned into numbers in sort order, so that rows sort by one radix
// pass over doubles: numbers by value, texts by their rank in the Chinese collation
// (pinyin), nulls as NaN.

#include "fieldtype.h"

#include <QHash>
#include <QStringList>
#include <QVariant>
#include <vector>

namespace ColumnRanks {

// Orders rows by ranks: nulls (NaN) first, last when descending. Equal ranks keep
// their current order.
std::vector<int> sortedPositions(std::vector<double> ranks, bool descending);

// The distinct texts of a column, each read once; ids become collation ranks. A million
// rows then need no text per row.
class DistinctTexts
{
public:
    int idOf(const QVariant &value);
    // Replaces ids by ranks in the Chinese collation; NaN (null) stays.
    void toRanks(std::vector<double> &values) const;

private:
    QHash<QString, int> m_ids;
    QStringList m_texts;
};

// Ranks of values held as variants: numbers by value, any other value by its text.
class RankBuilder
{
public:
    explicit RankBuilder(FieldType type) : m_type(type) {}

    void add(const QVariant &value);
    std::vector<double> ranks();

private:
    FieldType m_type;
    std::vector<double> m_numbers;
    std::vector<int> m_textIndex;
    QHash<QString, int> m_distinct;
};

} // namespace ColumnRanks
