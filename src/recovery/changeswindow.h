#pragma once

#include <QWidget>
#include <vector>

class AdminGate;
class QTableWidget;

// "修改记录": the sales that have been modified, most recently changed first, as they
// are now; below, the chosen sale's history: the values each change replaced, with
// who changed them and when. For the super administrator: locked until the password
// is entered. Shows itself when created and frees itself when closed.
class Tchangesfm : public QWidget
{
    Q_OBJECT

public:
    explicit Tchangesfm(QWidget *parent = nullptr);

    void refresh();
    // Shows the history of the sale in row `row` of the upper list.
    void showChangesOf(int row);

    AdminGate *Gate = nullptr;
    QTableWidget *ListView1 = nullptr;
    QTableWidget *ListView2 = nullptr;

private:
    std::vector<qint64> m_saleKeys;
};
