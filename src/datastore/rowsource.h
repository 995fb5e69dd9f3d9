#pragma once

#include "fieldtype.h"
#include "tenthousandths.h"

#include <QStringList>
#include <QVariant>
#include <memory>
#include <vector>

class Connection;
class WriteJournal;
struct TableQuery;

// A write that finds no row as it was read: another terminal deleted or changed it
// after this one read it. It fails like any refused write, in the words operators know
// from the provider, so nobody is told that a change was stored when nothing was.
inline constexpr const char *kRowNotLocated =
    "Row cannot be located for updating. Some values may have been changed since it was last read.";

// A row as this terminal read it: its key and its values as stored (see
// Statement::exactValue), in field order. Writes to the row compare with these.
struct RowVersion
{
    qint64 key = 0;
    std::vector<QVariant> values;

    bool isValid() const { return key != 0; }
};

// Where a dataset's rows come from. Positions are 0-based rows in the current order.
class RowSource
{
public:
    virtual ~RowSource() = default;

    virtual int count() const = 0;
    virtual const QStringList &fieldNames() const = 0;
    virtual FieldType fieldType(int field) const = 0;
    virtual QVariant value(int row, int field) const = 0;

    // The row as this terminal holds it; invalid for a row another terminal removed
    // before this one read it.
    virtual RowVersion version(int row) const = 0;

    // Edits write to the database at once; each raises DatabaseError and leaves the
    // rows as they were when the engine refuses. An update or delete writes only while
    // the row holds what `asRead` says (an update: each field it assigns; a delete:
    // every field); otherwise it writes nothing and raises kRowNotLocated.
    virtual void remove(int row, const RowVersion &asRead) = 0;
    virtual void update(int row, const RowVersion &asRead, const std::vector<QVariant> &values,
                        const std::vector<bool> &changed) = 0;
    // Returns the position of the new row.
    virtual int insert(const std::vector<QVariant> &values, const std::vector<bool> &changed) = 0;

    // Reorders the rows by one field; returns the new position of `currentRow`.
    virtual int sortBy(int field, bool descending, int currentRow) = 0;

    // The sums of the prefetched fields over the rows, in ten-thousandths.
    virtual std::vector<TenThousandths::Units> prefetchedSums() const = 0;

    // Brings the rows to what opening the same statement again would read, without
    // reading them all again: possible when the source can account for every change
    // to its table since it read it (its own writes, rows this connection appended
    // since) and nothing else wrote to the table. Returns false, having changed
    // nothing, when it cannot tell; the caller then opens the statement again.
    virtual bool catchUp() { return false; }

    // Updates and deletes from now on are kept by the journal, each in one
    // transaction with the journal's own writes (nullptr: none).
    void setJournal(WriteJournal *journal) { m_journal = journal; }

    // The rows of a query of one table, held as their keys and read as drawn; they can
    // be edited.
    static std::unique_ptr<RowSource> openKeyset(Connection &connection, const TableQuery &query,
                                                 const QStringList &prefetchFields);
    // The table's fields and no rows; rows appended later are held.
    static std::unique_ptr<RowSource> openTable(Connection &connection, const QString &table);
    // Every row of any statement, read once; read-only.
    static std::unique_ptr<RowSource> openMaterialized(Connection &connection, const QString &sql,
                                                       const QVariantList &parameters);

protected:
    WriteJournal *m_journal = nullptr;
};
