#pragma once

#include <QDateTime>
#include <QList>
#include <QString>
#include <functional>
#include <utility>

class Biff5Writer;

// One data cell of an exported worksheet.
struct WorksheetCell
{
    enum class Kind { Blank, Text, Number, Integer };

    Kind kind = Kind::Blank;
    QString text;
    double number = 0;
    qint64 integer = 0;

    static WorksheetCell blank() { return {}; }
    static WorksheetCell fromText(const QString &text) { return {Kind::Text, text, 0, 0}; }
    static WorksheetCell fromNumber(double value) { return {Kind::Number, {}, value, 0}; }
    static WorksheetCell fromInteger(qint64 value) { return {Kind::Integer, {}, 0, value}; }
};

// What an exported sheet shows: a title, who made it and when, a row of column
// titles, one row per record and a footer row. Titles and footer texts name the
// worksheet column they stand in.
struct WorksheetContent
{
    QString title;
    QString maker;
    QDateTime madeAt;
    QList<std::pair<int, QString>> titles;
    int recordCount = 0;
    // The cells of one record, from column 0; called for records 0 … recordCount-1 in turn.
    std::function<QList<WorksheetCell>(int record)> record;
    QList<std::pair<int, QString>> footer;
};

// Writes the sheet: row 0 the title (column 3), row 1 the maker (column 0) and the
// time it was made (column 5), row 2 the titles, then the records and the footer row.
// `progress` hears the number of records written so far.
void writeWorksheet(Biff5Writer &writer, const WorksheetContent &content,
                    const std::function<void(int written)> &progress = {});
