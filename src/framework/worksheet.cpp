#include "worksheet.h"

#include "datetext.h"

#include <QFileInfo>
#include <QLocale>
#include <algorithm>
#include <charconv>
#include <cmath>

QString shortestText(double value)
{
    char digits[32];
    const auto result = std::to_chars(digits, digits + sizeof digits, value);
    return QString::fromLatin1(digits, result.ptr - digits);
}

namespace WorksheetFormats {

WorksheetFormat ofFile(const QString &fileName)
{
    const QString suffix = QFileInfo(fileName).suffix().toLower();
    if (suffix == QLatin1String("xlsx"))
        return WorksheetFormat::Xlsx;
    if (suffix == QLatin1String("csv"))
        return WorksheetFormat::Csv;
    return WorksheetFormat::Xls;
}

qint64 maxRows(WorksheetFormat format)
{
    switch (format) {
    case WorksheetFormat::Xls:
        return 65536; // row numbers are 16 bits
    case WorksheetFormat::Xlsx:
        return 1048576;
    case WorksheetFormat::Csv:
        break;
    }
    return 0;
}

bool fits(WorksheetFormat format, const WorksheetContent &content)
{
    const qint64 limit = maxRows(format);
    return limit == 0 || content.rowCount() <= limit;
}

QString name(WorksheetFormat format)
{
    switch (format) {
    case WorksheetFormat::Xls:
        return QStringLiteral("Microsoft Excel xls文件 (*.xls)");
    case WorksheetFormat::Xlsx:
        return QStringLiteral("Excel 工作簿 (*.xlsx)");
    case WorksheetFormat::Csv:
        break;
    }
    return QStringLiteral("CSV (*.csv)");
}

} // namespace WorksheetFormats

void writeWorksheet(SheetWriter &writer, const WorksheetContent &content,
                    const std::function<void(int written)> &progress, bool shownFooter)
{
    const QList<std::pair<int, QString>> &footer =
        shownFooter && !content.shownFooter.isEmpty() ? content.shownFooter : content.footer;

    // The first record is read ahead: its width is part of the sheet's shape.
    QList<WorksheetCell> first;
    if (content.recordCount > 0)
        first = content.record(0);
    SheetLayout layout;
    layout.columnCount = std::max(6, int(first.size())); // the time stands in column 5
    for (const auto &[column, caption] : content.titles)
        layout.columnCount = std::max(layout.columnCount, column + 1);
    for (const auto &[column, text] : footer)
        layout.columnCount = std::max(layout.columnCount, column + 1);
    layout.frozenRows = WorksheetContent::kFirstRecordRow;
    layout.titles = content.titles;
    writer.prepare(layout);

    writer.beginFile();
    writer.text(0, 3, content.title);
    writer.text(1, 0, QStringLiteral("制表人：") + content.maker);
    writer.text(1, 5, QStringLiteral("制表时间：") + DateText::dateTime(content.madeAt));
    for (const auto &[column, caption] : content.titles)
        writer.text(2, column, caption);

    int row = WorksheetContent::kFirstRecordRow;
    for (int record = 0; record < content.recordCount; ++record, ++row) {
        const QList<WorksheetCell> cells = record == 0 ? std::move(first) : content.record(record);
        for (int column = 0; column < cells.size(); ++column) {
            const WorksheetCell &cell = cells.at(column);
            switch (cell.kind) {
            case WorksheetCell::Kind::Blank:
                writer.blank(row, column);
                break;
            case WorksheetCell::Kind::Text:
                writer.text(row, column, cell.text);
                break;
            case WorksheetCell::Kind::Number:
                writer.number(row, column, cell.number);
                break;
            case WorksheetCell::Kind::Integer:
                writer.integer(row, column, cell.integer);
                break;
            case WorksheetCell::Kind::Date:
                writer.date(row, column, cell.date);
                break;
            }
        }
        if (progress)
            progress(record + 1);
    }

    for (const auto &[column, text] : footer) {
        // A total the list shows is a number in the formats that carry it, when the
        // number reads back as exactly the text shown.
        bool isNumber = false;
        const double value = shownFooter ? QLocale::c().toDouble(text, &isNumber) : 0;
        if (isNumber && std::isfinite(value) && shortestText(value) == text)
            writer.number(row, column, value);
        else
            writer.text(row, column, text);
    }
    writer.endFile();
}
