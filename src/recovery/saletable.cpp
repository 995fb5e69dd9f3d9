#include "saletable.h"

#include "ledgergrid.h"

#include <QDate>
#include <QDateTime>
#include <QHash>
#include <QHeaderView>
#include <QTableWidget>

namespace SaleTable {

void prepare(QTableWidget &table)
{
    table.setEditTriggers(QAbstractItemView::NoEditTriggers);
    table.setSelectionBehavior(QAbstractItemView::SelectRows);
    table.setSelectionMode(QAbstractItemView::SingleSelection);
    table.verticalHeader()->setVisible(false);
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
