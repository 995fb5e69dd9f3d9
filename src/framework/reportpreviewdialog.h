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
class QPrinter;
class QPrintPreviewWidget;
class QToolButton;

// The print preview: the built pages, maximised, with the buttons "打印", " 打印设置",
// "缩放" (500% … 10%, "页宽度", "全部页面"), "上一页", "下一页", "停止" and "关闭".
// Confirming the print setup rebuilds the pages with the new settings.
class ReportPreviewDialog : public QDialog
{
    Q_OBJECT

public:
    // Paints the report with the settings on the printer.
    using Builder = std::function<void(QPrinter *printer, const ReportSettings &settings)>;

    ReportPreviewDialog(const ReportSettings &settings, Builder builder, QWidget *parent = nullptr);
    ~ReportPreviewDialog() override;

    const ReportSettings &settings() const { return m_settings; }
    void setSettings(const ReportSettings &settings);
    // Builds the report on another printer (a PDF file, say) with the current settings.
    void printTo(QPrinter *printer);
    QPrinter *printer() const { return m_printer.get(); }
    QPrintPreviewWidget *preview() const { return m_preview; }
    int pageCount() const;

    QAction *printAction = nullptr;
    QAction *setupAction = nullptr;
    QToolButton *zoomButton = nullptr;
    QMenu *zoomMenu = nullptr;
    QAction *previousAction = nullptr;
    QAction *nextAction = nullptr;
    QAction *stopAction = nullptr;
    QAction *closeAction = nullptr;

private:
    void print();
    void openSetup();
    void updatePageButtons();

    ReportSettings m_settings;
    Builder m_builder;
    std::unique_ptr<QPrinter> m_printer;
    QPrintPreviewWidget *m_preview = nullptr;
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
