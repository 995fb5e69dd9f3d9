#include "reportpreviewdialog.h"

#include <QAction>
#include <QCheckBox>
#include <QDialogButtonBox>
#include <QDoubleSpinBox>
#include <QFontComboBox>
#include <QFormLayout>
#include <QMenu>
#include <QPageSetupDialog>
#include <QPrintDialog>
#include <QPrintPreviewWidget>
#include <QPrinter>
#include <QPushButton>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>

ReportPreviewDialog::ReportPreviewDialog(const ReportSettings &settings, Builder builder, QWidget *parent)
    : QDialog(parent, Qt::Window), m_settings(settings), m_builder(std::move(builder)),
      m_printer(std::make_unique<QPrinter>(QPrinter::HighResolution))
{
    setObjectName(QStringLiteral("ReportPreviewDialog"));
    setWindowTitle(QStringLiteral("打印预览"));
    m_printer->setDocName(m_settings.jobTitle);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    auto *toolBar = new QToolBar(this);
    toolBar->setToolButtonStyle(Qt::ToolButtonTextOnly);
    layout->addWidget(toolBar);
    m_preview = new QPrintPreviewWidget(m_printer.get(), this);
    layout->addWidget(m_preview, 1);

    printAction = toolBar->addAction(QStringLiteral("打印"), this, [this] { print(); });
    setupAction = toolBar->addAction(QStringLiteral(" 打印设置"), this, [this] { openSetup(); });

    zoomButton = new QToolButton(toolBar);
    zoomButton->setText(QStringLiteral("缩放"));
    zoomButton->setPopupMode(QToolButton::InstantPopup);
    zoomMenu = new QMenu(zoomButton);
    for (const int percent : {500, 200, 150, 100, 75, 50, 25, 10}) {
        zoomMenu->addAction(QStringLiteral("%1%").arg(percent), this, [this, percent] {
            m_preview->setSinglePageViewMode();
            m_preview->setZoomMode(QPrintPreviewWidget::CustomZoom);
            m_preview->setZoomFactor(percent / 100.0);
        });
    }
    zoomMenu->addAction(QStringLiteral("页宽度"), this, [this] {
        m_preview->setSinglePageViewMode();
        m_preview->fitToWidth();
    });
    zoomMenu->addAction(QStringLiteral("全部页面"), this, [this] { m_preview->setAllPagesViewMode(); });
    zoomButton->setMenu(zoomMenu);
    toolBar->addWidget(zoomButton);

    previousAction = toolBar->addAction(QStringLiteral("上一页"), this,
                                        [this] { m_preview->setCurrentPage(m_preview->currentPage() - 1); });
    nextAction = toolBar->addAction(QStringLiteral("下一页"), this,
                                    [this] { m_preview->setCurrentPage(m_preview->currentPage() + 1); });
    // The pages are built in one go before the window takes input again, so there is
    // never a build in progress to stop when the button can be pressed.
    stopAction = toolBar->addAction(QStringLiteral("停止"));
    stopAction->setEnabled(false);
    closeAction = toolBar->addAction(QStringLiteral("关闭"), this, &QDialog::close);

    connect(m_preview, &QPrintPreviewWidget::paintRequested, this, [this](QPrinter *printer) { printTo(printer); });
    connect(m_preview, &QPrintPreviewWidget::previewChanged, this, [this] { updatePageButtons(); });
    setWindowState(Qt::WindowMaximized);
}

ReportPreviewDialog::~ReportPreviewDialog() = default;

void ReportPreviewDialog::setSettings(const ReportSettings &settings)
{
    m_settings = settings;
    m_preview->updatePreview();
}

void ReportPreviewDialog::printTo(QPrinter *printer)
{
    stopAction->setEnabled(true);
    m_builder(printer, m_settings);
    stopAction->setEnabled(false);
}

int ReportPreviewDialog::pageCount() const
{
    return m_preview->pageCount();
}

void ReportPreviewDialog::updatePageButtons()
{
    previousAction->setEnabled(m_preview->currentPage() > 1);
    nextAction->setEnabled(m_preview->currentPage() < m_preview->pageCount());
}

void ReportPreviewDialog::print()
{
    QPrintDialog dialog(m_printer.get(), this);
    if (dialog.exec() == QDialog::Accepted)
        printTo(m_printer.get());
}

void ReportPreviewDialog::openSetup()
{
    ReportSetupDialog dialog(m_settings, m_printer.get(), this);
    if (dialog.exec() == QDialog::Accepted)
        setSettings(dialog.settings());
}

ReportSetupDialog::ReportSetupDialog(const ReportSettings &settings, QPrinter *printer, QWidget *parent)
    : QDialog(parent), m_settings(settings)
{
    setObjectName(QStringLiteral("ReportSetupDialog"));
    setWindowTitle(QStringLiteral("打印设置"));
    auto *form = new QFormLayout(this);

    fontBox = new QFontComboBox(this);
    fontBox->setCurrentFont(QFont(settings.printFontFamily));
    form->addRow(QStringLiteral("打印字体："), fontBox);

    auto margin = [this, form](const QString &caption, double value) {
        auto *box = new QDoubleSpinBox(this);
        box->setRange(0, 10);
        box->setDecimals(1);
        box->setSingleStep(0.5);
        box->setSuffix(QStringLiteral(" cm"));
        box->setValue(value);
        form->addRow(caption, box);
        return box;
    };
    marginLeft = margin(QStringLiteral("左边距："), settings.marginLeft);
    marginTop = margin(QStringLiteral("上边距："), settings.marginTop);
    marginRight = margin(QStringLiteral("右边距："), settings.marginRight);
    marginBottom = margin(QStringLiteral("下边距："), settings.marginBottom);

    auto check = [this, form](const QString &caption, bool value) {
        auto *box = new QCheckBox(caption, this);
        box->setChecked(value);
        form->addRow(box);
        return box;
    };
    colourBox = check(QStringLiteral("彩色打印"), settings.colour);
    fitBox = check(QStringLiteral("适合页宽"), settings.fitToPageWidth);
    extendedLinesBox = check(QStringLiteral("延伸网格线"), settings.extendedGridLines);
    optimalWidthsBox = check(QStringLiteral("最佳列宽"), settings.optimalColumnWidths);

    auto *printerSetup = new QPushButton(QStringLiteral("打印机设置..."), this);
    connect(printerSetup, &QPushButton::clicked, this, [this, printer] {
        QPageSetupDialog dialog(printer, this);
        dialog.exec();
    });
    form->addRow(printerSetup);

    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->button(QDialogButtonBox::Ok)->setText(QStringLiteral("确定"));
    buttons->button(QDialogButtonBox::Cancel)->setText(QStringLiteral("取消"));
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    form->addRow(buttons);
}

ReportSettings ReportSetupDialog::settings() const
{
    ReportSettings result = m_settings;
    result.printFontFamily = fontBox->currentFont().family();
    result.marginLeft = marginLeft->value();
    result.marginTop = marginTop->value();
    result.marginRight = marginRight->value();
    result.marginBottom = marginBottom->value();
    result.colour = colourBox->isChecked();
    result.fitToPageWidth = fitBox->isChecked();
    result.extendedGridLines = extendedLinesBox->isChecked();
    result.optimalColumnWidths = optimalWidthsBox->isChecked();
    return result;
}
