#pragma once

#include <QWidget>
#include <vector>

class AdminGate;
class Connection;
class QTableWidget;

// "修改记录": the sales that have been modified, most recently changed first, as they
// are now; below, the chosen sale's history: the values each change replaced, with
// who changed them and when. For the super administrator: locked until the password
// is entered. Frees itself when closed.
class ChangesWindow : public QWidget
{
    Q_OBJECT

public:
    ChangesWindow(QWidget *parent, Connection &connection);

    void refresh();
    // Shows the history of the sale in row `row` of the upper list.
    void showChangesOf(int row);

    AdminGate *gate = nullptr;
    QTableWidget *changedSales = nullptr;
    QTableWidget *history = nullptr;

private:
    Connection &m_connection;
    std::vector<qint64> m_saleKeys;
};
