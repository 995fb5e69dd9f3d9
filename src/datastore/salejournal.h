#pragma once

#include "writejournal.h"

#include <QDateTime>
#include <QString>
#include <QStringList>
#include <QVariantList>
#include <vector>

class Connection;

// The recycle bin of deleted sales and the history of changed sales: two tables beside
// `data` that keep what a delete or a modify replaced, with the operator and the time.
//
//   deleted_sales  deleted_at, deleted_by, then every column of data, deleted_on;
//   sale_changes   sale_key (the sale's row key in data; null while the sale is in the
//                  recycle bin), bin_key (its row in deleted_sales while it is there),
//                  changed_at, changed_by, then the old value of every column of data,
//                  changed_on.
//
// *_on is the host name of the terminal that made the change: in a shop where every
// till logs in as the same user, it tells the tills apart. Ledgers made before it get
// the column when opened; their older rows have none.
//
// Both have a hidden row key like data's. Their rows are written in the transaction of
// the delete or modify itself, so neither exists without the other. No dataset of the
// ledger reads them: the grid, footers, print, export and charts never see them.
namespace SaleJournal {

inline constexpr const char *kDeletedSales = "deleted_sales";
inline constexpr const char *kSaleChanges = "sale_changes";

// This machine's host name, as the journal records it.
QString thisTerminal();

// Who made a change, when, and on which terminal.
struct Stamp
{
    QString operatorName;
    QDateTime time;
    QString terminal = thisTerminal();
};

// A time as the journal's tables hold it, read back from either engine.
QDateTime timeRead(const QVariant &value);

// --- the tables

// Creates the two tables, inside the transaction of the caller that makes a new ledger.
void addTables(Connection &connection);
// Makes the tables of an existing ledger complete: creates them when missing (a ledger
// made before they existed) and adds any column of data they lack (a column a legacy
// import carried over). Run at every opening of a ledger; reads only, when all is there.
void ensureTables(Connection &connection);
// The columns of data the journal keeps, in data's order: the order of Entry::values.
QStringList keptFields(Connection &connection);

// --- writing (inside the caller's transaction, before the change)

// Keeps the current values of the sales that `condition` selects (a where clause over
// data in the embedded engine's words, `?` for each of `values`) in the history.
// Returns the number of sales kept. For any code that changes sales with its own
// UPDATE: begin a transaction, call this with the UPDATE's condition, run the UPDATE,
// commit.
int recordOldValues(Connection &connection, const QString &condition, const QVariantList &values,
                    const Stamp &stamp);
// Copies the sale `saleKey` into the recycle bin and moves its history along with it,
// before the sale is deleted. Returns the key of the bin's row, 0 when there is no
// such sale.
qint64 keepDeleted(Connection &connection, qint64 saleKey, const Stamp &stamp);

// The whole of a change to sales made outside a dataset, in one transaction: keeps the
// old values, then runs "update data set <assignments> where <condition>". Returns the
// rows changed; on any failure nothing is written.
int updateSales(Connection &connection, const QString &assignments, const QVariantList &assignmentValues,
                const QString &condition, const QVariantList &conditionValues, const Stamp &stamp);

// --- reading and putting back

// One row of the recycle bin or of the history.
struct Entry
{
    qint64 key = 0;     // the row's own key in its table
    qint64 saleKey = 0; // the sale in data (history of a sale in the ledger), else 0
    QDateTime time;
    QString operatorName;
    QString terminal; // empty for a change recorded before terminals were
    QVariantList values; // in the order of keptFields()
};

// The recycle bin, newest first.
std::vector<Entry> deletedSales(Connection &connection);
// Puts a deleted sale back into the ledger with its original values and its history,
// and empties its place in the bin, in one transaction. Returns the sale's new row key.
// A bin row that is gone (put back by another terminal) raises the row-not-located
// error and changes nothing.
qint64 restoreDeleted(Connection &connection, qint64 binKey);

// A sale of the ledger that has been changed.
struct ChangedSale
{
    qint64 saleKey = 0;
    int changes = 0;
    QDateTime lastChange;
    QVariantList current; // the sale as it is now, in the order of keptFields()
};

// The sales of the ledger that have a history, most recently changed first.
std::vector<ChangedSale> changedSales(Connection &connection);
// The history of one sale: the values each change replaced, newest first.
std::vector<Entry> changesOf(Connection &connection, qint64 saleKey);

// Who added a sale, on which terminal and when: a row of sale_origins keyed by the
// sale's row key (bin_key while the sale is in the recycle bin), written in the
// transaction of the insert. Sales added before origins were kept have none.
inline constexpr const char *kSaleOrigins = "sale_origins";
struct SaleOrigin
{
    QString operatorName; // empty when the sale has no origin
    QString terminal;
    QDateTime time;
};
SaleOrigin originOf(Connection &connection, qint64 saleKey);

// The journal the data module gives its datasets: deletes and modifies of sales are
// kept with the operator set here and the clock's time, and a new sale's origin is
// written; other tables are not kept.
// Every write of sales, here and in the functions above, is announced to the other
// terminals (LedgerChanges::announce) in its own transaction.
class SalesWriteJournal final : public WriteJournal
{
public:
    void setOperatorName(const QString &name) { m_operatorName = name; }
    const QString &operatorName() const { return m_operatorName; }

    void beforeUpdate(Connection &connection, const QString &table, qint64 rowKey) override;
    void beforeDelete(Connection &connection, const QString &table, qint64 rowKey) override;
    void afterInsert(Connection &connection, const QString &table, qint64 rowKey) override;

private:
    Stamp stamp() const;

    QString m_operatorName;
};

} // namespace SaleJournal
