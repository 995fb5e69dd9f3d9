#pragma once

#include "columnlayout.h"

#include <QString>

class DataGrid;

// Saves and restores a data grid's column layout in a section of the layout file:
// column order, widths, visibility, sort markers with their ranks, drop-down rows and
// widths, row height and row lines.
namespace GridLayoutFile {

GridLayoutState capture(const DataGrid &grid);

// Writes one line per column (in the current order) and "(Default)"; other keys of
// the section stay. Raises AppError("Unable to write to <path>").
void save(const DataGrid &grid, const QString &gridName, const QString &path, const QString &section);

// Restores with every option on. A missing file or section changes no column and sets
// row height and row lines to 0. Markers come back without sorting any records.
void restore(DataGrid &grid, const QString &gridName, const QString &path, const QString &section);

// Puts a computed layout on the grid (the columns must be the grid's own).
void apply(DataGrid &grid, const GridLayoutState &state);

} // namespace GridLayoutFile
