#include "spreadsheetexport.h"

#include "biff5writer.h"
#include "clock.h"
#include "datagrid.h"
#include "dataset.h"
#include "exportprogresswindow.h"
#include "messageboxservice.h"
#include "savedialog.h"
#include "urlopener.h"

#include <QApplication>
#include <QFile>
#include <QUrl>
#include <memory>

namespace {

struct SheetField
{
    int index;
    bool visible;
};

WorksheetCell cellOf(const Dataset &dataset, int row, int field)
{
    const QVariant value = dataset.valueAt(row, field);
    if (!value.isValid() || value.isNull())
        return WorksheetCell::blank();
    const FieldType type = dataset.fieldType(field);
    switch (type) {
    case FieldType::Integer: {
        bool ok = false;
        const qint64 number = value.toLongLong(&ok);
        if (ok)
            return WorksheetCell::fromInteger(number);
        break;
    }
    case FieldType::Number: {
        bool ok = false;
        const double number = value.toDouble(&ok);
        if (ok)
            return WorksheetCell::fromNumber(number);
        break;
    }
    default:
        break;
    }
    // Text, dates and anything a number field holds that is no number: the field's text.
    return WorksheetCell::fromText(Dataset::displayTextOf(value, type));
}

// Restores the mouse pointer however the export ends.
struct BusyCursor
{
    BusyCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~BusyCursor() { QApplication::restoreOverrideCursor(); }
};

} // namespace

namespace SpreadsheetExport {

QList<ExportColumn> columnsOf(const DataGrid &grid)
{
    QList<ExportColumn> columns;
    for (int position = 0; position < grid.columnCount(); ++position) {
        const GridColumn &column = grid.columnAt(position);
        columns.append({column.field, column.title, grid.isColumnVisibleAt(position), column.footerText});
    }
    return columns;
}

WorksheetContent content(const QList<ExportColumn> &columns, const Dataset &dataset)
{
    const QStringList names = dataset.fieldNames();
    QList<SheetField> fields;
    QList<bool> placed(names.size(), false);
    WorksheetContent sheet;
    sheet.title = kSheetTitle;
    sheet.maker = kMaker;
    sheet.madeAt = Clock::now();

    for (const ExportColumn &column : columns) {
        const int index = int(names.indexOf(column.field));
        if (index < 0 || placed.at(index))
            continue;
        placed[index] = true;
        const bool visible = column.visible && !column.title.contains(QStringLiteral("*****"));
        const int sheetColumn = int(fields.size());
        fields.append({index, visible});
        if (visible) {
            sheet.titles.append({sheetColumn, column.title});
            sheet.footer.append({sheetColumn, column.fixedFooter});
        }
    }
    for (int index = 0; index < names.size(); ++index) {
        if (!placed.at(index))
            fields.append({index, true});
    }

    sheet.recordCount = dataset.recordCount();
    sheet.record = [&dataset, fields](int row) {
        QList<WorksheetCell> cells;
        cells.reserve(fields.size());
        for (const SheetField &field : fields)
            cells.append(field.visible ? cellOf(dataset, row, field.index) : WorksheetCell::blank());
        return cells;
    };
    return sheet;
}

void run(QWidget *parent, const QList<ExportColumn> &columns, Dataset *dataset, const QString &fileName)
{
    if (!dataset || !dataset->isOpen() || dataset->isEmpty() || fileName.trimmed().isEmpty())
        return;
    const WorksheetContent sheet = content(columns, *dataset);
    try {
        save(parent, sheet, fileName);
    } catch (const std::exception &) {
        // The ledger's export that cannot write its file ends without a word.
    }
}

SaveOutcome save(QWidget *parent, const WorksheetContent &sheet, const QString &fileName)
{
    BusyCursor busy;
    if (QFile::exists(fileName)) {
        const QMessageBox::StandardButton answer = MessageBoxes::ask(
            parent, {QStringLiteral("提示"), QStringLiteral("已存在文件（") + fileName + QStringLiteral("），是否覆盖？"),
                     QMessageBox::Question, QMessageBox::Yes | QMessageBox::No, QMessageBox::No});
        if (answer != QMessageBox::Yes)
            return SaveOutcome::Declined;
        QFile::remove(fileName);
    }

    ExportProgressWindow progress(sheet.recordCount);
    progress.showNow();
    QFile file(fileName);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return SaveOutcome::Failed;
    Biff5Writer writer(file);
    writeWorksheet(writer, sheet, [&progress](int written) { progress.setProgress(written); });
    file.close();
    if (file.error() != QFileDevice::NoError)
        return SaveOutcome::Failed;
    try {
        UrlOpener::open(QUrl::fromLocalFile(fileName));
    } catch (const std::exception &) {
        // Opening the written file is a courtesy.
    }
    return SaveOutcome::Written;
}

void exportGrid(QWidget *parent, const QList<ExportColumn> &columns, Dataset *dataset)
{
    const std::optional<QString> fileName = SaveDialog::choose(parent, {kFilter, QStringLiteral("xls")});
    if (!fileName)
        return;
    run(parent, columns, dataset, *fileName);
}

} // namespace SpreadsheetExport
