#include "clock.h"
#include "datagrid.h"
#include "datamodule.h"
#include "ledgerfixture.h"
#include "ledgergrid.h"
#include "ledgerreport.h"
#include "readback.h"
#include "reportpageview.h"
#include "reportpreviewdialog.h"
#include "scriptedmessageboxes.h"
#include "testworkspace.h"

#include <QAction>
#include <QCheckBox>
#include <QDir>
#include <QDoubleSpinBox>
#include <QLabel>
#include <QMenu>
#include <QPrinter>
#include <QProcess>
#include <QToolButton>
#include <QtTest>
#include <memory>

namespace {

const QString kAddress = QStringLiteral("https://support.quillmora.example/");

QString pdfTitle(const QString &path)
{
    QProcess process;
    process.start(QStringLiteral("pdfinfo"), {path});
    process.waitForFinished(60000);
    for (const QString &line : QString::fromUtf8(process.readAllStandardOutput()).split(QLatin1Char('\n'))) {
        if (line.startsWith(QStringLiteral("Title:")))
            return line.mid(6).trimmed();
    }
    return {};
}

} // namespace

class LedgerReportTest : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void reportFollowsTheGridAsItStands();
    void dateIsTodaysOnEveryPrint();
    void longLedgerBreaksIntoPages();
    void tableCarriesTheGridsLooks();
    void previewShowsTheReport();
    void closedDatasetBuildsNothing();
    void largeLedgerPreviewsPageByPage();
    void layoutInStepsMatchesTheWholeLayout();

private:
    QString printToPdf(const QString &name);

    std::unique_ptr<LedgerGridFixture> m_fixture;
    TestWorkspace *m_workspace = nullptr;
    Tdmfm *m_data = nullptr;
    DataGrid *m_grid = nullptr;
    LedgerController *m_controller = nullptr;
    ScriptedMessageBoxes *m_boxes = nullptr;
};

void LedgerReportTest::init()
{
    m_boxes = &ScriptedMessageBoxes::install();
    m_fixture = std::make_unique<LedgerGridFixture>();
    m_workspace = &m_fixture->workspace;
    m_data = &m_fixture->data;
    m_grid = &m_fixture->grid;
    m_controller = &m_fixture->controller;
    QVERIFY(QTest::qWaitForWindowExposed(m_grid));
    Clock::setFixedNow(QDateTime(QDate(2014, 3, 12), QTime(10, 0)));
}

void LedgerReportTest::cleanup()
{
    QVERIFY2(m_boxes->unexpected.isEmpty(), qPrintable(m_boxes->unexpected.value(0).text));
    Clock::setFixedNow(std::nullopt);
    m_fixture.reset();
}

QString LedgerReportTest::printToPdf(const QString &name)
{
    const QString path = m_workspace->filePath(name);
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(path);
    LedgerReport::print(&printer, *m_grid, LedgerReport::settings(kAddress));
    return path;
}

void LedgerReportTest::reportFollowsTheGridAsItStands()
{
    addSale(*m_data->ADOConnection1, {QStringLiteral("水果"), QStringLiteral("苹果"), 30.5, 10.25, QVariant()});
    addSale(*m_data->ADOConnection1, {QStringLiteral("饮料"), QStringLiteral("可乐"), 12, -1.5, 4});
    addSale(*m_data->ADOConnection1, {QStringLiteral("文具"), QStringLiteral("铅笔"), QVariant(), 99, 1});
    m_controller->showAllRecords();
    m_data->ADOQuery15->setSort(QStringLiteral("4 DESC"));
    // Purchase price and profit hidden, the name column moved to the front.
    m_controller->setPurchaseColumnsHidden(true);
    m_grid->moveColumn(1, 0);

    const QString text = ReadBack::pdfText(printToPdf(QStringLiteral("report.pdf")));
    QCOMPARE(pdfTitle(m_workspace->filePath(QStringLiteral("report.pdf"))), QStringLiteral("列表信息"));
    // "销售单价" is wider than its column and goes on over two lines, so its first line
    // is read out before the titles of one line; every character is there.
    QVERIFY2(text.contains(QStringLiteral("销售单")) && text.contains(QStringLiteral("价")), qPrintable(text));
    ReadBack::verifyInOrder(text, {"Page.1", "销售报表", "Quillmora" + kAddress, "商品名称", "商品类别", "销售合计",
                         "欠款金额", "销售日期", "客户名称", "手机", "备注",
                         "铅笔", "文具", "苹果", "水果", "可乐", "饮料", "总计", "2014-03-12"});
    // The footer row: the record count under the moved name column, "总计", the sale
    // total and the amount owed; the hidden profit's total is not printed.
    QVERIFY2(text.contains(QStringLiteral("3总计42.55")), qPrintable(text));
    for (const char *hidden : {"进货单价", "利润", "10.25", "-1.5", "107.75", "99"})
        QVERIFY2(!text.contains(QString::fromUtf8(hidden)), hidden);
    QVERIFY(!text.contains(QStringLiteral("Page.2")));
}

