#include "reportpreviewdialog.h"

#include "reportpageview.h"

#include <QAction>
#include <QCheckBox>
#include <QCoreApplication>
#include <QDialogButtonBox>
#include <QDoubleSpinBox>
#include <QFontComboBox>
#include <QFormLayout>
#include <QMenu>
#include <QPageSetupDialog>
#include <QPrintDialog>
#include <QElapsedTimer>
#include <QLabel>
#include <QPrinter>
#include <QProgressDialog>
#include <QTimer>
#include <QPushButton>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>
#ifdef __GLIBC__
#include <malloc.h>
#endif

namespace {

// Background layout works in slices this long, so the window stays responsive.
constexpr int kSliceMilliseconds = 25;

} // namespace

ReportPreviewDialog::ReportPreviewDialog(const ReportSettings &settings, ReportMaker maker, QWidget *parent)
    : QDialog(parent, Qt::Window), m_settings(settings), m_maker(std::move(maker)),
      m_printer(std::make_unique<QPrinter>(QPrinter::HighResolution))
{
    setObjectName(QStringLiteral("ReportPreviewDialog"));
    setWindowTitle(QStringLiteral("打印预览"));
    // The report reads its rows from the list while it is open: the list must not
    // change under it.
    setWindowModality(Qt::ApplicationModal);
    m_printer->setDocName(m_settings.jobTitle);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    auto *toolBar = new QToolBar(this);
    toolBar->setToolButtonStyle(Qt::ToolButtonTextOnly);
    layout->addWidget(toolBar);
    m_view = new ReportPageView(this);
    layout->addWidget(m_view, 1);

    printAction = toolBar->addAction(QStringLiteral("打印"), this, [this] { print(); });
    setupAction = toolBar->addAction(QStringLiteral(" 打印设置"), this, [this] { openSetup(); });

    zoomButton = new QToolButton(toolBar);
    zoomButton->setText(QStringLiteral("缩放"));
    zoomButton->setPopupMode(QToolButton::InstantPopup);
    zoomMenu = new QMenu(zoomButton);
    for (const int percent : {500, 200, 150, 100, 75, 50, 25, 10})
        zoomMenu->addAction(QStringLiteral("%1%").arg(percent), this, [this, percent] { m_view->setZoomFactor(percent / 100.0); });
    zoomMenu->addAction(QStringLiteral("页宽度"), this, [this] { m_view->setMode(ReportPageView::Mode::FitWidth); });
    zoomMenu->addAction(QStringLiteral("全部页面"), this, [this] { m_view->setMode(ReportPageView::Mode::AllPages); });
    zoomButton->setMenu(zoomMenu);
    toolBar->addWidget(zoomButton);

    previousAction = toolBar->addAction(QStringLiteral("上一页"), this, [this] { setCurrentPage(currentPage() - 1); });
    nextAction = toolBar->addAction(QStringLiteral("下一页"), this, [this] { setCurrentPage(currentPage() + 1); });
    stopAction = toolBar->addAction(QStringLiteral("停止"), this, [this] { stopLayout(); });
    closeAction = toolBar->addAction(QStringLiteral("关闭"), this, &QDialog::close);
    toolBar->addSeparator();
    pageLabel = new QLabel(toolBar);
    pageLabel->setObjectName(QStringLiteral("pageLabel"));
    toolBar->addWidget(pageLabel);

    m_layoutTimer = new QTimer(this);
    m_layoutTimer->setInterval(0);
    connect(m_layoutTimer, &QTimer::timeout, this, [this] { layOutSome(); });
    connect(m_view, &ReportPageView::currentPageChanged, this, [this] { updatePageButtons(); });
    rebuild();
    setWindowState(Qt::WindowMaximized);
}

ReportPreviewDialog::~ReportPreviewDialog()
{
    m_view->setReport(nullptr);
    m_report.reset();
#ifdef __GLIBC__
    // A large report leaves many small blocks behind; hand the free ones back to the
    // system so the program shrinks again once the preview is closed.
    malloc_trim(0);
#endif
}

