#include "gridreport.h"

#include "clock.h"
#include "datetext.h"

#include <QFontMetricsF>
#include <QLocale>
#include <QPainter>
#include <QPrinter>
#include <QTextLayout>
#include <QHash>
#include <algorithm>
#include <cmath>
#include <limits>
#include <optional>

namespace {

// Layout works in screen pixels (1/96 inch); the painter scales them to the printer.
constexpr double kUnitsPerInch = 96.0;
constexpr double kCentimetresPerInch = 2.54;
constexpr double kCellPadding = 3.0;
constexpr double kGap = 4.0;

// Point sizes become pixel sizes, so text keeps its size through the painter's scale.
QFont inUnits(QFont font)
{
    if (font.pixelSize() <= 0 && font.pointSizeF() > 0)
        font.setPixelSize(std::max(1, int(std::lround(font.pointSizeF() * kUnitsPerInch / 72.0))));
    return font;
}

// Lays a text out in lines no wider than `width`: breaking between words where it can
// and inside a word that alone is wider than the line, so every character is printed.
// Returns the height of the lines.
double layOut(QTextLayout &layout, double width, Qt::Alignment alignment)
{
    QTextOption option(alignment & Qt::AlignHorizontal_Mask);
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    layout.setTextOption(option);
    layout.beginLayout();
    double height = 0;
    for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
        line.setLineWidth(std::max(1.0, width));
        line.setPosition(QPointF(0, height));
        height += line.height();
    }
    layout.endLayout();
    return height;
}

QString layoutText(QString text)
{
    return text.replace(QLatin1Char('\n'), QChar::LineSeparator);
}

double textHeight(const QFont &font, const QString &text, double width)
{
    if (text.isEmpty())
        return QFontMetricsF(inUnits(font)).height();
    QTextLayout layout(layoutText(text), inUnits(font));
    return layOut(layout, width, Qt::AlignLeft);
}

// Paints the text into the rectangle with the same line breaks textHeight measured.
void drawWrapped(QPainter &painter, const QRectF &rect, Qt::Alignment alignment, const QString &text)
{
    if (text.isEmpty())
        return;
    QTextLayout layout(layoutText(text), painter.font());
    const double height = layOut(layout, rect.width(), alignment);
    double top = rect.top();
    if (alignment & Qt::AlignVCenter)
        top += (rect.height() - height) / 2;
    else if (alignment & Qt::AlignBottom)
        top += rect.height() - height;
    layout.draw(&painter, QPointF(rect.left(), top));
}

enum class Kind { Before, TitleBand, Titles, Row, Footer, After };

// Optimal widths are measured over the first rows only: a million rows would keep
// the first page waiting; a longer text further down wraps instead.
constexpr int kOptimalWidthRows = 10000;
// Distinct texts remembered per column with their widths.
constexpr qsizetype kWidthCacheSize = 20000;

bool isAscii(const QString &text)
{
    for (const QChar c : text) {
        if (c.unicode() >= 0x80)
            return false;
    }
    return true;
}

} // namespace

QString expandPageMacros(const QString &text, int page, int pages)
{
    const QDateTime now = Clock::now();
    QString result = text;
    result.replace(QStringLiteral("&[Pages]"), QString::number(pages));
    result.replace(QStringLiteral("&[Page]"), QString::number(page));
    result.replace(QStringLiteral("&[ShortDate]"), DateText::date(now.date()));
    result.replace(QStringLiteral("&[LongDate]"), QLocale().toString(now.date(), QLocale::LongFormat));
    result.replace(QStringLiteral("&[Date]"), DateText::date(now.date()));
    result.replace(QStringLiteral("&[Time]"), now.time().toString(QStringLiteral("HH:mm:ss")));
    return result;
}

// What the report knows of its table and paper, and how far the pages are laid out.
struct GridReport::Layout
{
    // How one column measures its cells' texts; rebuilt when a cell's font differs.
    struct ColumnMeasure
    {
        bool valid = false;
        QFont given;
        QFont font;
        std::optional<QFontMetricsF> metrics;
        double emptyHeight = 0;
        double latinLine = 0;
        double wideLine = 0;
        QHash<QString, double> advances;
    };

