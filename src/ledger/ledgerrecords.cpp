#include "ledgerrecords.h"

#include "dataset.h"

namespace LedgerRecords {

void add(Dataset &appendTable, const SaleEntry &entry)
{
    const SaleRecord record = SaleRecord::fromEntry(entry);
    appendTable.append();
    for (const auto &[column, value] : record.columnValues())
        appendTable.setValue(column, value);
    // Records of the application carry this flag; the quick query lists only them.
    appendTable.setValue(QStringLiteral("o"), QStringLiteral("1"));
    appendTable.post();
}

void modifyCurrent(Dataset &ledger, const SaleEntry &entry, const RowVersion &asRead)
{
    const SaleRecord record = SaleRecord::fromEntry(entry);
    // The panel shows a sale's date alone. A sale that carries a time of day (one of
    // the Windows version) keeps it unless the date itself is changed.
    const QVariant storedDay = ledger.value(QStringLiteral("day1"));
    const bool sameDay = storedDay.isValid() && storedDay.toDate() == record.saleDate;
    ledger.edit(asRead);
    for (const auto &[column, value] : record.columnValues()) {
        if (sameDay && column == QLatin1String("day1"))
            continue;
        ledger.setValue(column, value);
    }
    ledger.post();
}

SaleEntry currentEntry(const Dataset &ledger)
{
    SaleEntry entry;
    entry.category = ledger.textValue(QStringLiteral("a"));
    entry.goodsName = ledger.textValue(QStringLiteral("b"));
    entry.goodsCode = ledger.textValue(QStringLiteral("c"));
    entry.model = ledger.textValue(QStringLiteral("d"));
    entry.purchasePrice = ledger.textValue(QStringLiteral("1"));
    entry.salePrice = ledger.textValue(QStringLiteral("2"));
    entry.quantity = ledger.textValue(QStringLiteral("3"));
    entry.saleTotal = ledger.textValue(QStringLiteral("6"));
    entry.profit = ledger.textValue(QStringLiteral("4"));
    entry.amountOwed = ledger.textValue(QStringLiteral("5"));
    entry.customer = ledger.textValue(QStringLiteral("e"));
    entry.mobile = ledger.textValue(QStringLiteral("f"));
    entry.unit = ledger.textValue(QStringLiteral("h"));
    entry.remarks = ledger.textValue(QStringLiteral("z"));
    entry.saleDate = ledger.displayText(QStringLiteral("day1"));
    return entry;
}

} // namespace LedgerRecords