void ReportPreviewDialog::rebuild()
{
    m_layoutTimer->stop();
    m_view->setReport(nullptr);
    m_report = m_maker ? m_maker(m_settings) : nullptr;
    if (m_report) {
        m_report->setPaperSize(m_printer->paperRect(QPrinter::Inch).size());
        m_view->setReport(m_report.get());
    }
    m_stopped = false;
    if (m_report && !m_report->isComplete())
        m_layoutTimer->start();
    updatePageButtons();
}

void ReportPreviewDialog::layOutSome()
{
    if (!m_report || m_report->isComplete()) {
        m_layoutTimer->stop();
        updatePageButtons();
        return;
    }
    const int before = m_report->pageCount();
    QElapsedTimer slice;
    slice.start();
    while (slice.elapsed() < kSliceMilliseconds && !m_report->layOutMore(64)) {
    }
    if (m_report->isComplete()) {
        m_layoutTimer->stop();
        // The last page is known now, and with it any page total a header shows.
        m_view->repaintPages();
    }
    if (m_report->pageCount() != before || m_report->isComplete()) {
        m_view->pagesChanged();
        updatePageButtons();
        emit pagesChanged();
    }
}

void ReportPreviewDialog::stopLayout()
{
    m_layoutTimer->stop();
    m_stopped = true;
    updatePageButtons();
    emit pagesChanged();
}

void ReportPreviewDialog::setSettings(const ReportSettings &settings)
{
    m_settings = settings;
    rebuild();
}

void ReportPreviewDialog::printTo(QPrinter *printer)
{
    if (!m_maker)
        return;
    // A report of its own: the printer's paper may differ from the preview's.
    const std::unique_ptr<GridReport> report = m_maker(m_settings);
    if (report)
        report->print(printer);
}

int ReportPreviewDialog::pageCount() const
{
    return m_report ? m_report->pageCount() : 0;
}

bool ReportPreviewDialog::isLayoutComplete() const
{
    return !m_report || m_report->isComplete();
}

bool ReportPreviewDialog::isLayingOut() const
{
    return m_layoutTimer->isActive();
}

int ReportPreviewDialog::currentPage() const
{
    return m_view->currentPage();
}

void ReportPreviewDialog::setCurrentPage(int page)
{
    if (page < 1)
        return;
    m_view->setCurrentPage(page);
    m_view->pagesChanged();
    updatePageButtons();
}

void ReportPreviewDialog::updatePageButtons()
{
    const int page = currentPage();
    const int pages = pageCount();
    const bool complete = isLayoutComplete();
    previousAction->setEnabled(page > 1);
    // Pages not yet laid out are laid out when asked for.
    nextAction->setEnabled(page < pages || (!complete && pages > 0));
    stopAction->setEnabled(m_layoutTimer->isActive());
    QString text = pages == 0 ? QString() : QStringLiteral("第 %1 页，共 %2 页").arg(page).arg(pages);
    if (!complete)
        text += m_stopped ? QStringLiteral("（排版已停止）") : QStringLiteral("（正在排版……）");
    pageLabel->setText(text);
}

void ReportPreviewDialog::print()
{
    QPrintDialog dialog(m_printer.get(), this);
    if (dialog.exec() != QDialog::Accepted || !m_maker)
        return;
    const std::unique_ptr<GridReport> report = m_maker(m_settings);
    if (!report)
        return;
    // A long report goes to the printer page after page; the operator sees how far it
    // is and may cancel it.
    QProgressDialog progress(QStringLiteral("正在打印……"), QStringLiteral("取消"), 0, 0, this);
    progress.setWindowTitle(QStringLiteral("打印"));
    progress.setWindowModality(Qt::WindowModal);
    progress.setMinimumDuration(500);
    report->print(m_printer.get(), [&progress](int printed) {
        progress.setLabelText(QStringLiteral("正在打印第 %1 页……").arg(printed));
        QCoreApplication::processEvents();
        return !progress.wasCanceled();
    });
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
