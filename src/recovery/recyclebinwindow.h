#pragma once

#include <QWidget>
#include <vector>

class AdminGate;
class QPushButton;
class QTableWidget;

// "回收站": the deleted sales, newest first, with who deleted them and when; a chosen
// one goes back into the ledger with its original values. For the super
// administrator: locked until the password is entered. Shows itself when created and
// frees itself when closed.
class Trecyclefm : public QWidget
{
    Q_OBJECT

public:
    explicit Trecyclefm(QWidget *parent = nullptr);

    void refresh();
    // Puts the chosen deleted sale back, after a confirmation.
    void restoreChosen();

    AdminGate *Gate = nullptr;
    QTableWidget *ListView1 = nullptr;
    QPushButton *BitBtn2 = nullptr;

signals:
    // A sale went back into the ledger.
    void restored();

private:
    std::vector<qint64> m_keys;
};
