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
    // The column's footer when it is a fixed text ("总计"): the .xls file carries only these.
    QString fixedFooter;
    // The footer as the grid shows it (the record count, the totals): the .xlsx and .csv
    // files carry these.
    QString shownFooter;
};

// "导 出": writes the ledger's records, as the grid lists them, to a worksheet file
// chosen in a save dialog and opens it with the desktop's program for it. The file's
// extension picks the type: .xls (the old worksheet, up to 65,536 rows), .xlsx (up to
// 1,048,576 rows) or .csv (no limit).
namespace SpreadsheetExport {

// The old type first, as operators know it.
inline const QString kFilter = QStringLiteral("Microsoft Excel xls文件|*.xls|Excel 工作簿|*.xlsx|CSV|*.csv");
inline const QString kSheetTitle = QStringLiteral("销售统计报表");
inline const QString kMaker = QStringLiteral("Quillmora");

// The grid's columns in their current order, as the export reads them.
QList<ExportColumn> columnsOf(const DataGrid &grid);

// The whole command: the save dialog, then run(). Cancel stops without a word.
void exportGrid(QWidget *parent, const QList<ExportColumn> &columns, Dataset *dataset);

// Writes the file. Stops silently on an empty or closed dataset, an empty name or a
// refused overwrite; everything else is save()'s.
void run(QWidget *parent, const QList<ExportColumn> &columns, Dataset *dataset, const QString &fileName);

// Writes a sheet to the file in the type its extension names and opens it with the
// desktop's program for it (a desktop that cannot open it says nothing):
// - a sheet with more rows than the type holds is Refused before anything else, with
//   a warning that names the types that hold it;
// - a file that exists is replaced only after the operator agrees (Declined: silent);
// - while writing, the progress window shows;
// - a write that fails is Failed: "导出失败：" and the reason, and no part of the new
//   file is left (a file it was to replace stays as it was).
enum class SaveOutcome { Written, Declined, Refused, Failed };
SaveOutcome save(QWidget *parent, const WorksheetContent &sheet, const QString &fileName);

// The warning for a sheet that does not fit its type.
QString tooManyRowsText(const WorksheetContent &sheet, WorksheetFormat format);

// The sheet: the grid's fields in column order, then the fields no column shows, in
// the data store's order. A visible column's title and footer stand over its own
// data; a hidden column keeps its place with blank cells and no title, so no value of
// it is written.
WorksheetContent content(const QList<ExportColumn> &columns, const Dataset &dataset);

} // namespace SpreadsheetExport
