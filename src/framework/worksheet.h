#pragma once

#include <QDate>
#include <QDateTime>
#include <QList>
#include <QString>
#include <functional>
#include <utility>

// One data cell of an exported worksheet.
struct WorksheetCell
{
    enum class Kind { Blank, Text, Number, Integer, Date };

    Kind kind = Kind::Blank;
    QString text;
    double number = 0;
    qint64 integer = 0;
    QDate date;

    static WorksheetCell blank() { return {}; }
    static WorksheetCell fromText(const QString &text) { return {Kind::Text, text, 0, 0, {}}; }
    static WorksheetCell fromNumber(double value) { return {Kind::Number, {}, value, 0, {}}; }
    static WorksheetCell fromInteger(qint64 value) { return {Kind::Integer, {}, 0, value, {}}; }
    static WorksheetCell fromDate(const QDate &value) { return {Kind::Date, {}, 0, 0, value}; }
};

// What an exported sheet shows: a title, who made it and when, a row of column
// titles, one row per record and a footer row. Titles and footer texts name the
// worksheet column they stand in.
struct WorksheetContent
{
    // Row 0 the title, row 1 the maker and time, row 2 the column titles.
    static constexpr int kFirstRecordRow = 3;

    QString title;
    QString maker;
    QDateTime madeAt;
    QList<std::pair<int, QString>> titles;
    int recordCount = 0;
    // The cells of one record, from column 0; called for records 0 … recordCount-1 in turn.
    std::function<QList<WorksheetCell>(int record)> record;
    // The fixed footer texts ("总计"): the old worksheet format carries only these.
    QList<std::pair<int, QString>> footer;
    // The footer as the list shows it, totals included, for the formats that carry
    // it; empty when it is the same as `footer`.
    QList<std::pair<int, QString>> shownFooter;

    // Every row the sheet takes: title, maker, column titles, the records, the footer.
    qint64 rowCount() const { return qint64(kFirstRecordRow) + recordCount + 1; }
};

// The file types an export writes. The type follows the file name's extension.
enum class WorksheetFormat { Xls, Xlsx, Csv };

namespace WorksheetFormats {

// .xlsx and .csv by their extension (any letter case); anything else is .xls, the
// type the save dialog offers first.
WorksheetFormat ofFile(const QString &fileName);
// The most rows a sheet of the type holds; 0 when there is no limit.
qint64 maxRows(WorksheetFormat format);
bool fits(WorksheetFormat format, const WorksheetContent &content);
// The type as the save dialog names it: "Excel 工作簿 (*.xlsx)".
QString name(WorksheetFormat format);

} // namespace WorksheetFormats

// The shape of a sheet, told to a writer before its first cell.
struct SheetLayout
{
    int columnCount = 0;
    // Rows that stay in view while the rest scrolls (the title rows).
    int frozenRows = 0;
    QList<std::pair<int, QString>> titles;
};

// Receives a sheet's cells, row by row from the top and left to right in a row.
class SheetWriter
{
public:
    virtual ~SheetWriter() = default;

    virtual void prepare(const SheetLayout &) {}
    virtual void beginFile() = 0;
    virtual void text(int row, int column, const QString &text) = 0;
    // A text in UTF-8: `size` bytes, followed by a NUL. A writer that keeps UTF-8
    // takes it as it is; the others get it as text().
    virtual void utf8Text(int row, int column, const char *text, qsizetype size)
    {
        this->text(row, column, QString::fromUtf8(text, size));
    }
    virtual void number(int row, int column, double value) = 0;
    virtual void integer(int row, int column, qint64 value) = 0;
    virtual void date(int row, int column, const QDate &value) = 0;
    virtual void blank(int row, int column) = 0;
    virtual void endFile() = 0;
};

// The shortest text that reads back as the same double ("0.1", "1e+20").
QString shortestText(double value);

// Writes the sheet: row 0 the title (column 3), row 1 the maker (column 0) and the
// time it was made (column 5), row 2 the titles, then the records and the footer row.
// `progress` hears the number of records written so far. With `shownFooter` the
// footer row is the one the list shows, else the fixed texts.
void writeWorksheet(SheetWriter &writer, const WorksheetContent &content,
                    const std::function<void(int written)> &progress = {}, bool shownFooter = false);
