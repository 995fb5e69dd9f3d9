#include "rowsource.h"

#include "appendedrows.h"
#include "apperror.h"
#include "columnranks.h"
#include "connection.h"
#include "dialect.h"
#include "materializedrowsource.h"
#include "rowcache.h"
#include "rowcheck.h"
#include "serverkeys.h"
#include "serverpages.h"
#include "sortedruns.h"
#include "sortorder.h"
#include "sqlnames.h"
#include "tablequery.h"
#include "tenthousandths.h"
#include "transaction.h"
#include "writejournal.h"

#include <algorithm>
#include <cstdint>
#include <cmath>
#include <numeric>
#include <optional>
#include <unordered_map>
#include <utility>

using ColumnRanks::DistinctTexts;
using ColumnRanks::sortedPositions;
using SortOrder::stableOrderOf;

namespace {

// ------------------------------------------------------------------ keyset

class KeysetRowSource final : public RowSource
{
public:
    enum class Reading {
        None,     // no rows: a table opened for appending
        AllKeys,  // every key (and the prefetched columns) read at the open
        KeyPages, // the count and sums at the open, the keys a page at a time as drawn
    };

    KeysetRowSource(Connection &connection, const TableQuery &query, QStringList prefetchFields, Reading reading)
        : m_connection(connection), m_table(query.table), m_rest(query.restSql()), m_parameters(query.parameters()),
          m_wholeTable(query.wholeTable()), m_prefetchFields(std::move(prefetchFields)),
          // Without an order of its own a statement lists the rows in the order they
          // were added, whatever index the engine picks to find them.
          m_keyOrder(!query.ownOrder), m_appended(connection, m_table, m_prefetchFields), m_cache(connection, m_table)
    {
        Statement shape = m_connection.prepare(QStringLiteral("select * from %1 limit 0").arg(m_table));
        for (int i = 0; i < shape.columnCount(); ++i) {
            m_fields << shape.columnName(i);
            m_types.push_back(shape.declaredType(i));
        }
        for (const QString &field : m_prefetchFields) {
            if (!m_fields.contains(field))
                throw DatabaseError(QStringLiteral("no such column: %1").arg(field));
        }
        if (reading == Reading::AllKeys) {
            m_prefetched.resize(m_prefetchFields.size());
            readAllKeys();
        } else if (reading == Reading::KeyPages) {
            openPaged();
        }
    }

    int count() const override { return int(m_keys.size()); }
    const QStringList &fieldNames() const override { return m_fields; }
    FieldType fieldType(int field) const override { return m_types.at(field); }

    std::vector<TenThousandths::Units> prefetchedSums() const override
    {
        if (m_paging)
            return m_paging->sums();
        return m_sums;
    }

    bool catchUp() override
    {
        // Only the whole table in the order of its keys: rows another terminal added
        // would land anywhere in a query's or a sort's order.
        if (!m_appended.following() || m_runs || !m_keyOrderKept)
            return false;
        const std::optional<AppendedRows::Rows> appended = m_appended.readSince();
        if (!appended)
            return false;
        const std::vector<qint64> &keys = appended->keys;
        const std::vector<std::vector<double>> &values = appended->values;
        m_keys.insert(m_keys.end(), keys.begin(), keys.end());
        if (m_paging) {
            for (size_t row = 0; row < keys.size(); ++row) {
                std::vector<TenThousandths::Units> amounts;
                for (const auto &column : values)
                    amounts.push_back(TenThousandths::of(column[row]));
                m_paging->appended(keys[row], &amounts);
            }
        } else {
            for (size_t i = 0; i < values.size(); ++i) {
                for (double value : values[i])
                    m_sums[i] += TenThousandths::of(value);
                m_prefetched[i].insert(m_prefetched[i].end(), values[i].begin(), values[i].end());
            }
        }
        return true;
    }

    QVariant value(int row, int field) const override
    {
        const qint64 key = keyAt(row);
        if (key == kGoneKey)
            return {}; // removed by another terminal before this one read its key
        const CachedRow *cached = cachedRow(row, key);
        if (!cached)
            return {}; // the row was deleted by another copy of the application
        return cached->values.at(field);
    }

