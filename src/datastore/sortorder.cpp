#include "sortorder.h"

#include <QCollator>
#include <QLocale>
#include <algorithm>
#include <numeric>
#include <bit>
#include <cmath>
#include <utility>

namespace SortOrder {

// A radix sort, sixteen bits a pass, skipping passes where all keys share the digit: a
// sort of a million rows is a few passes over memory, several times quicker than
// comparing.
std::vector<int> stableOrderOf(const std::vector<std::uint64_t> &keys)
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
    std::vector<Item> scratch(n);
    std::vector<size_t> starts(size_t(1) << 16);
    for (int shift = 0; shift < 64; shift += 16) {
        std::fill(starts.begin(), starts.end(), 0);
        for (const Item &item : items)
            ++starts[(item.key >> shift) & 0xffff];
        if (n == 0 || starts[(items[0].key >> shift) & 0xffff] == n)
            continue;
        size_t next = 0;
        for (size_t &start : starts)
            next += std::exchange(start, next);
        for (const Item &item : items)
            scratch[starts[(item.key >> shift) & 0xffff]++] = item;
        items.swap(scratch);
    }
    std::vector<int> order(n);
    for (size_t i = 0; i < n; ++i)
        order[i] = items[i].position;
    return order;
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
