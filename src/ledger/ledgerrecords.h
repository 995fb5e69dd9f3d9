#pragma once

#include "rowsource.h"
#include "saleform.h"

class Dataset;

// Writing sales records: a new one through the append table, a change or a removal on
// the ledger's current row (identified by the engine's row key, never by its values).
namespace LedgerRecords {

// Converts the entry, then appends it with the record flag "1" and posts it. A text
// that fails to convert raises ConversionError before a row is begun.
void add(Dataset &appendTable, const SaleEntry &entry);

// Converts the entry, then writes it into the current row; the record flag stays. The
// row is written only where it still holds what the operator was shown: `asRead` when
// it is a version of the current row (the record as it was loaded into the panel),
// else the row as this terminal holds it. Otherwise nothing is written and the
// "Row cannot be located" error is raised.
void modifyCurrent(Dataset &ledger, const SaleEntry &entry, const RowVersion &asRead = {});

// The current row as the entry panel shows it: numbers in the general format, the
// date as date text (empty for no date). A null in any other column raises the
// variant conversion error.
SaleEntry currentEntry(const Dataset &ledger);

} // namespace LedgerRecords
