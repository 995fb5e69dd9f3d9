#include "sortorder.h"

#include <QCollator>
#include <QLocale>
#include <algorithm>
#include <numeric>
#include <bit>
#include <cmath>
#include <utility>

namespace SortOrder {

namespace {

// A radix sort of `items` by `keyOf(item)` (an unsigned 64-bit number), sixteen bits a
// pass, skipping passes where all keys share the digit: a sort of a million rows is a
// few passes over memory, several times quicker than comparing. Stable.
template<typename Item, typename KeyOf>
void radixSort(std::vector<Item> &items, KeyOf keyOf)
{
    const size_t n = items.size();
    std::vector<Item> scratch(n);
    std::vector<size_t> starts(size_t(1) << 16);
    for (int shift = 0; shift < 64; shift += 16) {
        std::fill(starts.begin(), starts.end(), 0);
        for (const Item &item : items)
            ++starts[(keyOf(item) >> shift) & 0xffff];
        if (n == 0 || starts[(keyOf(items[0]) >> shift) & 0xffff] == n)
            continue;
        size_t next = 0;
        for (size_t &start : starts)
            next += std::exchange(start, next);
        for (const Item &item : items)
            scratch[starts[(keyOf(item) >> shift) & 0xffff]++] = item;
        items.swap(scratch);
    }
}

} // namespace

std::vector<int> stableOrderOf(std::vector<std::uint64_t> keys)
{
    struct Item
    {
        std::uint64_t key;
        int position;
    };
    const size_t n = keys.size();
    std::vector<Item> items(n);
    for (size_t i = 0; i < n; ++i)
        items[i] = {keys[i], int(i)};
    giveBack(keys);
    radixSort(items, [](const Item &item) { return item.key; });
    std::vector<int> order(n);
    for (size_t i = 0; i < n; ++i)
        order[i] = items[i].position;
    return order;
}

std::vector<KeyedValue> byKey(std::vector<qint64> keys, std::vector<double> values)
{
    std::vector<KeyedValue> items(keys.size());
    for (size_t i = 0; i < items.size(); ++i)
        items[i] = {keys[i], values[i]};
    giveBack(keys);
    giveBack(values);
    // Signed keys in unsigned order: the sign bit turned over.
    radixSort(items, [](const KeyedValue &item) { return std::uint64_t(item.key) ^ (std::uint64_t(1) << 63); });
    return items;
}

std::uint64_t orderedBits(double value)
{
    if (std::isnan(value))
        return 0;
    if (value == 0.0)
        value = 0.0;
    const auto bits = std::bit_cast<std::uint64_t>(value);
    return (bits >> 63) ? ~bits : bits | (std::uint64_t(1) << 63);
}

std::vector<int> pinyinOrder(const QStringList &texts)
{
    QCollator collator(QLocale(QLocale::Chinese, QLocale::China));
    collator.setNumericMode(false);
    std::vector<QCollatorSortKey> keys;
    keys.reserve(texts.size());
    for (const QString &text : texts)
        keys.push_back(collator.sortKey(text));
    std::vector<int> order(texts.size());
    std::iota(order.begin(), order.end(), 0);
    std::stable_sort(order.begin(), order.end(), [&](int a, int b) { return keys[a].compare(keys[b]) < 0; });
    return order;
}

std::vector<double> pinyinRanks(const QStringList &texts)
{
    const std::vector<int> order = pinyinOrder(texts);
    std::vector<double> rankOf(order.size());
    for (size_t rank = 0; rank < order.size(); ++rank)
        rankOf[size_t(order[rank])] = double(rank);
    return rankOf;
}

} // namespace SortOrder
