#pragma once

#include "datagrid.h"

#include <QList>
#include <QObject>
#include <QPointer>
#include <QStringList>

#include "dataset.h"
class DatasetTableModel;
class FooterTotals;
struct QuickQueryInput;
struct SqlStatement;

// The ledger grid's fixed design: its fourteen columns, fonts, colours and hint.
namespace LedgerGrid {

// Cells, titles and footers are drawn in this face at 14 pixels.
QFont gridFont();
QList<GridColumn> columns();
// The number fields summed in the footer, in footer order.
QStringList summedFields();
QString hint();
// Sets up a grid with the ledger's columns and looks.
void configure(DataGrid &grid);

} // namespace LedgerGrid

// Keeps the ledger grid in step with the ledger dataset: rows and current record,
// footer totals after every reload, sort, add, modify and delete, and sorting on a
// title click. Also carries the show-all and quick query actions that fill the
// dataset, and the two hide options of the grid.
class LedgerController : public QObject
{
    Q_OBJECT

public:
    // The grid gets its model at once; the dataset may come later (the main window
    // exists before the data module).
    explicit LedgerController(DataGrid &grid, QObject *parent = nullptr);
    ~LedgerController() override;

    void attach(Dataset *ledger);
    Dataset *dataset() const { return m_dataset; }
    DatasetTableModel *model() const { return m_model; }

    // Every record, with the last one current. Raises the store's error, after which
    // the grid, its rows and its footers are as they were: a failed reload is no
    // empty ledger.
    void showAllRecords();
    // The quick query; with nothing ticked it first says so, then runs anyway.
    void quickQuery(const QuickQueryInput &input);
    // Any statement of the ledger's records (all fields of table data), bound values and all.
    void showQuery(const SqlStatement &statement);
    // Reads the records of the current statement again, keeping the sort and, as far as
    // the records allow, the current row: after another window has changed records.
    void requery();
    // Sorts the current records by the field from the marker the column showed before
    // the click; raises on a closed dataset.
    void sortByTitle(const QString &field, SortMarker markerBeforeClick);

    // Hide options: positions 4 and 8, and 11 to 13, of the grid's current order.
    void setPurchaseColumnsHidden(bool hidden);
    void setCustomerColumnsHidden(bool hidden);

    // Recounts the footers from the dataset as it stands.
    void refreshFooters();

private:
    void requireDataset() const;
    void onTitleClicked(int position, SortMarker markerBeforeClick);
    void followDatasetRow(int row);

    DataGrid &m_grid;
    DatasetTableModel *m_model = nullptr;
    QPointer<Dataset> m_dataset;
    bool m_syncing = false;
};