    RowVersion version(int row) const override
    {
        const qint64 key = keyAt(row);
        const CachedRow *cached = key == kGoneKey ? nullptr : cachedRow(row, key);
        if (!cached)
            return {};
        RowVersion version{key, cached->values};
        for (const auto &[field, stored] : cached->stored)
            version.values[size_t(field)] = stored;
        return version;
    }

    void remove(int row, const RowVersion &asRead) override
    {
        const qint64 key = keyAt(row);
        // A delete is as much a decision about the values shown as a modify is: a row
        // another terminal changed meanwhile is not removed unseen.
        const RowCheck::Condition unchanged = readCondition(key, asRead, std::vector<bool>(m_fields.size(), true));
        journaled([&] {
            if (m_journal)
                m_journal->beforeDelete(m_connection, m_table, key);
            if (!RowCheck::writeOne(m_connection, QStringLiteral("delete from %1").arg(m_table), {}, unchanged))
                throw DatabaseError(QString::fromLatin1(kRowNotLocated));
        });
        m_appended.rewrote();
        m_keys.erase(m_keys.begin() + row);
        for (size_t i = 0; i < m_prefetched.size(); ++i) {
            m_sums[i] -= TenThousandths::of(m_prefetched[i][size_t(row)]);
            m_prefetched[i].erase(m_prefetched[i].begin() + row);
        }
        m_cache.forget(key);
        if (m_runs) {
            if (row < m_runs->rows())
                m_runs->removed(row);
            m_paging->changed();
        } else if (m_paging) {
            // The row held what was read, every field of it: so much leaves the sums.
            std::vector<TenThousandths::Units> amounts;
            for (const QString &field : m_prefetchFields) {
                const QVariant &value = asRead.values[size_t(m_fields.indexOf(field))];
                amounts.push_back(value.isValid() ? TenThousandths::of(value.toDouble()) : TenThousandths::Units());
            }
            m_paging->removed(row, &amounts);
        }
    }

    void update(int row, const RowVersion &asRead, const std::vector<QVariant> &values,
                const std::vector<bool> &changed) override
    {
        QStringList assignments;
        QVariantList bound;
        for (size_t i = 0; i < values.size(); ++i) {
            if (!changed[i])
                continue;
            assignments << quotedName(m_fields[int(i)]) + QStringLiteral("=?");
            bound << values[i];
        }
        if (assignments.isEmpty())
            return;
        // A row given another value of the sort field would be counted in another run
        // than the one it is shown in.
        if (m_runs && changed[size_t(m_runsField)])
            readEveryKey();
        const qint64 key = keyAt(row);
        // Each field written must still hold what this terminal read: otherwise another
        // terminal's change to it (a payment, a remark) would be overwritten unseen.
        const RowCheck::Condition unchanged = readCondition(key, asRead, changed);
        std::vector<TenThousandths::Units> delta;
        journaled([&] {
            if (m_journal)
                m_journal->beforeUpdate(m_connection, m_table, key);
            if (!RowCheck::writeOne(
                    m_connection,
                    QStringLiteral("update %1 set %2").arg(m_table, assignments.join(QLatin1Char(','))), bound,
                    unchanged))
                throw DatabaseError(QString::fromLatin1(kRowNotLocated));
            if (m_paging)
                delta = summedChange(key, asRead, changed);
        });
        m_appended.rewrote();
        m_cache.forget(key);
        refreshPrefetched(row);
        if (m_paging)
            m_paging->adjusted(delta);
    }

    int insert(const std::vector<QVariant> &values, const std::vector<bool> &changed) override
    {
        QStringList columns;
        QVariantList bound;
        for (size_t i = 0; i < values.size(); ++i) {
            if (!changed[i])
                continue;
            columns << quotedName(m_fields[int(i)]);
            bound << values[i];
        }
        qint64 key = 0;
        journaled([&] {
            if (columns.isEmpty())
                m_connection.execute(QStringLiteral("insert into %1 default values").arg(m_table));
            else
                m_connection.execute(QStringLiteral("insert into %1 (%2) values (%3)")
                                         .arg(m_table, columns.join(QLatin1Char(',')), placeholders(int(columns.size()))),
                                     bound);
            key = m_connection.lastInsertRowId();
            if (m_journal)
                m_journal->afterInsert(m_connection, m_table, key);
        });
        m_appended.inserted(key);
        m_keys.push_back(key);
        for (auto &column : m_prefetched)
            column.push_back(std::nan(""));
        const int row = count() - 1;
        refreshPrefetched(row);
        if (m_paging)
            m_paging->appended(m_keys.back());
        return row;
    }

