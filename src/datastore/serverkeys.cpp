#include "serverkeys.h"

#include "connection.h"

#include <algorithm>

void readKeyStretch(Connection &connection, const KeyedRows &rows, std::span<qint64> keys, int from, int to)
{
    const int count = int(keys.size());
    const qint64 above = to < count && keys[to] > 0 ? keys[to] : 0;
    const qint64 below = from > 0 && keys[from - 1] > 0 ? keys[from - 1] : 0;
    const bool upwards = above == 0 && below > 0;
    QString sql = QStringLiteral("select rowid from %1 where (%2)").arg(rows.table, rows.condition);
    QVariantList values = rows.parameters;
    if (above > 0) {
        sql += QStringLiteral(" and rowid<?");
        values << above;
    }
    if (below > 0) {
        sql += QStringLiteral(" and rowid>?");
        values << below;
    }
    sql += upwards ? QStringLiteral(" order by rowid limit ?") : QStringLiteral(" order by rowid desc limit ?");
    values << to - from;
    if (above == 0 && below == 0) {
        sql += QStringLiteral(" offset ?");
        values << count - to;
    }
    Statement statement = connection.prepare(sql);
    statement.bind(values);
    if (upwards) {
        int position = from;
        while (position < to && statement.step())
            keys[position++] = statement.int64Value(0);
        std::fill(keys.begin() + position, keys.begin() + to, kGoneKey);
    } else {
        int position = to;
        while (position > from && statement.step())
            keys[--position] = statement.int64Value(0);
        std::fill(keys.begin() + from, keys.begin() + position, kGoneKey);
    }
}
