#include "salesbarchart.h"

#include "numberformat.h"

#include <QAreaSeries>
#include <QCursor>
#include <QLocale>
#include <QToolTip>
#include <QGraphicsLineItem>
#include <QGraphicsSimpleTextItem>
#include <QCategoryAxis>
#include <QChart>
#include <QLineSeries>
#include <QLinearGradient>
#include <QScatterSeries>
#include <QValueAxis>
#include <algorithm>
#include <cmath>

namespace {

// Half the width of a bar, in axis units (one unit between neighbouring bars).
constexpr double kHalfBarWidth = 0.22;
const QColor kBarColour(Qt::red);
const QColor kTextColour(0x10, 0x20, 0x30);
// The mark stands this far from the end of its bar, joined to it by a line.
constexpr int kArrowLength = 20;

// 1, 2 or 5 times a power of ten, at least `rough`.
double niceStep(double rough)
{
    const double power = std::pow(10.0, std::floor(std::log10(rough)));
    for (const double factor : {1.0, 2.0, 5.0}) {
        if (factor * power >= rough)
            return factor * power;
    }
    return 10 * power;
}

} // namespace

SalesBarChart::SalesBarChart(const QString &title, int lastLabel, const QString &unit, const QString &seriesName,
                             QWidget *parent)
    : QChartView(parent), m_rangeEnd(lastLabel + 1), m_unit(unit)
{
    auto *chart = new QChart;
    chart->setTitle(title);
    QFont titleFont(QStringLiteral("Arial"));
    titleFont.setBold(true);
    titleFont.setPixelSize(14);
    chart->setTitleFont(titleFont);
    // Every text of the chart is dark and the background light enough for it: a white
    // title on the gradient's white top, or dark labels on a deep blue bottom, could
    // not be read.
    chart->setTitleBrush(kTextColour);
    chart->legend()->hide();
    // Room at the bottom for the labels the chart sets itself.
    chart->setMargins(QMargins(4, 8, 8, 22));

    QLinearGradient gradient(0, 0, 0, 1);
    gradient.setCoordinateMode(QGradient::ObjectBoundingMode);
    gradient.setColorAt(0, Qt::white);
    gradient.setColorAt(1, QColor(128, 192, 232));
    chart->setBackgroundBrush(gradient);
    chart->setPlotAreaBackgroundVisible(false);

    m_axisX = new QCategoryAxis;
    m_axisX->setRange(0, m_rangeEnd);
    m_axisX->setLabelsPosition(QCategoryAxis::AxisLabelsPositionOnValue);
    for (int value = 1; value <= lastLabel; ++value)
        m_axisX->append(QString::number(value) + unit, value);
    // The axis would elide thirty-one labels to dots on this width; the chart sets
    // them itself, centred under their values, in a face small enough to fit.
    m_axisX->setLabelsVisible(false);
    // A plain face with stems on whole pixels stays legible at the small size.
    QFont labelFont(QStringLiteral("sans-serif"));
    labelFont.setPixelSize(lastLabel > 12 ? 9 : 12);
    labelFont.setHintingPreference(QFont::PreferFullHinting);
    for (const QString &text : m_axisX->categoriesLabels()) {
        auto *item = new QGraphicsSimpleTextItem(text, chart);
        item->setFont(labelFont);
        item->setBrush(kTextColour);
        m_axisLabels.append(item);
    }
    m_axisX->setStartValue(0);
    chart->addAxis(m_axisX, Qt::AlignBottom);

    m_axisY = new QValueAxis;
    m_axisY->setLabelFormat(QStringLiteral("%.10g"));
    m_axisY->setLabelsBrush(kTextColour);
    // The bars are the profit of each month or day, not its sales.
    m_axisY->setTitleText(QStringLiteral("利润"));
    m_axisY->setTitleBrush(kTextColour);
    chart->addAxis(m_axisY, Qt::AlignLeft);

    m_values = new QScatterSeries;
    m_values->setObjectName(seriesName);
    m_values->setName(seriesName);
    // The series holds the values; the bars and the marks draw them.
    m_values->setMarkerSize(1);
    m_values->setColor(Qt::transparent);
    m_values->setBorderColor(Qt::transparent);
    chart->addSeries(m_values);
    m_values->attachAxis(m_axisX);
    m_values->attachAxis(m_axisY);

    setChart(chart);
    connect(chart, &QChart::plotAreaChanged, this, [this] { placeMarks(); });
    setRenderHint(QPainter::Antialiasing);
    setBars({});
}

