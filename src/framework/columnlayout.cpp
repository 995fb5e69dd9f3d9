#include "columnlayout.h"

#include <QStringList>
#include <optional>

namespace {

QString keyOf(const QString &gridName, const QString &field)
{
    return gridName + QLatin1Char('.') + field;
}

} // namespace

namespace ColumnLayout {

IniFile::Entries lines(const QString &gridName, const GridLayoutState &state)
{
    IniFile::Entries entries;
    for (qsizetype position = 0; position < state.columns.size(); ++position) {
        const ColumnLayoutState &column = state.columns.at(position);
        const QStringList numbers{QString::number(position),           QString::number(column.width),
                                  QString::number(column.sortMarker),  QString::number(column.visible ? 1 : 0),
                                  QString::number(column.sortRank),    QString::number(column.dropDownRows),
                                  QString::number(column.dropDownWidth)};
        entries.append({keyOf(gridName, column.field), numbers.join(QLatin1Char(','))});
    }
    entries.append({QStringLiteral("(Default)"),
                    QString::number(state.rowHeight) + QLatin1Char(',') + QString::number(state.rowLines)});
    return entries;
}

GridLayoutState restore(const QString &gridName, const GridLayoutState &current, const IniFile::Entries &section)
{
    GridLayoutState result = current;
    QList<ColumnLayoutState> &columns = result.columns;
    const qsizetype count = columns.size();
    QList<int> targets(count);
    QList<int> ranks(count, 0);

    for (qsizetype i = 0; i < count; ++i) {
        targets[i] = int(i);
        const std::optional<QString> line = IniFile::find(section, keyOf(gridName, columns.at(i).field));
        if (!line)
            continue;
        const QList<std::optional<int>> numbers = IniFile::numberList(*line);
        auto number = [&numbers](int index, int fallback) {
            return index < numbers.size() && numbers.at(index) ? *numbers.at(index) : fallback;
        };
        ColumnLayoutState &column = columns[i];
        targets[i] = number(0, int(i));
        column.width = number(1, column.width);
        int marker = number(2, column.sortMarker);
        if (marker < ColumnLayoutState::NoMarker || marker > ColumnLayoutState::MarkerUp)
            marker = column.sortMarker; // no marker of that number: as if not a number
        if (marker != ColumnLayoutState::NoMarker) {
            // One marked column at a time.
            for (ColumnLayoutState &other : columns)
                other.sortMarker = ColumnLayoutState::NoMarker;
        }
        column.sortMarker = marker;
        column.visible = number(3, column.visible ? 1 : 0) != 0;
        ranks[i] = number(4, 0);
        column.dropDownRows = number(5, column.dropDownRows);
        column.dropDownWidth = number(6, column.dropDownWidth);
    }
    for (qsizetype i = 0; i < count; ++i)
        columns[i].sortRank = ranks.at(i);

    // Each position goes to the first column that claims it, moved there in turn from
    // position 0 up; a column whose target matches no position stays where the moves
    // leave it.
    QList<qsizetype> order(count);
    for (qsizetype i = 0; i < count; ++i)
        order[i] = i;
    for (int position = 0; position < count; ++position) {
        qsizetype claimant = -1;
        for (qsizetype i = 0; i < count; ++i) {
            if (targets.at(i) == position) {
                claimant = i;
                break;
            }
        }
        if (claimant < 0)
            continue;
        const qsizetype from = order.indexOf(claimant);
        order.move(from, position);
    }
    QList<ColumnLayoutState> reordered;
    reordered.reserve(count);
    for (const qsizetype index : std::as_const(order))
        reordered.append(columns.at(index));
    columns = reordered;

    const QList<std::optional<int>> defaults
        = IniFile::numberList(IniFile::find(section, QStringLiteral("(Default)")).value_or(QString()));
    result.rowHeight = defaults.size() > 0 && defaults.at(0) ? *defaults.at(0) : 0;
    result.rowLines = defaults.size() > 1 && defaults.at(1) ? *defaults.at(1) : 0;
    return result;
}

} // namespace ColumnLayout
