#pragma once

#include "fieldtype.h"
#include "serverkeys.h"

#include <QString>
#include <QVariant>
#include <QVariantList>
#include <algorithm>
#include <unordered_map>
#include <utility>
#include <vector>

class Connection;

// What a row's values, read in one fetch, hold: the values as shown, and where a
// date column's stored value says more (a time of day, a text), that value too.
struct CachedRow
{
    std::vector<QVariant> values;
    std::vector<std::pair<int, QVariant>> stored;
};

// The values of the rows a grid draws, held by key. A row not held is read with a
// block of its neighbours, so a grid drawing a screenful costs one statement; the
// cache starts afresh when it grows past a few thousand rows.
class RowCache
{
public:
    RowCache(Connection &connection, QString table) : m_connection(connection), m_table(std::move(table)) {}

    // The row with `key` at position `row` of `count`, or nullptr when the table no
    // longer holds it. `keyAt(position)` gives the key at a position (kGoneKey for a
    // row known to be gone); `types` are the table's field types in order.
    template<typename KeyAt>
    const CachedRow *find(qint64 key, int row, int count, KeyAt &&keyAt, const std::vector<FieldType> &types)
    {
        auto cached = m_rows.find(key);
        if (cached == m_rows.end()) {
            readAround(row, count, keyAt, types);
            cached = m_rows.find(key);
            if (cached == m_rows.end())
                return nullptr;
        }
        return &cached->second;
    }

    // The row was written or removed: it is read again when next wanted.
    void forget(qint64 key) { m_rows.erase(key); }

private:
    template<typename KeyAt>
    void readAround(int row, int count, KeyAt &&keyAt, const std::vector<FieldType> &types)
    {
        constexpr int kBefore = 32;
        constexpr int kAfter = 96;
        constexpr size_t kCacheLimit = 8192;
        if (m_rows.size() > kCacheLimit)
            m_rows.clear();
        QVariantList wanted;
        const int from = std::max(0, row - kBefore);
        const int to = std::min(count, row + kAfter);
        for (int position = from; position < to; ++position) {
            const qint64 key = keyAt(position);
            if (key != kGoneKey && !m_rows.contains(key))
                wanted << key;
        }
        if (!wanted.isEmpty())
            read(wanted, types);
    }

    void read(const QVariantList &keys, const std::vector<FieldType> &types);

    Connection &m_connection;
    QString m_table;
    std::unordered_map<qint64, CachedRow> m_rows;
};
