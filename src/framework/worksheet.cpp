#include "worksheet.h"

#include "biff5writer.h"
#include "datetext.h"

void writeWorksheet(Biff5Writer &writer, const WorksheetContent &content,
                    const std::function<void(int written)> &progress)
{
    writer.beginFile();
    writer.text(0, 3, content.title);
    writer.text(1, 0, QStringLiteral("制表人：") + content.maker);
    writer.text(1, 5, QStringLiteral("制表时间：") + DateText::dateTime(content.madeAt));
    for (const auto &[column, caption] : content.titles)
        writer.text(2, column, caption);

    int row = 3;
    for (int record = 0; record < content.recordCount; ++record, ++row) {
        const QList<WorksheetCell> cells = content.record(record);
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
            }
        }
        if (progress)
            progress(record + 1);
    }

    for (const auto &[column, text] : content.footer)
        writer.text(row, column, text);
    writer.endFile();
}