    ReportSettings s;
    ReportTable table;
    Substitutions substitutions;
    QList<ReportTextLine> before;
    QList<ReportTextLine> after;
    QList<ReportCell> titles;
    qsizetype columns = 0;

    QSizeF paper{8.5, 11};
    bool measured = false;
    QRectF content;
    QList<double> widths; // in table units
    double scale = 1;     // table units to layout units
    double titleHeight = 0;
    double footerHeight = 0;
    double titleBandHeight = 0;
    double headerHeight = 0;
    double beforeHeight = 0;
    double afterHeight = 0;
    QFont titleBandFont;
    QFont headerFont;
    QList<ColumnMeasure> measures;

    // Elements in print order: 0 the text before, 1 the title band, 2 the column
    // titles, then one per row, the footer and the text after.
    int elementCount = 0;
    QList<int> pageStarts;
    int next = 0;
    PageBreaks breaks;

    Kind kindOf(int element) const
    {
        if (element == 0)
            return Kind::Before;
        if (element == 1)
            return Kind::TitleBand;
        if (element == 2)
            return Kind::Titles;
        if (element < 3 + table.rowCount)
            return Kind::Row;
        return element == 3 + table.rowCount ? Kind::Footer : Kind::After;
    }

    QFont cellFont(const ReportCell &cell) const
    {
        QFont font = inUnits(cell.font);
        if (!s.printFontFamily.isEmpty())
            font.setFamily(s.printFontFamily);
        return font;
    }

    ColumnMeasure &measureFor(qsizetype column, const ReportCell &cell)
    {
        ColumnMeasure &m = measures[column];
        if (!m.valid || !(cell.font == m.given)) {
            m.valid = true;
            m.given = cell.font;
            m.font = cellFont(cell);
            m.metrics.emplace(m.font);
            m.emptyHeight = m.metrics->height();
            m.latinLine = textHeight(m.font, QStringLiteral("0"), 1e6);
            // A Chinese text takes its glyphs from a fallback face with lines of its own.
            m.wideLine = textHeight(m.font, QStringLiteral("0\u6C49"), 1e6);
            m.advances.clear();
        }
        return m;
    }

    double advanceOf(ColumnMeasure &m, const QString &text)
    {
        const auto found = m.advances.constFind(text);
        if (found != m.advances.cend())
            return *found;
        if (m.advances.size() >= kWidthCacheSize)
            m.advances.clear();
        const double advance = m.metrics->horizontalAdvance(text);
        m.advances.insert(text, advance);
        return advance;
    }

    // The height of a cell's text: one line when it fits (measured once per face), the
    // wrapped lines otherwise.
    double cellTextHeight(qsizetype column, const ReportCell &cell, double width)
    {
        ColumnMeasure &m = measureFor(column, cell);
        if (cell.text.isEmpty())
            return m.emptyHeight;
        if (!cell.text.contains(QLatin1Char('\n')) && advanceOf(m, cell.text) <= width)
            return isAscii(cell.text) ? m.latinLine : m.wideLine;
        return textHeight(m.font, cell.text, width);
    }

    double heightOf(const QList<ReportCell> &cells)
    {
        double height = 0;
        for (qsizetype c = 0; c < columns; ++c)
            height = std::max(height, cellTextHeight(c, cells.value(c), widths.at(c) - 2 * kCellPadding));
        return (height + 2 * kCellPadding) * scale;
    }

    double linesHeight(const QList<ReportTextLine> &lines) const
    {
        double height = 0;
        for (const ReportTextLine &line : lines)
            height += textHeight(line.font, line.text, content.width());
        return height;
    }

    // Measures what every page shares (the printable area, the columns' widths, the
    // heights of the bands) and starts the pagination; once per paper size.
    void measure()
    {
        if (measured)
            return;
        measured = true;
        const double cm = kUnitsPerInch / kCentimetresPerInch;
        content = QRectF(s.marginLeft * cm, s.marginTop * cm,
                         paper.width() * kUnitsPerInch - (s.marginLeft + s.marginRight) * cm,
                         paper.height() * kUnitsPerInch - (s.marginTop + s.marginBottom) * cm);
        measures = QList<ColumnMeasure>(columns);
        measureColumnWidths();
        measureBands();
        elementCount = 5 + table.rowCount;
        pageStarts = {0};
        next = 0;
        breaks = PageBreaks(content.top() + headerHeight, content.bottom(), titleHeight);
    }

