#pragma once

#include <QStringList>
#include <cstdint>
#include <vector>

namespace SortOrder {

// The positions of `keys` in ascending key order; equal keys keep their order. The
// keys are taken by value and given back before the sort takes its work space, so a
// caller that moves them in keeps a ten-million-row sort's peak down.
std::vector<int> stableOrderOf(std::vector<std::uint64_t> keys);

// Empties `list` and gives its memory back (assigning {} would keep the memory).
template<typename T>
void giveBack(std::vector<T> &list)
{
    std::vector<T>().swap(list);
}

// A row's key beside a value read for it.
struct KeyedValue
{
    qint64 key;
    double value;
};

// The pairs (keys[i], values[i]) in ascending key order. The two lists are given back
// once the pairs are made.
std::vector<KeyedValue> byKey(std::vector<qint64> keys, std::vector<double> values);

// A double as an unsigned number in the same order, NaN (a null) below everything;
// -0 and 0 are equal.
std::uint64_t orderedBits(double value);

// The indexes of `texts` in the Chinese collation's order (pinyin); texts it holds equal
// keep their order. Dates written as ISO texts and codes keep a sensible order under
// it as well, since digits sort by value.
std::vector<int> pinyinOrder(const QStringList &texts);

// Each text's place in that order (0 for the first), as a sortable number.
std::vector<double> pinyinRanks(const QStringList &texts);

} // namespace SortOrder
