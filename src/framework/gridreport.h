#pragma once

#include <QColor>
#include <QFont>
#include <QList>
#include <QString>
#include <functional>
#include <utility>

class QPagedPaintDevice;
class QPrinter;

// One cell of a printed table.
struct ReportCell
{
    QString text;
    QColor background = Qt::white;
    QColor foreground = Qt::black;
    QFont font;
    Qt::Alignment alignment = Qt::AlignCenter;
};

// A column as the grid shows it: title cell and width in screen pixels (only the
// proportions count when the table is fitted to the page).
struct ReportColumn
{
    ReportCell title;
    int width = 64;
};

// The table of a report: the visible columns in order, the rows and a footer row.
struct ReportTable
{
    QList<ReportColumn> columns;
    int rowCount = 0;
    // The cells of one row, one per column; asked for rows 0 … rowCount-1 in turn.
    std::function<QList<ReportCell>(int row)> row;
    QList<ReportCell> footer;
};

// A line of the texts printed before and after the table.
struct ReportTextLine
{
    QString text;
    QFont font;
    Qt::Alignment alignment = Qt::AlignLeft;
};

// How a report is laid out on paper; the print setup dialog edits these.
struct ReportSettings
{
    bool fitToPageWidth = true;
    bool colour = true;
    // Left, top, right, bottom, in centimetres.
    double marginLeft = 2.0;
    double marginTop = 2.0;
    double marginRight = 2.0;
    double marginBottom = 2.0;
    // The face cell texts are printed in; sizes and styles stay the grid's.
    QString printFontFamily = QStringLiteral("Arial");
    bool extendedGridLines = false;
    bool optimalColumnWidths = false;

    // Centre text of every page's header; &[Page], &[Pages], &[ShortDate], &[Date],
    // &[LongDate] and &[Time] are replaced. A double line runs under it.
    QString pageHeader;
    QFont pageHeaderFont;
    QString pageFooter;
    QFont pageFooterFont;
    // The band above the column titles.
    QString title;
    QList<ReportTextLine> textBefore;
    QList<ReportTextLine> textAfter;
    QString jobTitle;
};

// Lays a table out on pages and paints it: page header, the text before, the title
// band and column titles (repeated on every page), the rows (each as high as its
// text needs), the footer row and the text after. `substitutions` replace macros in
// the texts before and after for this print only, so the settings keep the macros.
class GridReport
{
public:
    using Substitutions = QList<std::pair<QString, QString>>;

    GridReport(const ReportSettings &settings, const ReportTable &table, const Substitutions &substitutions = {});

    // Paints every page on the printer (which the caller has set up); returns the
    // number of pages.
    int print(QPrinter *printer);

private:
    ReportSettings m_settings;
    ReportTable m_table;
    Substitutions m_substitutions;
};

// The header macros of a page.
QString expandPageMacros(const QString &text, int page, int pages);
