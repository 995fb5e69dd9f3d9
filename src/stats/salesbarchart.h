#pragma once

#include <QChartView>
#include <QList>
#include <QStringList>
#include <QPointF>

class QAreaSeries;
class QGraphicsLineItem;
class QGraphicsSimpleTextItem;
class QCategoryAxis;
class QScatterSeries;
class QValueAxis;

// One of the statistics window's bar charts: a title over a gradient, red bars on a
// fixed horizontal range with unit labels ("1月" … "12月"), each bar carrying a mark
// with its value to the cent, and a vertical axis named "利润" that adapts to the
// bars. Marks that would run into each other are raised a line or, with no room
// left, left out; resting the pointer on a bar shows its whole value.
//
// Bars stand at their own x value, so a month or day without sales simply has none.
// The labels of the range's two ends (0 and 13, or 0 and 32) are left out.
class SalesBarChart : public QChartView
{
    Q_OBJECT

public:
    SalesBarChart(const QString &title, int lastLabel, const QString &unit, const QString &seriesName,
                  QWidget *parent = nullptr);

    // Replaces the bars: one per point, at x, as high as y.
    void setBars(const QList<QPointF> &bars);
    void clear() { setBars({}); }

    // The bars as drawn: the points of the value series, in the order given.
    QList<QPointF> bars() const;
    QScatterSeries *valueSeries() const { return m_values; }
    QValueAxis *verticalAxis() const { return m_axisY; }
    QCategoryAxis *horizontalAxis() const { return m_axisX; }
    QList<QAreaSeries *> barShapes() const { return m_barShapes; }
    // The value marks, one per bar: the text and where it stands on the chart; a mark
    // without room is not visible.
    QList<QGraphicsSimpleTextItem *> marks() const { return m_marks; }
    // What resting the pointer on each bar shows ("12日 利润：7391.7574"), and what it
    // shows now (empty when the pointer is on no bar).
    QStringList hoverTexts() const { return m_hoverTexts; }
    QString shownHoverText() const { return m_shownHover; }
    // A mark's text: the value rounded to the cent, without trailing zeros.
    static QString markText(double value);
    // The labels under the horizontal axis, from 1 to the last value.
    QList<QGraphicsSimpleTextItem *> axisLabels() const { return m_axisLabels; }

private:
    void placeMarks();

    QCategoryAxis *m_axisX = nullptr;
    QValueAxis *m_axisY = nullptr;
    QScatterSeries *m_values = nullptr;
    QList<QAreaSeries *> m_barShapes;
    QList<QGraphicsSimpleTextItem *> m_marks;
    QList<QGraphicsLineItem *> m_arrows;
    QList<QGraphicsSimpleTextItem *> m_axisLabels;
    int m_rangeEnd = 0;
    QString m_unit;
    QStringList m_hoverTexts;
    QString m_shownHover;
};