void LedgerReportTest::dateIsTodaysOnEveryPrint()
{
    Sale sale{QStringLiteral("水果"), QStringLiteral("苹果"), 1, 1, 1};
    sale.day = QDate(2013, 5, 6);
    addSale(*m_data->ADOConnection1, sale);
    m_controller->showAllRecords();
    const ReportSettings settings = LedgerReport::settings(kAddress);
    const QString first = ReadBack::pdfText(printToPdf(QStringLiteral("first.pdf")));
    Clock::setFixedNow(QDateTime(QDate(2015, 1, 2), QTime(8, 0)));
    const QString second = ReadBack::pdfText(printToPdf(QStringLiteral("second.pdf")));
    QVERIFY(first.endsWith(QStringLiteral("2014-03-12")));
    QVERIFY(second.endsWith(QStringLiteral("2015-01-02")));
    QVERIFY(!second.contains(QStringLiteral("2014-03-12")));
    // The settings keep the macro for the next print.
    QCOMPARE(settings.textAfter.last().text, QStringLiteral("%[Today]"));
}

void LedgerReportTest::longLedgerBreaksIntoPages()
{
    for (int i = 0; i < 80; ++i)
        addSale(*m_data->ADOConnection1,
                {QStringLiteral("类"), QStringLiteral("商品%1").arg(i, 2, 10, QLatin1Char('0')), 1, 1, 0});
    m_controller->showAllRecords();
    const QString path = m_workspace->filePath(QStringLiteral("long.pdf"));
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(path);
    const int pages = LedgerReport::print(&printer, *m_grid, LedgerReport::settings(kAddress));
    QVERIFY(pages >= 2);
    const QString text = ReadBack::pdfText(path);
    QStringList expected{"Page.1", "销售报表", "商品类别", "商品00", "商品01"};
    expected << "Page.2" << "商品类别" << "商品79" << "总计" << "80" << "80" << "2014-03-12";
    ReadBack::verifyInOrder(text, expected);
    QVERIFY(!text.contains(QStringLiteral("Page.%1").arg(pages + 1)));
    // "销 售 报 表" only before the table.
    QCOMPARE(text.count(QStringLiteral("销售报表")), 1);
}

void LedgerReportTest::tableCarriesTheGridsLooks()
{
    addSale(*m_data->ADOConnection1, {QStringLiteral("水果"), QStringLiteral("苹果"), 1, 1, 1});
    addSale(*m_data->ADOConnection1, {QStringLiteral("饮料"), QStringLiteral("可乐"), 2, 2, 2});
    m_controller->showAllRecords();
    m_controller->setCustomerColumnsHidden(true);
    const ReportTable table = LedgerReport::table(*m_grid);
    QCOMPARE(table.columns.size(), 11);
    QCOMPARE(table.rowCount, 2);
    for (int position = 0; position < 11; ++position) {
        QCOMPARE(table.columns.at(position).title.text, m_grid->columnAt(position).title);
        QCOMPARE(table.columns.at(position).title.background, m_grid->titleLook(position).background);
        QCOMPARE(table.footer.at(position).text, m_grid->footerTextAt(position));
        QCOMPARE(table.footer.at(position).background, m_grid->footerLook(position).background);
        for (int row = 0; row < 2; ++row) {
            const ReportCell cell = table.row(row).at(position);
            QCOMPARE(cell.text, m_grid->cellText(row, position));
            QCOMPARE(cell.background, m_grid->cellLook(row, position).background);
            QCOMPARE(cell.foreground, m_grid->cellLook(row, position).foreground);
        }
    }
    QCOMPARE(table.row(0).at(0).background, QColor(Qt::white));
    QCOMPARE(table.row(1).at(0).background, QColor(0xEE, 0xEE, 0xEE));
    QCOMPARE(table.columns.at(8).title.background, QColor(0x80, 0x00, 0x00));
    QCOMPARE(table.row(0).at(8).foreground, QColor(0xb0, 0x00, 0x00));
}