    int sortBy(int field, bool descending, int currentRow) override
    {
        m_keyOrderKept = false;
        if (m_paging && m_paging->keysPending()) {
            if (const auto position = sortPaged(field, descending, currentRow))
                return *position;
        }
        // Read the sort field for every key in one scan of the same statement, then
        // order the keys in memory. The rows go back to key order before the scan
        // where all keys are held, so that the two never take memory side by side.
        const bool keysPending = m_paging && m_paging->keysPending();
        if (!keysPending)
            currentRow = restoreKeyOrder(currentRow);
        ColumnScan scan = scanColumn(field);
        if (keysPending) {
            readRemainingKeys(scan.keys, scan.values);
            currentRow = restoreKeyOrder(currentRow);
        }
        std::vector<double> ranks = valuesInPlace(scan);
        // Each of these lists is 80 MB at ten million rows: the scan's keys go before
        // the ranks are sorted.
        SortOrder::giveBack(scan.keys);
        if (!scan.numeric)
            scan.texts.toRanks(ranks);
        return reorder(sortedPositions(std::move(ranks), descending), currentRow);
    }

private:
    // The sort field read for every row in one scan: numbers as doubles and texts as
    // ids of their distinct values, so a million rows need no value objects per row.
    struct ColumnScan
    {
        QString column;
        bool numeric = false;
        DistinctTexts texts;
        std::vector<qint64> keys;
        std::vector<double> values;

        double read(const Statement &statement, int index)
        {
            if (statement.isNull(index))
                return std::nan("");
            if (numeric)
                return statement.doubleValue(index);
            return double(texts.idOf(statement.value(index)));
        }
    };

    // A paged table is sorted in runs where it can be: a second click on the same
    // field reverses the runs, another field counts them afresh. Nothing when every key
    // has to be read after all (runs of a field the server cannot sort that way).
    std::optional<int> sortPaged(int field, bool descending, int currentRow)
    {
        if (m_runs && m_runsField == field)
            return descending == m_runs->descending() ? currentRow : m_runs->reverse(m_keys, currentRow);
        if (const auto position = sortInRuns(field, descending, currentRow))
            return position;
        if (m_runs)
            readEveryKey();
        return std::nullopt;
    }

    ColumnScan scanColumn(int field) const
    {
        ColumnScan scan;
        scan.column = quotedName(m_fields[field]);
        scan.numeric = m_types[field] == FieldType::Number || m_types[field] == FieldType::Integer;
        scan.keys.reserve(m_keys.size());
        scan.values.reserve(m_keys.size());
        Statement statement =
            m_connection.prepare(QStringLiteral("select rowid, %1 from %2 %3").arg(scan.column, m_table, m_rest));
        statement.bind(m_parameters);
        while (statement.step()) {
            scan.keys.push_back(statement.int64Value(0));
            scan.values.push_back(scan.read(statement, 1));
        }
        return scan;
    }

    // Equal values stay in the order the records were added, whatever order an earlier
    // sort left: the rows go back to key order first. Returns the new position of
    // `currentRow`.
    int restoreKeyOrder(int currentRow)
    {
        if (!m_keyOrder || std::is_sorted(m_keys.begin(), m_keys.end()))
            return currentRow;
        const std::vector<int> byKey = orderByKey(m_keys);
        permute(m_keys, byKey);
        for (auto &prefetchedColumn : m_prefetched)
            permute(prefetchedColumn, byKey);
        if (currentRow < 0)
            return currentRow;
        return int(std::find(byKey.begin(), byKey.end(), currentRow) - byKey.begin());
    }

