#pragma once

#include <QString>

class Connection;

// Keeps what a dataset's write replaces. An editable dataset with a journal runs each
// update and delete of one row in a transaction of its own and calls the journal
// first, inside it (an insert: after the row is in, inside the same transaction): what the journal writes and the change itself are stored together
// or not at all.
class WriteJournal
{
public:
    virtual ~WriteJournal() = default;

    // The row `rowKey` of `table` is about to be changed.
    virtual void beforeUpdate(Connection &connection, const QString &table, qint64 rowKey) = 0;
    // The row `rowKey` of `table` is about to be deleted.
    virtual void beforeDelete(Connection &connection, const QString &table, qint64 rowKey) = 0;
    // The row `rowKey` of `table` was just inserted, in the insert's transaction.
    virtual void afterInsert(Connection &, const QString &, qint64) {}
};
