#pragma once

#include <QAbstractScrollArea>
#include <QCache>
#include <QImage>

class GridReport;

// Shows the pages of a report one under the other (or, for the whole-page view,
// several side by side), drawing only the pages in view: each is painted when it
// first comes into view and kept in a small cache, so a report of forty thousand
// pages costs no more to show than one of four. Pages beyond those laid out are
// laid out when they are asked for.
class ReportPageView : public QAbstractScrollArea
{
    Q_OBJECT

public:
    enum class Mode { Zoom, FitWidth, AllPages };

    explicit ReportPageView(QWidget *parent = nullptr);
    ~ReportPageView() override;

    // The report shown (not owned); nullptr shows nothing.
    void setReport(GridReport *report);
    // The report laid out further: more pages to scroll through.
    void pagesChanged();
    // Drops painted pages (after the report's texts changed, say).
    void repaintPages();

    Mode mode() const { return m_mode; }
    void setMode(Mode mode);
    // The scale in Zoom mode: 1.0 shows the page at its size on paper.
    double zoomFactor() const { return m_zoom; }
    void setZoomFactor(double factor);
    // The scale in use, whatever the mode.
    double effectiveZoom() const;
    int columnCount() const;

    // 1-based; 0 while there are no pages.
    int currentPage() const;
    // Brings the page to the top of the view, laying it out first when needed.
    void setCurrentPage(int page);

    // Pages painted since the view was made: a measure of how lazy it is.
    int paintedPages() const { return m_paintedPages; }

signals:
    void currentPageChanged(int page);

protected:
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void scrollContentsBy(int dx, int dy) override;

private:
    QSizeF scaledPage() const;
    QRect pageRect(int index) const;
    QImage pageImage(int index);
    void updateScrollBars();
    void noteCurrentPage();

    GridReport *m_report = nullptr;
    Mode m_mode = Mode::FitWidth;
    double m_zoom = 1.0;
    int m_lastCurrent = 0;
    // The page last asked for (0: none since the last scroll by hand).
    int m_chosen = 0;
    bool m_scrolling = false;
    int m_paintedPages = 0;
    QCache<int, QImage> m_cache;
};
