#pragma once

#include "worksheet.h"

#include <QList>
#include <QString>

class DataGrid;
class Dataset;
class QWidget;

// A grid column as the export reads it.
struct ExportColumn
{
    QString field;
    QString title;
    bool visible = true;
    // The column's footer when it is a fixed text ("总计"); totals are not exported.
    QString fixedFooter;
};

// "导 出": writes the ledger's records, as the grid lists them, to a worksheet file
// chosen in a save dialog and opens it with the desktop's program for it.
namespace SpreadsheetExport {

inline const QString kFilter = QStringLiteral("Microsoft Excel xls文件|*.xls");
inline const QString kSheetTitle = QStringLiteral("销售统计报表");
inline const QString kMaker = QStringLiteral("Quillmora");

// The grid's columns in their current order, as the export reads them.
QList<ExportColumn> columnsOf(const DataGrid &grid);

// The whole command: the save dialog, then run(). Cancel stops without a word.
void exportGrid(QWidget *parent, const QList<ExportColumn> &columns, Dataset *dataset);

// Writes the file. Stops silently on an empty or closed dataset, an empty name or a
// refused overwrite; errors while writing or opening are swallowed, and whatever was
// written stays.
void run(QWidget *parent, const QList<ExportColumn> &columns, Dataset *dataset, const QString &fileName);

// Writes a sheet to the file after asking whether to overwrite one that exists, with
// the progress window, then opens it with the desktop's program for it (a desktop
// that cannot open it says nothing). A file that cannot be written is Failed (what
// was written stays); the writer's own errors are raised.
enum class SaveOutcome { Written, Declined, Failed };
SaveOutcome save(QWidget *parent, const WorksheetContent &sheet, const QString &fileName);

// The sheet: the grid's fields in column order, then the fields no column shows, in
// the data store's order. A visible column's title and footer stand over its own
// data; a hidden column keeps its place with blank cells and no title, so no value of
// it is written.
WorksheetContent content(const QList<ExportColumn> &columns, const Dataset &dataset);

} // namespace SpreadsheetExport
