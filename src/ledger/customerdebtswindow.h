#pragma once

#include "customerdebts.h"

#include <QPointer>
#include <QWidget>
#include <optional>

class Connection;
class CustomerDebtsModel;
class DataGrid;
class LedgerController;
class QLabel;
class QLineEdit;
class QPushButton;
class QTableWidget;

// "客户欠款": who owes the shop what. A search box that narrows the list as the
// operator types, the list with its footer, "结 清" and "部分付款" for the chosen
// customer, printing and export of the list; a double click lists the customer's sales
// with an amount owed in the ledger grid. Below the list, the chosen customer's
// payments, newest first. The window is thin: the figures and writes
// are CustomerDebts', the list CustomerDebtsModel's.
class CustomerDebtsWindow : public QWidget
{
    Q_OBJECT

public:
    // Shows itself at once, centred on its owner, and frees itself when closed or when
    // the owner goes. `ledger` (may be null) is the ledger grid's controller: a double
    // click fills it and brings the owner to the front; settling refreshes it.
    CustomerDebtsWindow(QWidget *owner, Connection &connection, LedgerController *ledger, const QString &vendorAddress);
    ~CustomerDebtsWindow() override;

    // Reads the list again, keeping the search and, while still listed, the chosen customer.
    void reload();

    // The customer of the grid's current row, if any.
    std::optional<CustomerDebt> chosen() const;
    void choose(const CustomerKey &customer);

    // The commands the buttons run.
    void settleChosen();
    void payChosen();
    void showChosenSales();
    void printList();
    void exportList();

    CustomerDebtsModel *model() const { return m_model; }

    // Controls.
    QLineEdit *searchEdit = nullptr;
    DataGrid *debtsGrid = nullptr;
    QPushButton *settleButton = nullptr;
    QLineEdit *paymentEdit = nullptr;
    QPushButton *payButton = nullptr;
    QPushButton *refreshButton = nullptr;
    QPushButton *printButton = nullptr;
    QPushButton *exportButton = nullptr;
    QLabel *paymentsLabel = nullptr;
    QTableWidget *paymentsTable = nullptr;

private:
    void refreshFooters();
    // Lists the chosen customer's payments (none when no customer is chosen).
    void showPayments();
    // After a write of this window or a refusal because of another terminal's.
    void refreshAll();

    Connection &m_connection;
    QPointer<LedgerController> m_ledger;
    QPointer<QWidget> m_owner;
    QString m_vendorAddress;
    CustomerDebtsModel *m_model = nullptr;
};
