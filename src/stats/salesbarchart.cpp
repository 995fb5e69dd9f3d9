#include "salesbarchart.h"

#include "numberformat.h"

#include <QAreaSeries>
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
    : QChartView(parent), m_rangeEnd(lastLabel + 1)
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

        auto *mark = new QGraphicsSimpleTextItem(NumberFormat::general(bar.y()), owner);
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
    const QList<QPointF> bars = m_values->points();
    for (int i = 0; i < m_marks.size() && i < bars.size(); ++i) {
        // Above a bar that rises, below one that falls.
        const QPointF end = chart()->mapToPosition(bars.at(i), m_values);
        const double direction = bars.at(i).y() < 0 ? 1 : -1;
        const QPointF tip(end.x(), end.y() + direction * kArrowLength);
        m_arrows.at(i)->setLine(QLineF(end, tip));
        const QRectF box = m_marks.at(i)->boundingRect();
        m_marks.at(i)->setPos(tip.x() - box.width() / 2, direction < 0 ? tip.y() - box.height() : tip.y());
    }
}

QList<QPointF> SalesBarChart::bars() const
{
    return m_values->points();
}