void LedgerReportTest::previewShowsTheReport()
{
    addSale(*m_data->ADOConnection1, {QStringLiteral("水果"), QStringLiteral("苹果"), 1, 1, 1});
    m_controller->showAllRecords();
    QPointer<ReportPreviewDialog> dialog = LedgerReport::preview(nullptr, *m_grid, m_data->ADOQuery15, kAddress);
    QVERIFY(dialog);
    QVERIFY(dialog->isVisible());
    QVERIFY(dialog->windowState().testFlag(Qt::WindowMaximized));
    QCOMPARE(dialog->printAction->text(), QStringLiteral("打印"));
    QCOMPARE(dialog->setupAction->text(), QStringLiteral(" 打印设置"));
    QCOMPARE(dialog->zoomButton->text(), QStringLiteral("缩放"));
    QStringList zooms;
    for (const QAction *action : dialog->zoomMenu->actions())
        zooms << action->text();
    QCOMPARE(zooms, (QStringList{"500%", "200%", "150%", "100%", "75%", "50%", "25%", "10%", "页宽度", "全部页面"}));
    QCOMPARE(dialog->previousAction->text(), QStringLiteral("上一页"));
    QCOMPARE(dialog->nextAction->text(), QStringLiteral("下一页"));
    QCOMPARE(dialog->stopAction->text(), QStringLiteral("停止"));
    QCOMPARE(dialog->closeAction->text(), QStringLiteral("关闭"));
    QCOMPARE(dialog->printer()->docName(), QStringLiteral("列表信息"));

    // The setup's settings rebuild the report: without colour, other margins.
    ReportSetupDialog setup(dialog->settings(), dialog->printer());
    QCOMPARE(setup.windowTitle(), QStringLiteral("打印设置"));
    QCOMPARE(setup.marginLeft->value(), 2.0);
    QVERIFY(setup.colourBox->isChecked());
    QVERIFY(setup.fitBox->isChecked());
    setup.colourBox->setChecked(false);
    setup.marginLeft->setValue(3.5);
    dialog->setSettings(setup.settings());
    QVERIFY(!dialog->settings().colour);
    QCOMPARE(dialog->settings().marginLeft, 3.5);

    const QString path = m_workspace->filePath(QStringLiteral("preview.pdf"));
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(path);
    dialog->printTo(&printer);
    ReadBack::verifyInOrder(ReadBack::pdfText(path), {"Page.1", "销售报表", "商品类别", "苹果", "总计", "2014-03-12"});

    dialog->closeAction->trigger();
    QTRY_VERIFY(!dialog);
}

void LedgerReportTest::closedDatasetBuildsNothing()
{
    QVERIFY(!m_data->ADOQuery15->isOpen());
    QVERIFY(!LedgerReport::preview(nullptr, *m_grid, m_data->ADOQuery15, kAddress));
    for (QWidget *widget : QApplication::topLevelWidgets())
        QVERIFY(!qobject_cast<ReportPreviewDialog *>(widget));
}

void LedgerReportTest::largeLedgerPreviewsPageByPage()
{
    Connection &db = *m_data->ADOConnection1;
    constexpr int kSales = 5000;
    db.beginTransaction();
    for (int i = 0; i < kSales; ++i)
        addSale(db, {QStringLiteral("类别%1").arg(i % 7), QStringLiteral("商品%1").arg(i, 4, 10, QLatin1Char('0')), i, 1, 0});
    db.commit();
    m_controller->showAllRecords();

    QPointer<ReportPreviewDialog> dialog = LedgerReport::preview(nullptr, *m_grid, m_data->ADOQuery15, kAddress);
    QVERIFY(dialog);
    // Shown at once with its first page; the rest is still to be laid out.
    QVERIFY(dialog->pageCount() >= 1);
    QVERIFY(!dialog->isLayoutComplete());
    QVERIFY(dialog->isLayingOut());
    QCOMPARE(dialog->currentPage(), 1);
    QVERIFY(!dialog->previousAction->isEnabled());
    QVERIFY(dialog->nextAction->isEnabled());
    QVERIFY(dialog->stopAction->isEnabled());
    QVERIFY(dialog->windowModality() == Qt::ApplicationModal);

    // "停止" stops the layout: no more pages come while the window waits.
    const int stopped = dialog->pageCount();
    dialog->stopAction->trigger();
    QVERIFY(!dialog->isLayingOut());
    QVERIFY(!dialog->stopAction->isEnabled());
    QTest::qWait(200);
    QCOMPARE(dialog->pageCount(), stopped);
    QVERIFY(!dialog->isLayoutComplete());
    QCOMPARE(dialog->pageLabel->text(), QStringLiteral("第 1 页，共 %1 页（排版已停止）").arg(stopped));

    // Paging: the buttons follow the page; a page past the laid out ones is laid out
    // when asked for.
    dialog->nextAction->trigger();
    QCOMPARE(dialog->currentPage(), 2);
    QVERIFY(dialog->previousAction->isEnabled());
    dialog->previousAction->trigger();
    QCOMPARE(dialog->currentPage(), 1);
    QVERIFY(!dialog->previousAction->isEnabled());
    dialog->setCurrentPage(stopped);
    dialog->nextAction->trigger();
    QCOMPARE(dialog->currentPage(), stopped + 1);
    QVERIFY(dialog->pageCount() > stopped);
    QVERIFY(dialog->nextAction->isEnabled());
    // Every zoom keeps the page in view and paints only what it shows.
    for (QAction *zoom : dialog->zoomMenu->actions()) {
        const int painted = dialog->pageView()->paintedPages();
        zoom->trigger();
        dialog->pageView()->viewport()->grab();
        QVERIFY2(dialog->currentPage() >= stopped - 1, qPrintable(zoom->text()));
        QVERIFY2(dialog->pageView()->paintedPages() - painted <= 12, qPrintable(zoom->text()));
    }
    // For a look by eye: the whole pages, then a page at the page's width.
    const QString artifacts = qEnvironmentVariable("QUILLMORA_ARTIFACTS");
    const bool keepShots = !artifacts.isEmpty() && QDir().mkpath(artifacts);
    dialog->resize(1000, 700);
    if (keepShots)
        QVERIFY(dialog->grab().save(QDir(artifacts).filePath(QStringLiteral("preview-all-pages.png"))));
    dialog->zoomMenu->actions().at(8)->trigger(); // 页宽度
    dialog->setCurrentPage(stopped + 1);
    if (keepShots)
        QVERIFY(dialog->grab().save(QDir(artifacts).filePath(QStringLiteral("preview-large-ledger.png"))));
    // Only the pages seen were painted.
    QVERIFY2(dialog->pageView()->paintedPages() <= 40, qPrintable(QString::number(dialog->pageView()->paintedPages())));
    dialog->closeAction->trigger();
    QTRY_VERIFY(!dialog);

    // Left alone, the count grows while the window waits, until every page is laid out.
    dialog = LedgerReport::preview(nullptr, *m_grid, m_data->ADOQuery15, kAddress);
    const int first = dialog->pageCount();
    QTRY_VERIFY(dialog->pageCount() > first);
    QTRY_VERIFY_WITH_TIMEOUT(dialog->isLayoutComplete(), 60000);
    QVERIFY(!dialog->stopAction->isEnabled());
    QVERIFY(dialog->pageCount() > 100); // some 44 rows a page
    QCOMPARE(dialog->pageLabel->text(), QStringLiteral("第 1 页，共 %1 页").arg(dialog->pageCount()));
    dialog->setCurrentPage(dialog->pageCount());
    QVERIFY(!dialog->nextAction->isEnabled());
    QVERIFY(dialog->previousAction->isEnabled());
    dialog->closeAction->trigger();
    QTRY_VERIFY(!dialog);
}

