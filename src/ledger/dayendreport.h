#pragma once

#include "tenthousandths.h"

#include <QDate>
#include <QList>
#include <QString>

class Connection;

// The day-end figures of a day or a range of days: what each operator sold and took in,
// and the cash the till should hold. Amounts are counted in ten-thousandths by the
// ledger footer's rule (each stored value brought to the nearest 0.0001, then added),
// so every figure is exact and the operators' figures add up to the total.
namespace DayEndReport {

using Units = TenThousandths::Units;

// The name under which sales without a recorded operator are counted (sales added
// before operators were recorded, or brought in from elsewhere).
inline const QString kNoOperator = QStringLiteral("（未记录）");

struct Figures
{
    int sales = 0;
    Units salesTotal = 0;
    Units profit = 0;
    // What the customers of these sales did not pay at the time: the amount owed as
    // the sale was entered, payments taken off it since counted back in.
    Units newOwed = 0;
    // Payments on amounts owed taken in these days, whatever day their sales are of.
    Units paymentsReceived = 0;

    Units cashExpected() const { return salesTotal - newOwed + paymentsReceived; }
    Figures &operator+=(const Figures &other);
};

struct OperatorFigures
{
    QString operatorName; // empty: no recorded operator
    Figures figures;

    QString shownName() const { return operatorName.isEmpty() ? kNoOperator : operatorName; }
};

struct GoodsFigures
{
    QString code;
    QString name;
    int sales = 0;
    Units quantity = 0;
    Units total = 0;
};

struct Report
{
    QDate from;
    QDate to;
    // The operator the report is limited to; empty for all.
    QString operatorName;
    // One row per operator with a sale or a payment in the days, by name; sales without
    // a recorded operator last.
    QList<OperatorFigures> operators;
    Figures total;
    // The ten goods (code and name) sold most by total, largest first.
    QList<GoodsFigures> topGoods;
};

inline constexpr int kTopGoods = 10;

// The figures of the days from `from` to `to`, both included; with an operator name,
// of that operator's sales and payments only (kNoOperator or an empty text is not a
// filter: use allOperators for all).
struct Filter
{
    QDate from;
    QDate to;
    bool allOperators = true;
    QString operatorName; // when not all: empty for sales without a recorded operator
};
Report compute(Connection &connection, const Filter &filter);

// The operators who sold or took a payment, for a choice of operator.
QStringList operatorsOf(Connection &connection);

// An amount as the ledger shows it.
QString amountText(const Units &units);

} // namespace DayEndReport