void SalesBarChart::setBars(const QList<QPointF> &bars)
{
    QChart *owner = chart();
    for (QAreaSeries *shape : std::as_const(m_barShapes)) {
        owner->removeSeries(shape);
        delete shape;
    }
    m_barShapes.clear();
    qDeleteAll(m_marks);
    m_marks.clear();
    qDeleteAll(m_arrows);
    m_arrows.clear();
    m_hoverTexts.clear();

    double low = 0;
    double high = 0;
    for (const QPointF &bar : bars) {
        auto *top = new QLineSeries;
        top->append(bar.x() - kHalfBarWidth, bar.y());
        top->append(bar.x() + kHalfBarWidth, bar.y());
        auto *base = new QLineSeries;
        base->append(bar.x() - kHalfBarWidth, 0);
        base->append(bar.x() + kHalfBarWidth, 0);
        auto *shape = new QAreaSeries(top, base);
        top->setParent(shape);
        base->setParent(shape);
        shape->setColor(kBarColour);
        shape->setBorderColor(kBarColour.darker(130));
        owner->addSeries(shape);
        shape->attachAxis(m_axisX);
        shape->attachAxis(m_axisY);
        m_barShapes.append(shape);
        // The whole value, whether or not its mark has room: shown while the pointer
        // rests on the bar.
        const QString hoverText = QStringLiteral("%1%2 利润：%3").arg(QLocale::c().toString(bar.x()), m_unit,
                                                                    NumberFormat::general(bar.y()));
        m_hoverTexts.append(hoverText);
        connect(shape, &QAreaSeries::hovered, this, [this, hoverText](const QPointF &, bool entered) {
            m_shownHover = entered ? hoverText : QString();
            if (entered)
                QToolTip::showText(QCursor::pos(), hoverText, this);
            else
                QToolTip::hideText();
        });

        auto *mark = new QGraphicsSimpleTextItem(markText(bar.y()), owner);
        mark->setZValue(20);
        mark->setBrush(kTextColour);
        m_marks.append(mark);
        auto *arrow = new QGraphicsLineItem(owner);
        arrow->setZValue(19);
        m_arrows.append(arrow);
        low = std::min(low, bar.y());
        high = std::max(high, bar.y());
    }
    m_values->replace(bars);

    // The horizontal range is fixed; the vertical one follows the bars, with room
    // above (and below) for the value marks.
    m_axisX->setRange(0, m_rangeEnd);
    if (high == low)
        high = 1;
    const double margin = (high - low) * 0.2;
    low = low < 0 ? low - margin : 0;
    high = high > 0 ? high + margin : 0;
    const double step = niceStep((high - low) / 5);
    m_axisY->setTickType(QValueAxis::TicksDynamic);
    m_axisY->setTickAnchor(0);
    m_axisY->setTickInterval(step);
    m_axisY->setRange(std::floor(low / step) * step, std::ceil(high / step) * step);
    placeMarks();
}

void SalesBarChart::placeMarks()
{
    const QRectF plot = chart()->plotArea();
    for (int i = 0; i < m_axisLabels.size(); ++i) {
        const double x = chart()->mapToPosition(QPointF(i + 1, 0), m_values).x();
        const QRectF box = m_axisLabels.at(i)->boundingRect();
        m_axisLabels.at(i)->setPos(x - box.width() / 2, plot.bottom() + 4);
    }
    // Marks go left to right, each at the first of two heights where it meets no mark
    // placed before it; a mark that has no room is left out (its bar tells its value
    // when the pointer rests on it), so no two marks ever run into each other.
    const QList<QPointF> bars = m_values->points();
    QList<int> order;
    for (int i = 0; i < m_marks.size() && i < bars.size(); ++i)
        order.append(i);
    std::sort(order.begin(), order.end(), [&bars](int a, int b) { return bars.at(a).x() < bars.at(b).x(); });
    // A mark on another bar would be as hard to read as one on another mark.
    QList<QRectF> placed;
    for (const QPointF &bar : bars) {
        placed.append(QRectF(chart()->mapToPosition(QPointF(bar.x() - kHalfBarWidth, bar.y()), m_values),
                             chart()->mapToPosition(QPointF(bar.x() + kHalfBarWidth, 0), m_values))
                          .normalized());
    }
    const QRectF room = chart()->rect();
    for (const int i : std::as_const(order)) {
        QGraphicsSimpleTextItem *mark = m_marks.at(i);
        QGraphicsLineItem *arrow = m_arrows.at(i);
        // Above a bar that rises, below one that falls.
        const QPointF end = chart()->mapToPosition(bars.at(i), m_values);
        const double direction = bars.at(i).y() < 0 ? 1 : -1;
        const QRectF box = mark->boundingRect();
        bool shown = false;
        for (int level = 0; level < 2 && !shown; ++level) {
            const QPointF tip(end.x(), end.y() + direction * (kArrowLength + level * box.height()));
            const QPointF topLeft(tip.x() - box.width() / 2, direction < 0 ? tip.y() - box.height() : tip.y());
            const QRectF rect(topLeft, box.size());
            // A little air between neighbours.
            const QRectF spaced = rect.adjusted(-2, 0, 2, 0);
            if (!room.contains(rect)
                || std::any_of(placed.cbegin(), placed.cend(), [&spaced](const QRectF &other) { return other.intersects(spaced); }))
                continue;
            arrow->setLine(QLineF(end, tip));
            mark->setPos(topLeft);
            placed.append(rect);
            shown = true;
        }
        mark->setVisible(shown);
        arrow->setVisible(shown);
    }
}

QString SalesBarChart::markText(double value)
{
    // Cents are the finest a shop counts; more digits only crowd the chart.
    QString text = QLocale::c().toString(value, 'f', 2);
    while (text.contains(QLatin1Char('.')) && (text.endsWith(QLatin1Char('0')) || text.endsWith(QLatin1Char('.'))))
        text.chop(1);
    return text == QLatin1String("-0") ? QStringLiteral("0") : text;
}

QList<QPointF> SalesBarChart::bars() const
{
    return m_values->points();
}
