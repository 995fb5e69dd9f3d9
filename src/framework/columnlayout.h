#pragma once

#include "inifile.h"

#include <QList>
#include <QString>

// The saved layout of a grid's columns: what "保存列宽" writes and "读取列宽" reads back.
// One line per column, keyed grid name + "." + field name, holding seven numbers
// (position, width, sort marker, visible, sort rank, drop-down rows, drop-down
// width), and a "(Default)" line holding the row height and row lines.
struct ColumnLayoutState
{
    enum SortMarker { NoMarker = 0, MarkerDown = 1, MarkerUp = 2 };

    QString field;
    int width = 64;
    int sortMarker = NoMarker;
    bool visible = true;
    int sortRank = 0;
    int dropDownRows = 7;
    int dropDownWidth = 0;

    bool operator==(const ColumnLayoutState &) const = default;
};

struct GridLayoutState
{
    // In the grid's column order.
    QList<ColumnLayoutState> columns;
    int rowHeight = 0;
    int rowLines = 0;

    bool operator==(const GridLayoutState &) const = default;
};

namespace ColumnLayout {

// The lines a save writes, in column order, then "(Default)".
IniFile::Entries lines(const QString &gridName, const GridLayoutState &state);

// The layout after a restore from the section's lines, every option on: widths,
// markers with ranks, visibility, drop-down rows and width, the column order and the
// row height and lines. A column without a line keeps its state; each number that is
// missing or not a number keeps the column's current value; setting a marker on a
// column takes the others' markers away; the first column (in the current order)
// that claims a position gets it.
GridLayoutState restore(const QString &gridName, const GridLayoutState &current, const IniFile::Entries &section);

} // namespace ColumnLayout
