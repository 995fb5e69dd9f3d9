#include "gridlayoutfile.h"

#include "datagrid.h"
#include "inifile.h"

namespace GridLayoutFile {

GridLayoutState capture(const DataGrid &grid)
{
    GridLayoutState state;
    for (int position = 0; position < grid.columnCount(); ++position) {
        ColumnLayoutState column;
        column.field = grid.fieldAt(position);
        column.width = grid.columnWidthAt(position);
        column.sortMarker = int(grid.sortMarkerAt(position));
        column.visible = grid.isColumnVisibleAt(position);
        column.sortRank = grid.sortRankAt(position);
        column.dropDownRows = grid.dropDownRowsAt(position);
        column.dropDownWidth = grid.dropDownWidthAt(position);
        state.columns.append(column);
    }
    state.rowHeight = grid.rowHeightSetting();
    state.rowLines = grid.rowLines();
    return state;
}

void save(const DataGrid &grid, const QString &gridName, const QString &path, const QString &section)
{
    IniFile::writeValues(path, section, ColumnLayout::lines(gridName, capture(grid)));
}

void apply(DataGrid &grid, const GridLayoutState &state)
{
    // Order first, so every later setting addresses the column's final position.
    for (int position = 0; position < state.columns.size() && position < grid.columnCount(); ++position) {
        const int from = grid.positionOfField(state.columns.at(position).field);
        if (from >= 0 && from != position)
            grid.moveColumn(from, position);
    }
    int marked = -1;
    for (int position = 0; position < state.columns.size() && position < grid.columnCount(); ++position) {
        const ColumnLayoutState &column = state.columns.at(position);
        grid.setColumnWidthAt(position, column.width);
        grid.setColumnVisibleAt(position, column.visible);
        grid.setDropDownRowsAt(position, column.dropDownRows);
        grid.setDropDownWidthAt(position, column.dropDownWidth);
        if (column.sortMarker == int(SortMarker::Down) || column.sortMarker == int(SortMarker::Up))
            marked = position;
    }
    if (grid.columnCount() > 0)
        grid.setSortMarkerAt(marked >= 0 ? marked : 0,
                             marked >= 0 ? SortMarker(state.columns.at(marked).sortMarker) : SortMarker::None);
    // Ranks last: setting a marker gives ranks of its own.
    for (int position = 0; position < state.columns.size() && position < grid.columnCount(); ++position)
        grid.setSortRankAt(position, state.columns.at(position).sortRank);
    grid.setRowHeightSetting(state.rowHeight);
    grid.setRowLines(state.rowLines);
}

void restore(DataGrid &grid, const QString &gridName, const QString &path, const QString &section)
{
    const IniFile::Entries entries = IniFile::readSection(path, section);
    grid.suspendLayout();
    // Without fitting the columns show their base widths; the restored widths become
    // the new base widths when fitting comes back on.
    grid.setAutoFitColumns(false);
    const GridLayoutState restored = ColumnLayout::restore(gridName, capture(grid), entries);
    apply(grid, restored);
    grid.resumeLayout();
    grid.setAutoFitColumns(true);
}

} // namespace GridLayoutFile
