#include "ledgeractions.h"

#include "dataset.h"
#include "mylib.h"

void showAllRecords(Dataset &ledger)
{
    mylib::refreshSql(ledger, QStringLiteral("select * from data "));
    ledger.last();
}
