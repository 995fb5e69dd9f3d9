#include "gridreport.h"

#include "clock.h"
#include "datetext.h"

#include <QFontMetricsF>
#include <QLocale>
#include <QPainter>
#include <QPrinter>
#include <QTextLayout>
#include <algorithm>
#include <cmath>

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

struct Layout
{
    QList<double> widths; // in table units
    double scale = 1;     // table units to layout units
    QList<QList<ReportCell>> rows;
    QList<double> rowHeights;
    double titleHeight = 0;
    double footerHeight = 0;
};

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

GridReport::GridReport(const ReportSettings &settings, const ReportTable &table, const Substitutions &substitutions)
    : m_settings(settings), m_table(table), m_substitutions(substitutions)
{
}

int GridReport::print(QPrinter *printer)
{
    printer->setDocName(m_settings.jobTitle);
    printer->setFullPage(true);

    const ReportSettings &s = m_settings;
    const double cm = kUnitsPerInch / kCentimetresPerInch;
    const QRectF paper = printer->paperRect(QPrinter::Inch);
    const QRectF content(s.marginLeft * cm, s.marginTop * cm,
                         paper.width() * kUnitsPerInch - (s.marginLeft + s.marginRight) * cm,
                         paper.height() * kUnitsPerInch - (s.marginTop + s.marginBottom) * cm);

    auto cellFont = [&s](const ReportCell &cell) {
        QFont font = inUnits(cell.font);
        if (!s.printFontFamily.isEmpty())
            font.setFamily(s.printFontFamily);
        return font;
    };
    auto plain = [&s](ReportCell cell) {
        if (!s.colour) {
            cell.background = Qt::white;
            cell.foreground = Qt::black;
        }
        return cell;
    };

    // Rows first: their texts decide the optimal widths and the row heights.
    Layout layout;
    layout.rows.reserve(m_table.rowCount);
    for (int row = 0; row < m_table.rowCount; ++row)
        layout.rows.append(m_table.row(row));
    const qsizetype columns = m_table.columns.size();
    for (qsizetype c = 0; c < columns; ++c) {
        double width = m_table.columns.at(c).width;
        if (s.optimalColumnWidths) {
            const ReportCell &title = m_table.columns.at(c).title;
            width = QFontMetricsF(cellFont(title)).horizontalAdvance(title.text);
            for (const QList<ReportCell> &cells : std::as_const(layout.rows))
                width = std::max(width, QFontMetricsF(cellFont(cells.value(c))).horizontalAdvance(cells.value(c).text));
            width += 2 * kCellPadding + 1;
        }
        layout.widths.append(std::max(1.0, width));
    }
    double tableWidth = 0;
    for (const double width : std::as_const(layout.widths))
        tableWidth += width;
    layout.scale = s.fitToPageWidth && tableWidth > 0 ? content.width() / tableWidth : 1.0;

    auto heightOf = [&](const QList<ReportCell> &cells) {
        double height = 0;
        for (qsizetype c = 0; c < columns; ++c)
            height = std::max(height, textHeight(cellFont(cells.value(c)), cells.value(c).text,
                                                 layout.widths.at(c) - 2 * kCellPadding));
        return (height + 2 * kCellPadding) * layout.scale;
    };
    QList<ReportCell> titles;
    for (const ReportColumn &column : std::as_const(m_table.columns))
        titles.append(column.title);
    layout.titleHeight = heightOf(titles);
    for (const QList<ReportCell> &cells : std::as_const(layout.rows))
        layout.rowHeights.append(heightOf(cells));
    layout.footerHeight = heightOf(m_table.footer);

    auto substituted = [this](QList<ReportTextLine> lines) {
        for (ReportTextLine &line : lines) {
            for (const auto &[macro, value] : std::as_const(m_substitutions))
                line.text.replace(macro, value);
        }
        return lines;
    };
    const QList<ReportTextLine> before = substituted(s.textBefore);
    const QList<ReportTextLine> after = substituted(s.textAfter);
    auto linesHeight = [&](const QList<ReportTextLine> &lines) {
        double height = 0;
        for (const ReportTextLine &line : lines)
            height += textHeight(line.font, line.text, content.width());
        return height;
    };
    const QFont titleBandFont = inUnits(s.pageHeaderFont);
    const double titleBandHeight = s.title.isEmpty() ? 0 : textHeight(titleBandFont, s.title, content.width()) + kGap;
    const QFont headerFont = inUnits(s.pageHeaderFont);
    const double headerHeight = s.pageHeader.isEmpty() ? 0 : QFontMetricsF(headerFont).height() + kGap + 3 + kGap;

    // Pagination: every element is placed at a y on a page.
    enum class Kind { Before, TitleBand, Titles, Row, Footer, After };
    struct Placed
    {
        Kind kind;
        int index;
        double y;
    };
    QList<QList<Placed>> pages(1);
    double y = content.top() + headerHeight;
    auto place = [&](Kind kind, int index, double height, bool repeatTitles) {
        if (y + height > content.bottom() && y > content.top() + headerHeight + 0.5) {
            pages.append(QList<Placed>());
            y = content.top() + headerHeight;
            if (repeatTitles) {
                pages.last().append({Kind::Titles, 0, y});
                y += layout.titleHeight;
            }
        }
        pages.last().append({kind, index, y});
        y += height;
    };
    place(Kind::Before, 0, linesHeight(before), false);
    if (titleBandHeight > 0)
        place(Kind::TitleBand, 0, titleBandHeight, false);
    place(Kind::Titles, 0, layout.titleHeight, false);
    for (int row = 0; row < layout.rows.size(); ++row)
        place(Kind::Row, row, layout.rowHeights.at(row), true);
    place(Kind::Footer, 0, layout.footerHeight, true);
    place(Kind::After, 0, linesHeight(after), false);

    QPainter painter;
    if (!painter.begin(printer))
        return 0;
    const double deviceScale = printer->resolution() / kUnitsPerInch;
    const QPen gridPen(Qt::black, 0.5);

    auto drawRow = [&](const QList<ReportCell> &cells, double top, double height) {
        double x = content.left();
        for (qsizetype c = 0; c < columns; ++c) {
            const double width = layout.widths.at(c) * layout.scale;
            const QRectF cellRect(x, top, width, height);
            const ReportCell cell = plain(cells.value(c));
            painter.fillRect(cellRect, cell.background);
            painter.setPen(gridPen);
            painter.drawRect(cellRect);
            // Cell text is laid out in table units and scaled with the table.
            painter.save();
            painter.translate(cellRect.topLeft());
            painter.scale(layout.scale, layout.scale);
            painter.setFont(cellFont(cell));
            painter.setPen(cell.foreground);
            const QRectF inner(kCellPadding, kCellPadding, layout.widths.at(c) - 2 * kCellPadding,
                               height / layout.scale - 2 * kCellPadding);
            drawWrapped(painter, inner, cell.alignment, cell.text);
            painter.restore();
            x += width;
        }
    };
    auto drawLines = [&](const QList<ReportTextLine> &lines, double top) {
        for (const ReportTextLine &line : lines) {
            const QFont font = inUnits(line.font);
            const double height = textHeight(font, line.text, content.width());
            painter.setFont(font);
            painter.setPen(Qt::black);
            drawWrapped(painter, QRectF(content.left(), top, content.width(), height), line.alignment, line.text);
            top += height;
        }
    };

    for (qsizetype page = 0; page < pages.size(); ++page) {
        if (page > 0)
            printer->newPage();
        painter.resetTransform();
        painter.scale(deviceScale, deviceScale);
        if (!s.pageHeader.isEmpty()) {
            painter.setFont(headerFont);
            painter.setPen(Qt::black);
            const double textBottom = content.top() + QFontMetricsF(headerFont).height();
            painter.drawText(QRectF(content.left(), content.top(), content.width(), textBottom - content.top()),
                             Qt::AlignHCenter | Qt::AlignTop,
                             expandPageMacros(s.pageHeader, int(page) + 1, int(pages.size())));
            painter.setPen(QPen(Qt::black, 0.5));
            const double lineY = textBottom + kGap;
            painter.drawLine(QPointF(content.left(), lineY), QPointF(content.right(), lineY));
            painter.drawLine(QPointF(content.left(), lineY + 2), QPointF(content.right(), lineY + 2));
        }
        if (!s.pageFooter.isEmpty()) {
            painter.setFont(inUnits(s.pageFooterFont));
            painter.setPen(Qt::black);
            painter.drawText(QRectF(content.left(), content.bottom(), content.width(), s.marginBottom * cm / 2),
                             Qt::AlignHCenter | Qt::AlignTop,
                             expandPageMacros(s.pageFooter, int(page) + 1, int(pages.size())));
        }
        double tableBottom = -1;
        for (const Placed &placed : std::as_const(pages.at(page))) {
            if (placed.kind == Kind::Titles)
                tableBottom = placed.y + layout.titleHeight;
            else if (placed.kind == Kind::Row)
                tableBottom = placed.y + layout.rowHeights.at(placed.index);
            else if (placed.kind == Kind::Footer)
                tableBottom = -1; // the table ends on this page
            switch (placed.kind) {
            case Kind::Before:
                drawLines(before, placed.y);
                break;
            case Kind::After:
                drawLines(after, placed.y + kGap);
                break;
            case Kind::TitleBand:
                painter.setFont(titleBandFont);
                painter.setPen(Qt::black);
                painter.drawText(QRectF(content.left(), placed.y, content.width(), titleBandHeight),
                                 Qt::AlignLeft | Qt::AlignVCenter, s.title);
                break;
            case Kind::Titles:
                drawRow(titles, placed.y, layout.titleHeight);
                break;
            case Kind::Row:
                drawRow(layout.rows.at(placed.index), placed.y, layout.rowHeights.at(placed.index));
                break;
            case Kind::Footer:
                drawRow(m_table.footer, placed.y, layout.footerHeight);
                break;
            }
        }
        // Extended lines carry the column borders down to the bottom margin on pages
        // where the table goes on.
        if (s.extendedGridLines && tableBottom >= 0) {
            painter.setPen(gridPen);
            double x = content.left();
            for (qsizetype c = 0; c <= columns; ++c) {
                painter.drawLine(QPointF(x, tableBottom), QPointF(x, content.bottom()));
                if (c < columns)
                    x += layout.widths.at(c) * layout.scale;
            }
        }
    }
    painter.end();
    return int(pages.size());
}