void LedgerReportTest::layoutInStepsMatchesTheWholeLayout()
{
    for (int i = 0; i < 300; ++i)
        addSale(*m_data->ADOConnection1, {QStringLiteral("水果"), QStringLiteral("苹果 %1").arg(i), i, 1, 0});
    m_controller->showAllRecords();
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(m_workspace->filePath(QStringLiteral("steps.pdf")));
    const QSizeF paper = printer.paperRect(QPrinter::Inch).size();
    // The last pages are laid out only when the background or the reader reaches them;
    // either way they fall as the whole layout lays them.
    const std::unique_ptr<GridReport> whole = LedgerReport::report(*m_grid, LedgerReport::settings(kAddress));
    whole->setPaperSize(paper);
    QVERIFY(whole->layOutMore(1000000));
    const std::unique_ptr<GridReport> paged = LedgerReport::report(*m_grid, LedgerReport::settings(kAddress));
    paged->setPaperSize(paper);
    int page = 0;
    while (paged->layOutThrough(page))
        ++page;
    QVERIFY(paged->isComplete());
    QCOMPARE(page, whole->pageCount());
    QVERIFY(page >= 5);
    // And the printer gets as many pages, one after the other.
    QList<int> printed;
    QCOMPARE(LedgerReport::report(*m_grid, LedgerReport::settings(kAddress))->print(&printer, [&printed](int n) {
        printed << n;
        return true;
    }), page);
    QCOMPARE(printed.size(), page);
    QCOMPARE(printed.last(), page);
    const QString text = ReadBack::pdfText(m_workspace->filePath(QStringLiteral("steps.pdf")));
    ReadBack::verifyInOrder(text, {"Page.1", "苹果0", QStringLiteral("Page.%1").arg(page), "苹果299", "总计", "300"});

    // A print cancelled after its second page stops there.
    QPrinter cancelled(QPrinter::HighResolution);
    cancelled.setOutputFormat(QPrinter::PdfFormat);
    cancelled.setOutputFileName(m_workspace->filePath(QStringLiteral("cancelled.pdf")));
    int asked = 0;
    QCOMPARE(LedgerReport::report(*m_grid, LedgerReport::settings(kAddress))->print(&cancelled, [&asked](int n) {
        ++asked;
        return n < 2;
    }), 2);
    QCOMPARE(asked, 2);
}

QTEST_MAIN(LedgerReportTest)
#include "tst_ledgerreport.moc"
