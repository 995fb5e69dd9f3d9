#pragma once

#include <QColor>
#include <QFont>
#include <QList>
#include <QString>
#include <QSizeF>
#include <functional>
#include <memory>
#include <utility>

class QPainter;
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

// Where the pages of a report break. Elements (bands and rows) are placed one under
// the other from `top`; one that would reach below `bottom` starts a new page, unless
// it is the first on its page (an element higher than a page overflows a page of its
// own rather than leaving pages empty). A page that continues the table starts under
// its repeated column titles.
class PageBreaks
{
public:
    PageBreaks() = default;
    PageBreaks(double top, double bottom, double titleHeight) : m_top(top), m_bottom(bottom), m_titleHeight(titleHeight), m_y(top) {}

    // Places the next element; true when it starts a new page. `underTitles`: it belongs
    // to the table, so a page it starts repeats the column titles above it.
    bool place(double height, bool underTitles);

private:
    double m_top = 0;
    double m_bottom = 0;
    double m_titleHeight = 0;
    double m_y = 0;
};

// Lays a table out on pages and paints it: page header, the text before, the title
// band and column titles (repeated on every page), the rows (each as high as its
// text needs), the footer row and the text after. `substitutions` replace macros in
// the texts before and after for this print only, so the settings keep the macros.
//
// The layout goes as far as it is asked: a preview shows its first page after laying
// out that page alone, and lays out the rest a few rows at a time. Only where each
// page starts is kept, never the rows, so a table of a million rows takes little
// memory; a page's rows are read from the table again when it is painted.
class GridReport
{
public:
    using Substitutions = QList<std::pair<QString, QString>>;

    GridReport(const ReportSettings &settings, const ReportTable &table, const Substitutions &substitutions = {});
    ~GridReport();
    GridReport(const GridReport &) = delete;
    GridReport &operator=(const GridReport &) = delete;

    // Lays the pages out for the paper of this size (in inches); forgets any layout
    // done for other paper. Letter size until set.
    void setPaperSize(const QSizeF &inches);
    // The size of a page in layout units (1/96 inch).
    QSizeF pageSize() const;

    // Lays out about `rows` more rows; true once every page is laid out.
    bool layOutMore(int rows);
    // Lays out until page `page` (0-based) is complete or the report ends; true when
    // that page exists.
    bool layOutThrough(int page);
    bool isComplete() const;
    // The pages laid out completely so far (all of them once isComplete()).
    int pageCount() const;

    // Paints a page that is laid out on a painter whose units are layout units, the
    // paper's top left corner at the origin.
    void paintPage(QPainter &painter, int page);

    // Paints every page on the printer (which the caller has set up), one after the
    // other: no more than one page is held at a time. `printed` hears each page as it
    // is done and may say stop (false): the job is then aborted. Returns the number
    // of pages printed.
    int print(QPrinter *printer, const std::function<bool(int printed)> &printed = {});

private:
    struct Layout;
    std::unique_ptr<Layout> m_layout;
};

// The header macros of a page.
QString expandPageMacros(const QString &text, int page, int pages);
