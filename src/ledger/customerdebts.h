#pragma once

#include "apperror.h"
#include "ledgerqueries.h"
#include "tenthousandths.h"

#include <QDate>
#include <QDateTime>
#include <QList>
#include <QString>

class Connection;

// A customer as the ledger knows one: the name and mobile of a sale, each trimmed the
// way the entry panel trims them. Sales with neither are one customer of their own.
struct CustomerKey
{
    QString name;
    QString mobile;

    bool operator==(const CustomerKey &) const = default;
};

// What one customer owes. Amounts are held in ten-thousandths of a yuan, each sale's
// amount brought to the nearest 0.0001 and then added, exactly as the ledger footer
// adds them, so the sum over all customers is the footer's total to the last digit.
// The count is wide enough for whatever amounts a ledger holds (see TenThousandths).
struct CustomerDebt
{
    CustomerKey customer;
    TenThousandths::Units owedUnits = 0;
    // Sales whose amount owed is not zero, and the dates of the oldest and newest of them.
    int sales = 0;
    QDate oldest;
    QDate newest;

    // The name as the list shows it; "（未填客户）" for neither name nor mobile.
    QString listName() const;
    // The customer as a message names them: the name, with the mobile in brackets
    // when there is one.
    QString messageName() const;
    QString owedText() const;
};

// A figure shown to the operator no longer matches the data store: another terminal
// changed the customer's sales since the list was read.
class DebtChangedError : public AppError
{
public:
    DebtChangedError(const QString &message, TenThousandths::Units currentUnits)
        : AppError(message), m_currentUnits(currentUnits)
    {
    }
    TenThousandths::Units currentUnits() const { return m_currentUnits; }

private:
    TenThousandths::Units m_currentUnits;
};

// Who owes the shop what, and settling it. A sale "has an amount owed" when its amount
// owed is stored and not zero. Negative amounts (the shop owes the customer, e.g. a
// prepayment) count into the customer's total as they count into the ledger footer;
// the list therefore holds every customer with such a sale, credits last.
namespace CustomerDebts {

inline const QString kNoCustomer = QStringLiteral("（未填客户）");

using Units = TenThousandths::Units;

// Ten-thousandths of a yuan as the ledger footer counts a value; NaN counts nothing.
Units unitsOf(double value);
double amountOf(Units units);
// An amount in the number format the ledger footer uses.
QString amountText(Units units);

// One row per customer with an amount owed, largest amount first; equal amounts with
// the longest outstanding first. The engine groups and counts; the amounts are summed
// here by the footer's rule.
QList<CustomerDebt> load(Connection &connection);
Units totalUnits(const QList<CustomerDebt> &debts);

// Whether the search text occurs in the name or the mobile (ASCII letter case ignored).
// An empty or blank search matches every customer.
bool matches(const CustomerDebt &debt, const QString &search);

// The customer's sales with an amount owed, oldest first: a ledger statement.
SqlStatement salesOf(const CustomerKey &customer);

struct Settlement
{
    Units paidUnits = 0;
    Units remainingUnits = 0;
    int changedSales = 0;
    // The row key of the payment written for it.
    qint64 paymentKey = 0;
};

// A payment as it was written: one per settle or part payment.
struct Payment
{
    qint64 key = 0;
    QDateTime time;
    CustomerKey customer;
    Units units = 0;
    QString operatorName;
    QString terminal;
    // How many sales it reduced.
    int sales = 0;
};

// The customer's payments, newest first.
QList<Payment> paymentsOf(Connection &connection, const CustomerKey &customer);

// Why a payment cannot be taken from the customer's total as shown (empty when it can):
// nothing owed, a payment of 0 or less, or more than is owed.
QString paymentRefusal(const CustomerDebt &shown, Units paymentUnits);

// Settling and paying write, in the same transaction as the amounts, one payment row
// (the clock's time, the customer, the amount, the data module's operator and this
// terminal) and one row per sale it reduced with the amount taken from that sale.

// Sets the amount owed of every sale of the customer to 0, in one transaction. The
// customer's total is read again inside it: if it is no longer the one the operator
// confirmed, nothing is written and DebtChangedError is raised. Any other failure rolls
// back and is raised as it came.
Settlement settle(Connection &connection, const CustomerDebt &shown);

// Takes a payment off the customer's sales, oldest sale first, none below 0; negative
// amounts stay. The payment must be more than 0 and at most the total owed (AppError
// otherwise); the total is checked again inside the transaction as for settle().
Settlement pay(Connection &connection, const CustomerDebt &shown, Units paymentUnits);

} // namespace CustomerDebts