    // The scanned values lined up with the rows held, position for position.
    std::vector<double> valuesInPlace(ColumnScan &scan) const
    {
        if (scan.keys == m_keys)
            return std::move(scan.values);
        // The engine may list the rows in another order (through an index that holds
        // the field) and edits may have changed the rows held: both are taken in key
        // order and merged, quicker than a search for each key. The scan becomes
        // (key, value) pairs in place of its two lists, and rows held in key order (as
        // restoreKeyOrder leaves them) are walked as they stand, which keeps a sort of
        // ten million rows under a gigabyte.
        const std::vector<SortOrder::KeyedValue> scanned =
            SortOrder::byKey(std::move(scan.keys), std::move(scan.values));
        std::vector<int> heldByKey;
        if (!std::is_sorted(m_keys.begin(), m_keys.end()))
            heldByKey = orderByKey(m_keys);
        std::vector<double> values(m_keys.size(), std::nan(""));
        size_t next = 0;
        for (size_t i = 0; i < m_keys.size(); ++i) {
            const int position = heldByKey.empty() ? int(i) : heldByKey[i];
            const qint64 key = m_keys[position];
            while (next < scanned.size() && scanned[next].key < key)
                ++next;
            if (next < scanned.size() && scanned[next].key == key) {
                values[position] = scanned[next].value;
                continue;
            }
            if (key <= 0)
                continue; // a row another terminal removed
            // Appended since the open and outside its condition.
            Statement statement =
                m_connection.prepare(QStringLiteral("select %1 from %2 where rowid=?").arg(scan.column, m_table));
            statement.bind({key});
            values[position] = statement.step() ? scan.read(statement, 0) : std::nan("");
        }
        return values;
    }

    // Puts the rows in `order`; returns the new position of `currentRow`.
    int reorder(const std::vector<int> &order, int currentRow)
    {
        permute(m_keys, order);
        for (auto &prefetchedColumn : m_prefetched)
            permute(prefetchedColumn, order);
        if (currentRow < 0)
            return currentRow;
        return int(std::find(order.begin(), order.end(), currentRow) - order.begin());
    }

    const CachedRow *cachedRow(int row, qint64 key) const
    {
        return m_cache.find(key, row, count(), [this](int position) { return keyAt(position); }, m_types);
    }

    // How much an update that found the row as `asRead` holds it changed the sums of
    // the prefetched fields: the fields it assigned held the values read before, and
    // hold what the engine reads now. In the same rounding as the server's sums.
    std::vector<TenThousandths::Units> summedChange(qint64 key, const RowVersion &asRead, const std::vector<bool> &assigned)
    {
        if (m_prefetchFields.isEmpty())
            return {};
        QStringList columns;
        for (const QString &field : m_prefetchFields)
            columns << quotedName(field);
        Statement statement = m_connection.prepare(
            QStringLiteral("select %1 from %2 where rowid=?").arg(columns.join(QLatin1Char(',')), m_table));
        statement.bind({key});
        if (!statement.step())
            throw DatabaseError(QString::fromLatin1(kRowNotLocated));
        std::vector<TenThousandths::Units> delta(m_prefetchFields.size());
        for (int i = 0; i < int(m_prefetchFields.size()); ++i) {
            const int field = int(m_fields.indexOf(m_prefetchFields[i]));
            if (!assigned[size_t(field)])
                continue;
            const QVariant before = asRead.values[size_t(field)];
            delta[size_t(i)] = (statement.isNull(i) ? TenThousandths::Units() : TenThousandths::of(statement.doubleValue(i)))
                               - (before.isValid() ? TenThousandths::of(before.toDouble()) : TenThousandths::Units());
        }
        return delta;
    }

    // The row `key` as `asRead` holds it, compared on the fields `compared`. A row not
    // read (removed before this terminal read it) cannot be written.
    RowCheck::Condition readCondition(qint64 key, const RowVersion &asRead, const std::vector<bool> &compared) const
    {
        if (!asRead.isValid() || asRead.key != key || asRead.values.size() != size_t(m_fields.size()))
            throw DatabaseError(QString::fromLatin1(kRowNotLocated));
        QStringList fields;
        QVariantList values;
        for (size_t i = 0; i < compared.size(); ++i) {
            if (!compared[i])
                continue;
            fields << m_fields[int(i)];
            values << asRead.values[i];
        }
        return RowCheck::unchanged(m_connection, key, fields, values);
    }

    // A write is one transaction: the journal's rows and the change are kept together,
    // and a change that fails (refused, no row found as read, or more than one) leaves
    // nothing behind.
    template<typename Write>
    void journaled(Write &&write)
    {
        // Inside a transaction of the caller's, that one keeps them together.
        Transaction transaction(m_connection, Transaction::Kind::JoinCallers);
        write();
        transaction.commit();
    }

