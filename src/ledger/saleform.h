#pragma once

#include <QDate>
#include <QList>
#include <QString>
#include <QVariant>
#include <utility>

// The texts of the entry panel's boxes, one per column of a sales record.
struct SaleEntry
{
    QString category;      // a
    QString goodsName;     // b
    QString goodsCode;     // c
    QString model; // d
    QString purchasePrice; // 1
    QString salePrice;     // 2
    QString quantity;      // 3
    QString saleTotal;     // 6
    QString profit;        // 4
    QString amountOwed;    // 5
    QString customer;      // e
    QString mobile;        // f
    QString unit;          // h
    QString remarks;       // z
    QString saleDate;      // day1, as date text

    bool operator==(const SaleEntry &) const = default;
};

// A sales record ready to be written: texts trimmed, numbers and the date converted.
struct SaleRecord
{
    QString category;
    QString goodsName;
    QString goodsCode;
    QString model;
    double purchasePrice = 0;
    double salePrice = 0;
    double quantity = 0;
    double saleTotal = 0;
    double profit = 0;
    double amountOwed = 0;
    QString customer;
    QString mobile;
    QString unit;
    QString remarks;
    QDate saleDate;

    // Converts every box of the entry, numbers in column order and the date last, and
    // raises ConversionError at the first text that is not a number or a date. Nothing
    // is written before the whole entry has converted, so a failed box never leaves a
    // half-set row behind.
    static SaleRecord fromEntry(const SaleEntry &entry);

    // The columns of table data and their values, in the order they are set. The
    // record flag is not among them: only a new record gets one.
    QList<std::pair<QString, QVariant>> columnValues() const;
};

// The quantity's up-down arrows: they step a whole number between 1 and 100. The
// step starts from the whole part of the quantity text (1 when it is no number).
namespace QuantitySteps {

constexpr int minimum = 1;
constexpr int maximum = 100;

QString step(const QString &quantityText, int delta);

} // namespace QuantitySteps
