#pragma once

#include "gridreport.h"
#include "worksheet.h"

class CustomerDebtsModel;
class DataGrid;

// Printing and export of the customer debts list, through the ledger's report engine
// and worksheet writer.
namespace CustomerDebtsOutput {

inline const QString kSheetTitle = QStringLiteral("客户欠款表");

// The ledger report's settings with the list's own heading and job name.
ReportSettings reportSettings(const QString &vendorAddress);

// The grid's visible columns in their order, one row per customer shown: names and
// mobiles as texts, dates as dates, amounts as numbers, counts as integers; the
// footer texts of the grid below their columns.
WorksheetContent sheet(const DataGrid &grid, const CustomerDebtsModel &model);

} // namespace CustomerDebtsOutput
