#pragma once

#include "gridreport.h"

#include <memory>

class DataGrid;
class Dataset;
class QWidget;
class ReportPreviewDialog;

// "打 印": the sales report of the ledger grid as it stands, in a print preview.
namespace LedgerReport {

// The ledger's report settings: page header "Page. &[Page]" with a double line, the
// title band "Quillmora" and the vendor's address, "销 售 报 表" before the table and
// "%[Today]" after it, 2 cm margins, colour, fitted to the page width, job "列表信息".
ReportSettings settings(const QString &vendorAddress);

// The grid's visible columns in their current order with the grid's looks, one row per
// record in the current order, and the footer row with the grid's footer texts.
ReportTable table(const DataGrid &grid);

// The report of the grid, with today's date for "%[Today]". It reads the grid's rows
// as it lays them out, so the grid must outlive it and keep its rows.
std::unique_ptr<GridReport> report(const DataGrid &grid, const ReportSettings &settings);

// Paints the report of the grid as it stands now on the printer, with today's date
// for "%[Today]"; returns the number of pages.
int print(QPrinter *printer, const DataGrid &grid, const ReportSettings &settings);

// Builds the report into a preview window and shows it (the window frees itself when
// closed). Nothing is built and no window shown while the dataset is closed.
ReportPreviewDialog *preview(QWidget *parent, DataGrid &grid, const Dataset *dataset, const QString &vendorAddress);

// The same preview of any grid with the given settings.
ReportPreviewDialog *previewGrid(QWidget *parent, DataGrid &grid, const ReportSettings &settings);

} // namespace LedgerReport
