#pragma once

#include <QStringList>
#include <QVariantList>

class QTableWidget;
class QWidget;

// Sales shown in a plain table of the administrator's windows: some columns of their
// own first (time, operator, ...), then the sale's fields under the ledger grid's
// titles (a field the grid does not show under its own name).
namespace SaleTable {

// Sets up the table: read-only, whole rows chosen, one at a time.
void prepare(QTableWidget &table);
void setColumns(QTableWidget &table, const QStringList &leading, const QStringList &fields);
// Appends a row; `leading` and `values` in the order of setColumns.
void addRow(QTableWidget &table, const QStringList &leading, const QVariantList &values);
// The row the operator chose, or -1 when none is (nothing selected, or a row past the
// first `rows`, the ones the window keeps something for).
int chosenRow(const QTableWidget &table, int rows);
// Widens the window so that the tables' columns show whole (as far as the screen
// allows; beyond that the table scrolls), and centres it on the window it belongs to.
void placeWindow(QWidget &window, const QList<QTableWidget *> &tables = {});
// A value as the table shows it: dates as yyyy-MM-dd, times with seconds, numbers in
// full, a null as nothing.
QString text(const QVariant &value);

} // namespace SaleTable
