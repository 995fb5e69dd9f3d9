#pragma once

#include "saleform.h"

class Dataset;

// Writing sales records: a new one through the append table, a change or a removal on
// the ledger's current row (identified by the engine's row key, never by its values).
namespace LedgerRecords {

// Converts the entry, then appends it with the record flag "1" and posts it. A text
// that fails to convert raises ConversionError before a row is begun.
void add(Dataset &appendTable, const SaleEntry &entry);

// Converts the entry, then writes it into the current row; the record flag stays.
void modifyCurrent(Dataset &ledger, const SaleEntry &entry);

// The current row as the entry panel shows it: numbers in the general format, the
// date as date text (empty for no date). A null in any other column raises the
// variant conversion error.
SaleEntry currentEntry(const Dataset &ledger);

} // namespace LedgerRecords
