#pragma once

#include "gridreport.h"

#include <QDialog>
#include <functional>
#include <memory>

class QAction;
class QCheckBox;
class QDoubleSpinBox;
class QFontComboBox;
class QMenu;
class QLabel;
class QPrinter;
class QTimer;
class QToolButton;
class ReportPageView;

// The print preview: the built pages, maximised, with the buttons "打印", " 打印设置",
// "缩放" (500% … 10%, "页宽度", "全部页面"), "上一页", "下一页", "停止" and "关闭".
// Confirming the print setup rebuilds the pages with the new settings.
//
// The first page shows as soon as it is laid out; the rest are laid out a little at a
// time while the window waits for input, the page count growing, until all are done
// or "停止" stops it (pages asked for after that are laid out when asked for).
// Closing the window frees the report and gives its memory back.
class ReportPreviewDialog : public QDialog
{
    Q_OBJECT

public:
    // Makes the report of the settings; called again when the settings change.
    using ReportMaker = std::function<std::unique_ptr<GridReport>(const ReportSettings &settings)>;

    ReportPreviewDialog(const ReportSettings &settings, ReportMaker maker, QWidget *parent = nullptr);
    ~ReportPreviewDialog() override;

    const ReportSettings &settings() const { return m_settings; }
    void setSettings(const ReportSettings &settings);
    // Prints the report on another printer (a PDF file, say) with the current settings,
    // page after page.
    void printTo(QPrinter *printer);
    QPrinter *printer() const { return m_printer.get(); }
    ReportPageView *pageView() const { return m_view; }
    // The pages laid out so far, and whether that is all of them.
    int pageCount() const;
    bool isLayoutComplete() const;
    // True while pages are being laid out in the background.
    bool isLayingOut() const;
    // 1-based.
    int currentPage() const;
    void setCurrentPage(int page);

    QAction *printAction = nullptr;
    QAction *setupAction = nullptr;
    QToolButton *zoomButton = nullptr;
    QMenu *zoomMenu = nullptr;
    QAction *previousAction = nullptr;
    QAction *nextAction = nullptr;
    QAction *stopAction = nullptr;
    QAction *closeAction = nullptr;
    QLabel *pageLabel = nullptr;

signals:
    // The count of laid out pages grew, or the layout finished or stopped.
    void pagesChanged();

private:
    void print();
    void openSetup();
    void rebuild();
    void layOutSome();
    void stopLayout();
    void updatePageButtons();

    ReportSettings m_settings;
    ReportMaker m_maker;
    std::unique_ptr<QPrinter> m_printer;
    std::unique_ptr<GridReport> m_report;
    ReportPageView *m_view = nullptr;
    QTimer *m_layoutTimer = nullptr;
    bool m_stopped = false;
};

// "打印设置": print font, the four margins, colour printing, fit to page width, extended
// grid lines, optimal column widths, and the printer's own setup.
class ReportSetupDialog : public QDialog
{
    Q_OBJECT

public:
    ReportSetupDialog(const ReportSettings &settings, QPrinter *printer, QWidget *parent = nullptr);

    ReportSettings settings() const;

    QFontComboBox *fontBox = nullptr;
    QDoubleSpinBox *marginLeft = nullptr;
    QDoubleSpinBox *marginTop = nullptr;
    QDoubleSpinBox *marginRight = nullptr;
    QDoubleSpinBox *marginBottom = nullptr;
    QCheckBox *colourBox = nullptr;
    QCheckBox *fitBox = nullptr;
    QCheckBox *extendedLinesBox = nullptr;
    QCheckBox *optimalWidthsBox = nullptr;

private:
    ReportSettings m_settings;
};
