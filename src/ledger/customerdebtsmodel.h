#pragma once

#include "customerdebts.h"
#include "datagrid.h"

#include <QAbstractTableModel>
#include <QList>
#include <vector>

// The customer debts list as a grid shows it: every customer loaded, of whom those
// matching the search are shown. The search runs in memory, so typing never waits for
// the data store.
class CustomerDebtsModel : public QAbstractTableModel
{
    Q_OBJECT

public:
    enum Column { Name, Mobile, Owed, Sales, Oldest, Newest, ColumnCount };

    explicit CustomerDebtsModel(QObject *parent = nullptr);

    // The grid's columns: field names, titles and looks.
    static QList<GridColumn> columns();

    void setDebts(QList<CustomerDebt> debts);
    const QList<CustomerDebt> &debts() const { return m_debts; }
    void setSearch(const QString &search);
    const QString &search() const { return m_search; }
    // Orders the whole list by a column; texts and dates ascending or descending, blanks first.
    void sortBy(Column column, bool descending);

    // The customers shown, in the list's order.
    int shownCount() const { return int(m_shown.size()); }
    const CustomerDebt &shownAt(int row) const { return m_debts.at(m_shown.at(row)); }
    CustomerDebts::Units shownTotalUnits() const;

    // The text of a cell, as the grid, the report and the export show it.
    static QString text(const CustomerDebt &debt, int column);

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

private:
    void refilter();

    QList<CustomerDebt> m_debts;
    std::vector<int> m_shown;
    QString m_search;
};
