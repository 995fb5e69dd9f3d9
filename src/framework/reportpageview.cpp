#include "reportpageview.h"

#include "gridreport.h"

#include <QPaintEvent>
#include <QPainter>
#include <QScrollBar>
#include <algorithm>
#include <cmath>

namespace {

constexpr int kGap = 12;
// Painted pages kept, in kilobytes: a handful of pages at a large zoom.
constexpr int kCacheKilobytes = 48 * 1024;

} // namespace

ReportPageView::ReportPageView(QWidget *parent) : QAbstractScrollArea(parent)
{
    setObjectName(QStringLiteral("ReportPageView"));
    viewport()->setBackgroundRole(QPalette::Dark);
    viewport()->setAutoFillBackground(true);
    m_cache.setMaxCost(kCacheKilobytes);
    verticalScrollBar()->setSingleStep(20);
    horizontalScrollBar()->setSingleStep(20);
}

ReportPageView::~ReportPageView() = default;

void ReportPageView::setReport(GridReport *report)
{
    m_report = report;
    m_cache.clear();
    m_lastCurrent = 0;
    m_chosen = 0;
    if (m_report)
        m_report->layOutThrough(0);
    updateScrollBars();
    verticalScrollBar()->setValue(0);
    viewport()->update();
    noteCurrentPage();
}

void ReportPageView::pagesChanged()
{
    updateScrollBars();
    viewport()->update();
    noteCurrentPage();
}

void ReportPageView::repaintPages()
{
    m_cache.clear();
    viewport()->update();
}

void ReportPageView::setMode(Mode mode)
{
    const int page = currentPage();
    m_mode = mode;
    m_cache.clear();
    updateScrollBars();
    if (page > 0)
        setCurrentPage(page);
    viewport()->update();
}

void ReportPageView::setZoomFactor(double factor)
{
    m_zoom = std::clamp(factor, 0.05, 10.0);
    setMode(Mode::Zoom);
}

double ReportPageView::effectiveZoom() const
{
    if (!m_report)
        return m_zoom;
    const QSizeF page = m_report->pageSize();
    const QSize view = viewport()->size();
    switch (m_mode) {
    case Mode::Zoom:
        break;
    case Mode::FitWidth:
        return std::max(0.05, (view.width() - 2.0 * kGap) / page.width());
    case Mode::AllPages:
        // Two rows of whole pages in view, as many side by side as the width takes.
        return std::max(0.05, (view.height() - 3.0 * kGap) / (2 * page.height()));
    }
    return m_zoom;
}

int ReportPageView::columnCount() const
{
    if (m_mode != Mode::AllPages || !m_report)
        return 1;
    const double width = scaledPage().width() + kGap;
    return std::max(1, int((viewport()->width() - kGap) / width));
}

QSizeF ReportPageView::scaledPage() const
{
    return m_report ? m_report->pageSize() * effectiveZoom() : QSizeF();
}

QRect ReportPageView::pageRect(int index) const
{
    const QSizeF size = scaledPage();
    const int columns = columnCount();
    const int row = index / columns;
    const int column = index % columns;
    const int contentWidth = int(columns * (size.width() + kGap) + kGap);
    const int left = std::max(0, (viewport()->width() - contentWidth) / 2);
    return QRect(QPoint(left + kGap + int(column * (size.width() + kGap)), kGap + int(row * (size.height() + kGap)))
                     - QPoint(horizontalScrollBar()->value(), verticalScrollBar()->value()),
                 size.toSize());
}

void ReportPageView::updateScrollBars()
{
    if (!m_report) {
        verticalScrollBar()->setRange(0, 0);
        horizontalScrollBar()->setRange(0, 0);
        return;
    }
    const QSizeF size = scaledPage();
    const int columns = columnCount();
    const int rows = (m_report->pageCount() + columns - 1) / columns;
    const int height = int(rows * (size.height() + kGap) + kGap);
    const int width = int(columns * (size.width() + kGap) + kGap);
    verticalScrollBar()->setPageStep(viewport()->height());
    verticalScrollBar()->setRange(0, std::max(0, height - viewport()->height()));
    horizontalScrollBar()->setPageStep(viewport()->width());
    horizontalScrollBar()->setRange(0, std::max(0, width - viewport()->width()));
}

