#include "customerdebtsoutput.h"

#include "clock.h"
#include "customerdebtsmodel.h"
#include "datagrid.h"
#include "ledgerreport.h"
#include "spreadsheetexport.h"

namespace CustomerDebtsOutput {

ReportSettings reportSettings(const QString &vendorAddress)
{
    ReportSettings settings = LedgerReport::settings(vendorAddress);
    settings.textBefore[0].text = QStringLiteral("客 户 欠 款");
    settings.jobTitle = QStringLiteral("客户欠款");
    return settings;
}

WorksheetContent sheet(const DataGrid &grid, const CustomerDebtsModel &model)
{
    WorksheetContent content;
    content.title = kSheetTitle;
    content.maker = SpreadsheetExport::kMaker;
    content.madeAt = Clock::now();
    QList<int> columns;
    for (int position = 0; position < grid.columnCount(); ++position) {
        if (!grid.isColumnVisibleAt(position))
            continue;
        const int sheetColumn = int(columns.size());
        columns.append(grid.logicalIndexAt(position));
        content.titles.append({sheetColumn, grid.columnAt(position).title});
        const QString footer = grid.footerTextAt(position);
        if (!footer.isEmpty())
            content.footer.append({sheetColumn, footer});
    }
    content.recordCount = model.shownCount();
    content.record = [&model, columns](int row) {
        const CustomerDebt &debt = model.shownAt(row);
        QList<WorksheetCell> cells;
        cells.reserve(columns.size());
        for (int column : columns) {
            switch (column) {
            case CustomerDebtsModel::Owed:
                cells.append(WorksheetCell::fromNumber(CustomerDebts::amountOf(debt.owedUnits)));
                break;
            case CustomerDebtsModel::Sales:
                cells.append(WorksheetCell::fromInteger(debt.sales));
                break;
            case CustomerDebtsModel::Oldest:
            case CustomerDebtsModel::Newest: {
                const QDate day = column == CustomerDebtsModel::Oldest ? debt.oldest : debt.newest;
                cells.append(day.isValid() ? WorksheetCell::fromDate(day) : WorksheetCell::blank());
                break;
            }
            default: {
                const QString text = CustomerDebtsModel::text(debt, column);
                cells.append(text.isEmpty() ? WorksheetCell::blank() : WorksheetCell::fromText(text));
                break;
            }
            }
        }
        return cells;
    };
    return content;
}

} // namespace CustomerDebtsOutput
