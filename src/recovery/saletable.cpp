#include "saletable.h"

#include "ledgergrid.h"

#include <QDate>
#include <QDateTime>
#include <QHash>
#include <QHeaderView>
#include <QLayout>
#include <QScreen>
#include <QScrollBar>
#include <QStyle>
#include <QTableWidget>
#include <algorithm>

namespace SaleTable {

void prepare(QTableWidget &table)
{
    table.setEditTriggers(QAbstractItemView::NoEditTriggers);
    table.setSelectionBehavior(QAbstractItemView::SelectRows);
    table.setSelectionMode(QAbstractItemView::SingleSelection);
    table.verticalHeader()->setVisible(false);
    // A list to choose from, not cells to edit: Tab moves on to the window's buttons.
    table.setTabKeyNavigation(false);
    table.setEnabled(false);
}

void setColumns(QTableWidget &table, const QStringList &leading, const QStringList &fields)
{
    QHash<QString, QString> titles;
    for (const GridColumn &column : LedgerGrid::columns())
        titles.insert(column.field, column.title.simplified());
    QStringList headers = leading;
    for (const QString &field : fields)
        headers << titles.value(field, field);
    table.setRowCount(0);
    table.setColumnCount(int(headers.size()));
    table.setHorizontalHeaderLabels(headers);
}

void addRow(QTableWidget &table, const QStringList &leading, const QVariantList &values)
{
    const int row = table.rowCount();
    table.insertRow(row);
    int column = 0;
    for (const QString &cell : leading)
        table.setItem(row, column++, new QTableWidgetItem(cell));
    for (const QVariant &value : values)
        table.setItem(row, column++, new QTableWidgetItem(text(value)));
}

void placeWindow(QWidget &window, const QList<QTableWidget *> &tables)
{
    QWidget *owner = window.parentWidget() ? window.parentWidget()->window() : nullptr;
    QScreen *screen = owner ? owner->screen() : window.screen();
    const QRect available = screen ? screen->availableGeometry() : QRect(0, 0, 1024, 768);
    int width = window.width();
    for (QTableWidget *table : tables) {
        table->resizeColumnsToContents();
        const QMargins margins = window.layout() ? window.layout()->contentsMargins() : QMargins();
        const int scrollBar = table->style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, table);
        const int wanted = table->horizontalHeader()->length() + 2 * table->frameWidth() + scrollBar + margins.left()
                           + margins.right();
        width = std::max(width, wanted);
    }
    // Room for the window manager's frame.
    width = std::min(width, available.width() - 16);
    const int height = std::min(window.height(), available.height() - 48);
    if (width != window.width() || height != window.height())
        window.resize(width, height);
    // Placed once with its contents; later a window the operator moved stays where it is.
    const char *placed = "quillmoraPlacedWithColumns";
    if (window.property(placed).toBool())
        return;
    if (!tables.isEmpty())
        window.setProperty(placed, true);
    const QPoint centre = owner && owner->isVisible() ? owner->frameGeometry().center() : available.center();
    const QRect frame = window.frameGeometry();
    const int frameExtra = std::max(0, frame.width() - window.width());
    QPoint topLeft(centre.x() - (width + frameExtra) / 2, centre.y() - (frame.height() > height ? frame.height() : height) / 2);
    topLeft.setX(std::clamp(topLeft.x(), available.left(), std::max(available.left(), available.right() - width - frameExtra)));
    topLeft.setY(std::clamp(topLeft.y(), available.top(), std::max(available.top(), available.bottom() - height - 32)));
    window.move(topLeft);
}

QString text(const QVariant &value)
{
    if (value.isNull())
        return {};
    switch (value.typeId()) {
    case QMetaType::QDate:
        return value.toDate().toString(QStringLiteral("yyyy-MM-dd"));
    case QMetaType::QDateTime:
        return value.toDateTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
    case QMetaType::Double:
        return QString::number(value.toDouble(), 'g', 15);
    default:
        return value.toString();
    }
}

int chosenRow(const QTableWidget &table, int rows)
{
    const int row = table.currentRow();
    if (row < 0 || row >= rows || table.selectedItems().isEmpty())
        return -1;
    return row;
}

} // namespace SaleTable