    // The widths the grid gives, or those the texts need (the titles and the first
    // rows), and the scale that fits them to the page when asked.
    void measureColumnWidths()
    {
        widths.clear();
        QList<double> optimal(columns, 0.0);
        if (s.optimalColumnWidths) {
            for (qsizetype c = 0; c < columns; ++c)
                optimal[c] = advanceOf(measureFor(c, table.columns.at(c).title), table.columns.at(c).title.text);
            const int sampled = std::min(table.rowCount, kOptimalWidthRows);
            for (int row = 0; row < sampled; ++row) {
                const QList<ReportCell> cells = table.row(row);
                for (qsizetype c = 0; c < columns; ++c)
                    optimal[c] = std::max(optimal[c], advanceOf(measureFor(c, cells.value(c)), cells.value(c).text));
            }
        }
        for (qsizetype c = 0; c < columns; ++c) {
            const double width = s.optimalColumnWidths ? optimal.at(c) + 2 * kCellPadding + 1 : table.columns.at(c).width;
            widths.append(std::max(1.0, width));
        }
        double tableWidth = 0;
        for (const double width : std::as_const(widths))
            tableWidth += width;
        scale = s.fitToPageWidth && tableWidth > 0 ? content.width() / tableWidth : 1.0;
    }

    // The heights of everything but the rows: the column titles, the footer, the texts
    // before and after, the title band and the page header.
    void measureBands()
    {
        titleHeight = heightOf(titles);
        footerHeight = heightOf(table.footer);
        beforeHeight = linesHeight(before);
        afterHeight = linesHeight(after);
        titleBandFont = inUnits(s.pageHeaderFont);
        titleBandHeight = s.title.isEmpty() ? 0 : textHeight(titleBandFont, s.title, content.width()) + kGap;
        headerFont = inUnits(s.pageHeaderFont);
        headerHeight = s.pageHeader.isEmpty() ? 0 : QFontMetricsF(headerFont).height() + kGap + 3 + kGap;
    }

    bool complete() const { return measured && next >= elementCount; }
    int readyPages() const { return int(complete() ? pageStarts.size() : pageStarts.size() - 1); }

    // The height of an element; a row's cells come back through `cells`.
    double heightOfElement(int element, QList<ReportCell> *cells = nullptr)
    {
        switch (kindOf(element)) {
        case Kind::Before:
            return beforeHeight;
        case Kind::TitleBand:
            return titleBandHeight;
        case Kind::Titles:
            return titleHeight;
        case Kind::Row: {
            QList<ReportCell> row = table.row(element - 3);
            const double height = heightOf(row);
            if (cells)
                *cells = std::move(row);
            return height;
        }
        case Kind::Footer:
            return footerHeight;
        case Kind::After:
            return afterHeight;
        }
        return 0;
    }

    static bool repeatsTitles(Kind kind) { return kind == Kind::Row || kind == Kind::Footer; }

    // Places the next element: on this page while it fits, else at the top of a new
    // one (under the column titles again when the table goes on).
    void placeNext()
    {
        const int element = next++;
        const Kind kind = kindOf(element);
        if (kind == Kind::TitleBand && titleBandHeight <= 0)
            return;
        if (breaks.place(heightOfElement(element), repeatsTitles(kind)))
            pageStarts.append(element);
    }

    // ---- painting; a painter's units are layout units

    ReportCell plain(ReportCell cell) const
    {
        if (!s.colour) {
            cell.background = Qt::white;
            cell.foreground = Qt::black;
        }
        return cell;
    }

    static QPen gridPen() { return QPen(Qt::black, 0.5); }

