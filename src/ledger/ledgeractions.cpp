#include "ledgeractions.h"

#include "dataset.h"
#include "mylib.h"

void showAllRecords(Dataset &ledger)
{
    mylib::reopenSql(ledger, QStringLiteral("select * from data "));
    ledger.last();
}
