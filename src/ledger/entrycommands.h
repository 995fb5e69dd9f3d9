#pragma once

#include "rowsource.h"
#include "saleform.h"

#include <QDate>
#include <functional>

#include <QObject>
#include <QPointer>
#include <optional>

class Dataset;
class EntryPanel;
class GoodsAutofill;
class QAbstractButton;

// What the entry panel's buttons and the ledger's delete button do to the records:
// add through the append table, load, modify and delete the ledger's current row,
// with their confirmations, messages and the enabled state of "修  改" and "删 除".
class EntryCommands : public QObject
{
    Q_OBJECT

public:
    // Connects the panel's add, modify and close controls; the window connects the
    // rest (new, delete, the grid's clicks) to the slots below.
    EntryCommands(EntryPanel *panel, QAbstractButton *deleteButton, QObject *parent = nullptr);

    // The data module's append table and ledger dataset; until they are set every
    // command that needs them fails with an error.
    void setDatasets(Dataset *appendTable, Dataset *ledger);

    // What the logged-in user may not do to the current sale: the check returns the
    // message that refuses a change (a delete when `deleting`, else a modify) of a sale
    // of `saleDay`, or an empty text when it may go ahead. Without a check all may.
    using ChangeCheck = std::function<QString(bool deleting, const QDate &saleDay)>;
    void setChangeCheck(ChangeCheck check) { m_changeCheck = std::move(check); }

    // "新 建": show the panel cleared.
    void newEntry();
    // The close picture: hide the panel and clear it.
    void closePanel();
    // "新  增".
    void add();
    // A double click on the grid: load the ledger's current row, unless the text of
    // `firstColumnField` (the field of the grid's first column) is empty there.
    void loadCurrent(const QString &firstColumnField);
    // "修  改".
    void modify();
    // "删 除".
    void deleteCurrent();
    // A left click on a data cell of the grid.
    void enableDelete();

private:
    Dataset &appendTable() const;
    Dataset &ledger() const;
    QWidget *window() const;
    // True when the check lets the change go ahead; otherwise tells why not.
    bool changeAllowed(bool deleting);

    EntryPanel *m_panel;
    QPointer<QAbstractButton> m_deleteButton;
    QPointer<Dataset> m_appendTable;
    QPointer<Dataset> m_ledger;
    ChangeCheck m_changeCheck;
    // The boxes of the last sale this panel added, to catch an accidental second add.
    std::optional<SaleEntry> m_lastAdded;
    GoodsAutofill *m_goods = nullptr;
    // The record the panel was loaded with, as this terminal read it then: what a
    // modify of that record checks the stored row against.
    RowVersion m_loaded;
};
