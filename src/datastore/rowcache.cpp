#include "rowcache.h"

#include "connection.h"
#include "sqlnames.h"

void RowCache::read(const QVariantList &keys, const std::vector<FieldType> &types)
{
    Statement statement = m_connection.prepare(
        QStringLiteral("select rowid, * from %1 where rowid in (%2)").arg(m_table, placeholders(int(keys.size()))));
    statement.bind(keys);
    const int fields = int(types.size());
    while (statement.step()) {
        CachedRow row;
        row.values.reserve(fields);
        for (int i = 0; i < fields; ++i) {
            row.values.push_back(statement.value(i + 1));
            if (types[i] == FieldType::Date || types[i] == FieldType::DateTime) {
                QVariant stored = statement.exactValue(i + 1);
                if (stored != row.values.back())
                    row.stored.emplace_back(i, std::move(stored));
            }
        }
        m_rows[statement.int64Value(0)] = std::move(row);
    }
}
