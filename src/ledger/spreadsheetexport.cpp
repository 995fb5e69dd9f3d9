#include "spreadsheetexport.h"

#include "apperror.h"
#include "clock.h"
#include "datagrid.h"
#include "dataset.h"
#include "exportprogresswindow.h"
#include "messageboxservice.h"
#include "savedialog.h"
#include "urlopener.h"
#include "worksheetfile.h"

#include <QApplication>
#include <QFile>
#include <QLocale>
#include <QUrl>
#include <memory>
#include <optional>

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
    case FieldType::Date: {
        // Stored dates may carry a time of day; the sale date is the day.
        if (value.typeId() == QMetaType::QDate && value.toDate().isValid())
            return WorksheetCell::fromDate(value.toDate());
        if (value.typeId() == QMetaType::QDateTime && value.toDateTime().isValid())
            return WorksheetCell::fromDate(value.toDateTime().date());
        break;
    }
    default:
        break;
    }
    // Text, date-times and anything a number or date field holds that is no number or
    // date: the field's text.
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
        columns.append({column.field, column.title, grid.isColumnVisibleAt(position), column.footerText,
                        grid.footerTextAt(position)});
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
            sheet.shownFooter.append({sheetColumn, column.shownFooter.isNull() ? column.fixedFooter : column.shownFooter});
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
    save(parent, content(columns, *dataset), fileName);
}

QString tooManyRowsText(const WorksheetContent &sheet, WorksheetFormat format)
{
    const QLocale c = QLocale::c();
    QString text = QStringLiteral("无法导出为 %1 文件：%2 条记录连同标题行和合计行共 %3 行，超出了这种文件最多 %4 行的容量。文件未写入。\n\n")
                       .arg(format == WorksheetFormat::Xlsx ? QStringLiteral(".xlsx") : QStringLiteral(".xls"),
                            c.toString(sheet.recordCount), c.toString(sheet.rowCount()),
                            c.toString(WorksheetFormats::maxRows(format)));
    if (format == WorksheetFormat::Xls && WorksheetFormats::fits(WorksheetFormat::Xlsx, sheet))
        text += QStringLiteral("请在保存类型中选择“%1”或“%2”再导出。")
                    .arg(WorksheetFormats::name(WorksheetFormat::Xlsx), WorksheetFormats::name(WorksheetFormat::Csv));
    else
        text += QStringLiteral("请在保存类型中选择“%1”再导出；“%2”最多 %3 行。")
                    .arg(WorksheetFormats::name(WorksheetFormat::Csv), WorksheetFormats::name(WorksheetFormat::Xlsx),
                         c.toString(WorksheetFormats::maxRows(WorksheetFormat::Xlsx)));
    return text;
}

SaveOutcome save(QWidget *parent, const WorksheetContent &sheet, const QString &fileName)
{
    const WorksheetFormat format = WorksheetFormats::ofFile(fileName);
    // Refused before the overwrite question: nothing is touched for a file that
    // could not hold the sheet.
    if (!WorksheetFormats::fits(format, sheet)) {
        MessageBoxes::warning(parent, tooManyRowsText(sheet, format));
        return SaveOutcome::Refused;
    }
    std::optional<BusyCursor> busy(std::in_place);
    if (QFile::exists(fileName)) {
        const QMessageBox::StandardButton answer = MessageBoxes::ask(
            parent, {QStringLiteral("提示"), QStringLiteral("已存在文件（") + fileName + QStringLiteral("），是否覆盖？"),
                     QMessageBox::Question, QMessageBox::Yes | QMessageBox::No, QMessageBox::No});
        if (answer != QMessageBox::Yes)
            return SaveOutcome::Declined;
        // The old file is replaced when the new one is complete, not before: a write
        // that fails leaves it as it was.
    }
    std::optional<ExportProgressWindow> progress(std::in_place, sheet.recordCount);
    progress->showNow();
    try {
        WorksheetFile::write(sheet, fileName, format, [&progress](int written) { progress->setProgress(written); });
    } catch (const AppError &error) {
        // Told once the progress window is gone and the pointer is back.
        progress.reset();
        busy.reset();
        MessageBoxes::reportError(parent, QStringLiteral("导出失败：%1（%2）").arg(error.message(), fileName));
        return SaveOutcome::Failed;
    }
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