    void paintRow(QPainter &painter, const QList<ReportCell> &cells, double top, double height)
    {
        double x = content.left();
        for (qsizetype c = 0; c < columns; ++c) {
            const double width = widths.at(c) * scale;
            const QRectF cellRect(x, top, width, height);
            const ReportCell cell = plain(cells.value(c));
            painter.fillRect(cellRect, cell.background);
            painter.setPen(gridPen());
            painter.drawRect(cellRect);
            // Cell text is laid out in table units and scaled with the table.
            painter.save();
            painter.translate(cellRect.topLeft());
            painter.scale(scale, scale);
            painter.setFont(cellFont(cell));
            painter.setPen(cell.foreground);
            const QRectF inner(kCellPadding, kCellPadding, widths.at(c) - 2 * kCellPadding,
                               height / scale - 2 * kCellPadding);
            drawWrapped(painter, inner, cell.alignment, cell.text);
            painter.restore();
            x += width;
        }
    }

    void paintLines(QPainter &painter, const QList<ReportTextLine> &lines, double top) const
    {
        for (const ReportTextLine &line : lines) {
            const QFont font = inUnits(line.font);
            const double height = textHeight(font, line.text, content.width());
            painter.setFont(font);
            painter.setPen(Qt::black);
            drawWrapped(painter, QRectF(content.left(), top, content.width(), height), line.alignment, line.text);
            top += height;
        }
    }

    // The header text centred at the top with a double line under it.
    void paintPageHeader(QPainter &painter, int page, int pages) const
    {
        if (s.pageHeader.isEmpty())
            return;
        painter.setFont(headerFont);
        painter.setPen(Qt::black);
        const double textBottom = content.top() + QFontMetricsF(headerFont).height();
        painter.drawText(QRectF(content.left(), content.top(), content.width(), textBottom - content.top()),
                         Qt::AlignHCenter | Qt::AlignTop, expandPageMacros(s.pageHeader, page + 1, pages));
        painter.setPen(QPen(Qt::black, 0.5));
        const double lineY = textBottom + kGap;
        painter.drawLine(QPointF(content.left(), lineY), QPointF(content.right(), lineY));
        painter.drawLine(QPointF(content.left(), lineY + 2), QPointF(content.right(), lineY + 2));
    }

    // The footer text centred in the bottom margin.
    void paintPageFooter(QPainter &painter, int page, int pages) const
    {
        if (s.pageFooter.isEmpty())
            return;
        const double cm = kUnitsPerInch / kCentimetresPerInch;
        painter.setFont(inUnits(s.pageFooterFont));
        painter.setPen(Qt::black);
        painter.drawText(QRectF(content.left(), content.bottom(), content.width(), s.marginBottom * cm / 2),
                         Qt::AlignHCenter | Qt::AlignTop, expandPageMacros(s.pageFooter, page + 1, pages));
    }

    // The page's elements, under the repeated column titles when the table goes on from
    // the page before. Returns where the table ends on this page, -1 when it does not
    // go on past it (or has not begun).
    double paintBody(QPainter &painter, int page)
    {
        const int first = pageStarts.at(page);
        const int end = page + 1 < pageStarts.size() ? pageStarts.at(page + 1) : elementCount;
        double y = content.top() + headerHeight;
        double tableBottom = -1;
        if (page > 0 && repeatsTitles(kindOf(first))) {
            paintRow(painter, titles, y, titleHeight);
            y += titleHeight;
            tableBottom = y;
        }
        for (int element = first; element < end; ++element) {
            const Kind kind = kindOf(element);
            if (kind == Kind::TitleBand && titleBandHeight <= 0)
                continue;
            QList<ReportCell> cells;
            const double height = heightOfElement(element, &cells);
            switch (kind) {
            case Kind::Before:
                paintLines(painter, before, y);
                break;
            case Kind::After:
                paintLines(painter, after, y + kGap);
                break;
            case Kind::TitleBand:
                painter.setFont(titleBandFont);
                painter.setPen(Qt::black);
                painter.drawText(QRectF(content.left(), y, content.width(), titleBandHeight),
                                 Qt::AlignLeft | Qt::AlignVCenter, s.title);
                break;
            case Kind::Titles:
                paintRow(painter, titles, y, titleHeight);
                tableBottom = y + height;
                break;
            case Kind::Row:
                paintRow(painter, cells, y, height);
                tableBottom = y + height;
                break;
            case Kind::Footer:
                paintRow(painter, table.footer, y, height);
                tableBottom = -1; // the table ends on this page
                break;
            }
            y += height;
        }
        return tableBottom;
    }