    // Positions of `keys` in key order (a removed row's blank last).
    static std::vector<int> orderByKey(const std::vector<qint64> &keys)
    {
        if (std::is_sorted(keys.begin(), keys.end())) {
            std::vector<int> positions(keys.size());
            std::iota(positions.begin(), positions.end(), 0);
            return positions;
        }
        return stableOrderOf({keys.begin(), keys.end()});
    }

    template<typename T>
    static void permute(std::vector<T> &items, const std::vector<int> &order)
    {
        std::vector<T> result;
        result.reserve(items.size());
        for (int position : order)
            result.push_back(items[position]);
        items = std::move(result);
    }

    void readAllKeys()
    {
        QString columns = QStringLiteral("rowid");
        for (const QString &field : m_prefetchFields)
            columns += QLatin1Char(',') + quotedName(field);
        // Taken before the scan: a change that comes between the two is then seen as
        // one that came after it, and the next catch-up reads everything again.
        if (m_keyOrder && m_wholeTable)
            m_appended.markRead();
        Statement statement = m_connection.prepare(QStringLiteral("select %1 from %2 %3").arg(columns, m_table, m_rest));
        statement.bind(m_parameters);
        // The largest key bounds the row count: reserving it spares the copies of a
        // growing million-entry vector (untouched reserved pages cost nothing).
        const qint64 bound = std::clamp<qint64>(
            m_connection.scalar(QStringLiteral("select max(rowid) from %1").arg(m_table)).toLongLong(), 0, 1 << 26);
        m_keys.reserve(size_t(bound));
        for (auto &column : m_prefetched)
            column.reserve(size_t(bound));
        m_sums.assign(m_prefetched.size(), 0);
        while (statement.step()) {
            m_keys.push_back(statement.int64Value(0));
            for (int i = 0; i < int(m_prefetched.size()); ++i) {
                const double value = statement.doubleValue(i + 1);
                m_prefetched[i].push_back(value);
                m_sums[i] += TenThousandths::of(value);
            }
        }
        // The keys are put in order here rather than by the engine: a scan lists them in
        // order or nearly so, while a server asked for the order walks its key index
        // row by row, several times slower than the scan.
        if (m_keyOrder && !std::is_sorted(m_keys.begin(), m_keys.end())) {
            std::vector<int> order(m_keys.size());
            std::iota(order.begin(), order.end(), 0);
            std::sort(order.begin(), order.end(), [this](int a, int b) { return m_keys[a] < m_keys[b]; });
            permute(m_keys, order);
            for (auto &column : m_prefetched)
                permute(column, order);
        }
        m_appended.setLargestKey(m_keys.empty() ? 0 : *std::max_element(m_keys.begin(), m_keys.end()));
        if (m_keys.size() < m_keys.capacity() / 2) {
            m_keys.shrink_to_fit();
            for (auto &column : m_prefetched)
                column.shrink_to_fit();
        }
    }

    // A whole table on the server sorted without reading every row (see SortedRuns);
    // nothing when the server cannot sort it that way.
    std::optional<int> sortInRuns(int field, bool descending, int currentRow)
    {
        const qint64 currentKey = currentRow >= 0 ? keyAt(currentRow) : kUnreadKey;
        std::unique_ptr<SortedRuns> runs =
            SortedRuns::open(m_connection, m_paging->openedRows(), m_fields[field], m_types[field], descending);
        if (!runs)
            return std::nullopt;
        m_runs = std::move(runs);
        m_runsField = field;
        m_keys.assign(size_t(m_runs->rows()), kUnreadKey);
        if (currentRow < 0)
            return currentRow;
        const int position = currentKey > 0 ? m_runs->positionOf(currentKey) : -1;
        if (position < 0)
            return std::min(currentRow, count() - 1); // another terminal removed it
        m_keys[size_t(position)] = currentKey;
        return position;
    }

    // Ends reading keys as drawn: every key is read, in the order shown.
    void readEveryKey()
    {
        m_runs->readAll(m_keys);
        m_runs.reset();
        m_paging->keysComplete();
    }

    void openPaged()
    {
        // Before the count, as with the scan of every key.
        m_appended.markRead();
        m_paging = std::make_unique<ServerPages>(m_connection, m_table, m_prefetchFields);
        m_appended.setLargestKey(m_paging->bound());
        m_keys.assign(size_t(m_paging->serverRows()), kUnreadKey);
    }

