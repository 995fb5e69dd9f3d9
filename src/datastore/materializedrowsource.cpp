#include "materializedrowsource.h"

#include "apperror.h"
#include "columnranks.h"
#include "connection.h"

#include <algorithm>

MaterializedRowSource::MaterializedRowSource(Connection &connection, const QString &sql, const QVariantList &parameters)
{
    Statement statement = connection.prepare(sql);
    statement.bind(parameters);
    const int columns = statement.columnCount();
    for (int i = 0; i < columns; ++i) {
        m_fields << statement.columnName(i);
        m_types.push_back(statement.declaredType(i));
    }
    while (statement.step()) {
        std::vector<QVariant> row;
        row.reserve(columns);
        for (int i = 0; i < columns; ++i)
            row.push_back(statement.value(i));
        m_rows.push_back(std::move(row));
    }
    // Computed columns declare no type: take it from the first value present.
    for (int i = 0; i < columns; ++i) {
        if (m_types[i] != FieldType::Unknown)
            continue;
        for (const auto &row : m_rows) {
            const QVariant &value = row[i];
            if (!value.isValid())
                continue;
            m_types[i] = value.typeId() == QMetaType::Double     ? FieldType::Number
                         : value.typeId() == QMetaType::LongLong ? FieldType::Integer
                                                                 : FieldType::Text;
            break;
        }
    }
}

std::vector<TenThousandths::Units> MaterializedRowSource::prefetchedSums() const
{
    throw DatabaseError(QStringLiteral("No prefetched fields"));
}

int MaterializedRowSource::sortBy(int field, bool descending, int currentRow)
{
    ColumnRanks::RankBuilder ranks(m_types[field]);
    for (const auto &row : m_rows)
        ranks.add(row[field]);
    const std::vector<int> order = ColumnRanks::sortedPositions(ranks.ranks(), descending);
    std::vector<std::vector<QVariant>> sorted;
    sorted.reserve(m_rows.size());
    for (int position : order)
        sorted.push_back(std::move(m_rows[position]));
    m_rows = std::move(sorted);
    if (currentRow < 0)
        return currentRow;
    return int(std::find(order.begin(), order.end(), currentRow) - order.begin());
}

void MaterializedRowSource::readOnly()
{
    throw DatabaseError(QStringLiteral("Cannot modify a read-only dataset"));
}
