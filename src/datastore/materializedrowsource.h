#pragma once

#include "rowsource.h"

// Every row of any statement, read once into memory; read-only. Sorted in memory like
// a keyset.
class MaterializedRowSource final : public RowSource
{
public:
    MaterializedRowSource(Connection &connection, const QString &sql, const QVariantList &parameters);

    int count() const override { return int(m_rows.size()); }
    const QStringList &fieldNames() const override { return m_fields; }
    FieldType fieldType(int field) const override { return m_types.at(field); }
    QVariant value(int row, int field) const override { return m_rows.at(row).at(field); }
    std::vector<TenThousandths::Units> prefetchedSums() const override;

    RowVersion version(int) const override { return {}; }
    void remove(int, const RowVersion &) override { readOnly(); }
    void update(int, const RowVersion &, const std::vector<QVariant> &, const std::vector<bool> &) override
    {
        readOnly();
    }
    int insert(const std::vector<QVariant> &, const std::vector<bool> &) override { readOnly(); }

    int sortBy(int field, bool descending, int currentRow) override;

private:
    [[noreturn]] static void readOnly();

    QStringList m_fields;
    std::vector<FieldType> m_types;
    std::vector<std::vector<QVariant>> m_rows;
};
