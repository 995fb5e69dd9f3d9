#pragma once

#include <QWidget>
#include <vector>

class AdminGate;
class Connection;
class QPushButton;
class QTableWidget;

// "回收站": the deleted sales, newest first, with who deleted them and when; a chosen
// one goes back into the ledger with its original values. For the super
// administrator: locked until the password is entered. Frees itself when closed.
class RecycleBinWindow : public QWidget
{
    Q_OBJECT

public:
    RecycleBinWindow(QWidget *parent, Connection &connection);

    void refresh();
    // Puts the chosen deleted sale back, after a confirmation.
    void restoreChosen();

    AdminGate *gate = nullptr;
    QTableWidget *deletedSales = nullptr;
    QPushButton *putBackButton = nullptr;

signals:
    // A sale went back into the ledger.
    void restored();

private:
    Connection &m_connection;
    std::vector<qint64> m_keys;
};