    qint64 keyAt(int row) const
    {
        if (m_keys.at(row) == kUnreadKey) {
            if (m_runs)
                m_runs->readAround(m_keys, row);
            else
                m_paging->readKeysAround(m_keys, row);
        }
        return m_keys[row];
    }

    // A sort needs every key: they come from the sort's own scan, in key order, and
    // paging ends. The scan is cut to the rows of the open, so when nothing changed
    // since, it lines up with the keys position for position.
    void readRemainingKeys(std::vector<qint64> &scannedKeys, std::vector<double> &scannedValues)
    {
        if (!std::is_sorted(scannedKeys.begin(), scannedKeys.end())) {
            // Rows come from the server's parallel scan in no set order.
            const std::vector<int> order = orderByKey(scannedKeys);
            permute(scannedKeys, order);
            permute(scannedValues, order);
        }
        const size_t opened = size_t(std::upper_bound(scannedKeys.begin(), scannedKeys.end(), m_paging->bound())
                                     - scannedKeys.begin());
        scannedKeys.resize(opened);
        scannedValues.resize(opened);
        const size_t serverRows = size_t(m_paging->serverRows());
        std::vector<qint64> keys(scannedKeys.begin(), scannedKeys.begin() + std::min(opened, serverRows));
        keys.resize(serverRows, kGoneKey);
        keys.insert(keys.end(), m_keys.begin() + serverRows, m_keys.end());
        m_keys = std::move(keys);
        m_paging->keysComplete();
    }

    void refreshPrefetched(int row)
    {
        if (m_prefetched.empty())
            return;
        QStringList columns;
        for (const QString &field : m_prefetchFields)
            columns << quotedName(field);
        Statement statement = m_connection.prepare(
            QStringLiteral("select %1 from %2 where rowid=?").arg(columns.join(QLatin1Char(',')), m_table));
        statement.bind({m_keys.at(row)});
        if (!statement.step())
            return;
        for (int i = 0; i < int(m_prefetched.size()); ++i) {
            double &held = m_prefetched[i][row];
            m_sums[i] -= TenThousandths::of(held);
            held = statement.doubleValue(i);
            m_sums[i] += TenThousandths::of(held);
        }
    }

    Connection &m_connection;
    QString m_table;
    // What follows "from <table>" in a statement reading the rows, and its values.
    QString m_rest;
    QVariantList m_parameters;
    bool m_wholeTable = false;
    QStringList m_prefetchFields;
    bool m_keyOrder = false;
    QStringList m_fields;
    std::vector<FieldType> m_types;
    // Paged keysets fill in their keys as rows are read.
    mutable std::vector<qint64> m_keys;
    std::vector<std::vector<double>> m_prefetched;
    // Their sums over the rows held, kept as rows come and go.
    std::vector<TenThousandths::Units> m_sums;
    // The whole table read in key order: what came since the read, for catchUp().
    AppendedRows m_appended;
    bool m_keyOrderKept = true;
    std::unique_ptr<ServerPages> m_paging;
    // A paged table sorted by one field, read as drawn.
    std::unique_ptr<SortedRuns> m_runs;
    int m_runsField = -1;
    mutable RowCache m_cache;
};

} // namespace

std::unique_ptr<RowSource> RowSource::openKeyset(Connection &connection, const TableQuery &query,
                                                 const QStringList &prefetchFields)
{
    // A grid shows a screenful: where the engine reads keys in pages, a whole table
    // opens without fetching them all.
    using Reading = KeysetRowSource::Reading;
    const Reading reading = connection.dialect().readsKeysInPages() && query.wholeTable()
                                ? Reading::KeyPages
                                : Reading::AllKeys;
    return std::make_unique<KeysetRowSource>(connection, query, prefetchFields, reading);
}

std::unique_ptr<RowSource> RowSource::openTable(Connection &connection, const QString &table)
{
    TableQuery query;
    query.table = table;
    return std::make_unique<KeysetRowSource>(connection, query, QStringList(), KeysetRowSource::Reading::None);
}

std::unique_ptr<RowSource> RowSource::openMaterialized(Connection &connection, const QString &sql,
                                                       const QVariantList &parameters)
{
    return std::make_unique<MaterializedRowSource>(connection, sql, parameters);
}