int ReportPageView::currentPage() const
{
    if (!m_report || m_report->pageCount() == 0)
        return 0;
    // The page asked for stays current while it is in view, even where the end of the
    // report keeps it from the top.
    if (m_chosen > 0 && m_chosen <= m_report->pageCount()) {
        const QRect chosen = pageRect(m_chosen - 1);
        if (chosen.bottom() > 0 && chosen.top() < viewport()->height())
            return m_chosen;
    }
    const QSizeF size = scaledPage();
    // The page whose row holds the upper third of the view.
    const double y = verticalScrollBar()->value() + viewport()->height() / 3.0 - kGap;
    const int row = std::max(0, int(y / (size.height() + kGap)));
    return std::clamp(row * columnCount() + 1, 1, m_report->pageCount());
}

void ReportPageView::setCurrentPage(int page)
{
    if (!m_report || page < 1)
        return;
    m_report->layOutThrough(page - 1);
    page = std::min(page, m_report->pageCount());
    updateScrollBars();
    const QSizeF size = scaledPage();
    const int row = (page - 1) / columnCount();
    m_chosen = page;
    m_scrolling = true;
    verticalScrollBar()->setValue(int(row * (size.height() + kGap)));
    m_scrolling = false;
    viewport()->update();
    noteCurrentPage();
}

void ReportPageView::noteCurrentPage()
{
    const int page = currentPage();
    if (page != m_lastCurrent) {
        m_lastCurrent = page;
        emit currentPageChanged(page);
    }
}

QImage ReportPageView::pageImage(int index)
{
    const QSize size = scaledPage().toSize();
    const int key = index;
    if (QImage *cached = m_cache.object(key); cached && cached->size() == size * devicePixelRatioF())
        return *cached;
    const double ratio = devicePixelRatioF();
    QImage image(size * ratio, QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(ratio);
    image.fill(Qt::white);
    {
        QPainter painter(&image);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setRenderHint(QPainter::TextAntialiasing);
        painter.scale(effectiveZoom(), effectiveZoom());
        m_report->paintPage(painter, index);
    }
    ++m_paintedPages;
    m_cache.insert(key, new QImage(image), std::max<qsizetype>(1, image.sizeInBytes() / 1024));
    return image;
}

void ReportPageView::paintEvent(QPaintEvent *event)
{
    QPainter painter(viewport());
    if (!m_report)
        return;
    const int count = m_report->pageCount();
    const int columns = columnCount();
    const QSizeF size = scaledPage();
    const double rowHeight = size.height() + kGap;
    const int firstRow = std::max(0, int((verticalScrollBar()->value() - kGap) / rowHeight));
    const int lastRow = int((verticalScrollBar()->value() + viewport()->height()) / rowHeight);
    for (int row = firstRow; row <= lastRow; ++row) {
        for (int column = 0; column < columns; ++column) {
            const int index = row * columns + column;
            if (index >= count)
                return;
            const QRect rect = pageRect(index);
            if (!rect.intersects(event->rect()))
                continue;
            painter.fillRect(rect.translated(3, 3), QColor(0, 0, 0, 80));
            painter.drawImage(rect.topLeft(), pageImage(index));
            painter.setPen(Qt::black);
            painter.drawRect(rect.adjusted(0, 0, -1, -1));
        }
    }
}

void ReportPageView::resizeEvent(QResizeEvent *event)
{
    QAbstractScrollArea::resizeEvent(event);
    const int page = currentPage();
    updateScrollBars();
    if (m_mode != Mode::Zoom) {
        m_cache.clear();
        if (page > 0)
            setCurrentPage(page);
    }
}

void ReportPageView::scrollContentsBy(int, int)
{
    // Scrolled by hand: the page in view is the current one.
    if (!m_scrolling)
        m_chosen = 0;
    viewport()->update();
    noteCurrentPage();
}
