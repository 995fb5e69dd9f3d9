#include "ledgerreport.h"

#include "clock.h"
#include "datagrid.h"
#include "dataset.h"
#include "datetext.h"
#include "reportpreviewdialog.h"

#include <QPointer>
#include <QPrinter>

namespace {

QFont face(const QString &family, double points, bool bold = false)
{
    QFont font(family);
    font.setPointSizeF(points);
    font.setBold(bold);
    return font;
}

ReportCell cellFrom(const GridLook &look, const QString &text)
{
    return {text, look.background, look.foreground, look.font, look.alignment};
}

} // namespace

namespace LedgerReport {

ReportSettings settings(const QString &vendorAddress)
{
    ReportSettings s;
    s.fitToPageWidth = true;
    s.colour = true;
    s.marginLeft = s.marginTop = s.marginRight = s.marginBottom = 2.0;
    s.printFontFamily = QStringLiteral("Arial");
    s.pageHeader = QStringLiteral("Page. &[Page]");
    s.pageHeaderFont = QFont(QStringLiteral("MS Sans Serif"));
    s.pageHeaderFont.setPixelSize(11);
    s.pageFooterFont = s.pageHeaderFont;
    s.title = QStringLiteral("Quillmora ") + vendorAddress;
    s.textBefore = {{QStringLiteral("销 售 报 表"), face(QStringLiteral("Courier New"), 14, true), Qt::AlignHCenter},
                    {QString(), face(QStringLiteral("MS Sans Serif"), 8), Qt::AlignLeft}};
    s.textAfter = {{QString(), face(QStringLiteral("Arial"), 10, true), Qt::AlignLeft},
                   {QStringLiteral("%[Today]"), face(QStringLiteral("Arial"), 8, true), Qt::AlignLeft}};
    s.jobTitle = QStringLiteral("列表信息");
    return s;
}

ReportTable table(const DataGrid &grid)
{
    ReportTable result;
    QList<int> positions;
    for (int position = 0; position < grid.columnCount(); ++position) {
        if (!grid.isColumnVisibleAt(position))
            continue;
        positions.append(position);
        result.columns.append({cellFrom(grid.titleLook(position), grid.columnAt(position).title),
                               grid.columnWidthAt(position)});
        result.footer.append(cellFrom(grid.footerLook(position), grid.footerTextAt(position)));
    }
    result.rowCount = grid.rowCount();
    result.row = [&grid, positions](int row) {
        QList<ReportCell> cells;
        // A report read after the list shrank finds no row there.
        if (row >= grid.rowCount())
            return cells;
        cells.reserve(positions.size());
        for (const int position : positions)
            cells.append(cellFrom(grid.cellLook(row, position), grid.cellText(row, position)));
        return cells;
    };
    return result;
}

std::unique_ptr<GridReport> report(const DataGrid &grid, const ReportSettings &settings)
{
    // The settings keep the macro; each report puts in the day it is made on.
    return std::make_unique<GridReport>(settings, table(grid),
                                        GridReport::Substitutions{{QStringLiteral("%[Today]"), DateText::date(Clock::today())}});
}

int print(QPrinter *printer, const DataGrid &grid, const ReportSettings &settings)
{
    return report(grid, settings)->print(printer);
}

ReportPreviewDialog *preview(QWidget *parent, DataGrid &grid, const Dataset *dataset, const QString &vendorAddress)
{
    if (!dataset || !dataset->isOpen())
        return nullptr;
    return previewGrid(parent, grid, settings(vendorAddress));
}

ReportPreviewDialog *previewGrid(QWidget *parent, DataGrid &grid, const ReportSettings &reportSettings)
{
    QPointer<DataGrid> source(&grid);
    auto *dialog = new ReportPreviewDialog(
        reportSettings,
        [source](const ReportSettings &settings) -> std::unique_ptr<GridReport> {
            if (!source)
                return nullptr;
            return report(*source, settings);
        },
        parent);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->showMaximized();
    return dialog;
}

} // namespace LedgerReport