    // Extended lines carry the column borders down to the bottom margin on pages where
    // the table goes on.
    void paintExtendedGridLines(QPainter &painter, double tableBottom) const
    {
        if (!s.extendedGridLines || tableBottom < 0)
            return;
        painter.setPen(gridPen());
        double x = content.left();
        for (qsizetype c = 0; c <= columns; ++c) {
            painter.drawLine(QPointF(x, tableBottom), QPointF(x, content.bottom()));
            if (c < columns)
                x += widths.at(c) * scale;
        }
    }
};

bool PageBreaks::place(double height, bool underTitles)
{
    bool startsPage = false;
    if (m_y + height > m_bottom && m_y > m_top + 0.5) {
        startsPage = true;
        m_y = m_top;
        if (underTitles)
            m_y += m_titleHeight;
    }
    m_y += height;
    return startsPage;
}

GridReport::GridReport(const ReportSettings &settings, const ReportTable &table, const Substitutions &substitutions)
    : m_layout(std::make_unique<Layout>())
{
    Layout &l = *m_layout;
    l.s = settings;
    l.table = table;
    l.substitutions = substitutions;
    l.columns = table.columns.size();
    for (const ReportColumn &column : std::as_const(table.columns))
        l.titles.append(column.title);
    auto substituted = [&substitutions](QList<ReportTextLine> lines) {
        for (ReportTextLine &line : lines) {
            for (const auto &[macro, value] : substitutions)
                line.text.replace(macro, value);
        }
        return lines;
    };
    l.before = substituted(settings.textBefore);
    l.after = substituted(settings.textAfter);
}

GridReport::~GridReport() = default;

void GridReport::setPaperSize(const QSizeF &inches)
{
    if (m_layout->measured && inches == m_layout->paper)
        return;
    m_layout->paper = inches;
    m_layout->measured = false;
}

QSizeF GridReport::pageSize() const
{
    return m_layout->paper * kUnitsPerInch;
}

bool GridReport::layOutMore(int rows)
{
    Layout &l = *m_layout;
    l.measure();
    for (int i = 0; i < rows && !l.complete(); ++i)
        l.placeNext();
    return l.complete();
}

bool GridReport::layOutThrough(int page)
{
    Layout &l = *m_layout;
    l.measure();
    while (!l.complete() && l.readyPages() <= page)
        l.placeNext();
    return page >= 0 && page < l.readyPages();
}

bool GridReport::isComplete() const
{
    return m_layout->complete();
}

int GridReport::pageCount() const
{
    return m_layout->measured ? m_layout->readyPages() : 0;
}

void GridReport::paintPage(QPainter &painter, int page)
{
    Layout &l = *m_layout;
    if (!layOutThrough(page))
        return;
    // Before the layout is done the total is not known yet; the page's own number is.
    const int pages = l.complete() ? l.readyPages() : 0;
    l.paintPageHeader(painter, page, pages);
    l.paintPageFooter(painter, page, pages);
    const double tableBottom = l.paintBody(painter, page);
    l.paintExtendedGridLines(painter, tableBottom);
}

int GridReport::print(QPrinter *printer, const std::function<bool(int printed)> &printed)
{
    Layout &l = *m_layout;
    printer->setDocName(l.s.jobTitle);
    printer->setFullPage(true);
    setPaperSize(printer->paperRect(QPrinter::Inch).size());

    QPainter painter;
    if (!painter.begin(printer))
        return 0;
    // Pages go to the printer as they are laid out, unless a page tells the total.
    const auto tellsTotal = [](const QString &text) { return text.contains(QStringLiteral("&[Pages]")); };
    if (tellsTotal(l.s.pageHeader) || tellsTotal(l.s.pageFooter))
        layOutMore(std::numeric_limits<int>::max());
    const double deviceScale = printer->resolution() / kUnitsPerInch;
    int page = 0;
    for (; layOutThrough(page); ++page) {
        if (page > 0)
            printer->newPage();
        painter.resetTransform();
        painter.scale(deviceScale, deviceScale);
        paintPage(painter, page);
        if (printed && !printed(page + 1)) {
            printer->abort();
            return page + 1;
        }
    }
    painter.end();
    return page;
}
