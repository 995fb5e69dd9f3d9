#include "clock.h"
#include "connection.h"
#include "customerdebtsmodel.h"
#include "customerdebtsoutput.h"
#include "customerdebtswindow.h"
#include "datagrid.h"
#include "datamodule.h"
#include "ledgergrid.h"
#include "ledgerreport.h"
#include "reportpreviewdialog.h"
#include "salejournal.h"
#include "savedialog.h"
#include "skinengine.h"
#include "readback.h"
#include "scriptedmessageboxes.h"
#include "testfaults.h"
#include "testworkspace.h"
#include "urlopener.h"

#include <QApplication>
#include <QDir>
#include <QInputMethodEvent>
#include <QLineEdit>
#include <QPrinter>
#include <QPushButton>
#include <QTableView>
#include <QTableWidget>
#include <QLabel>
#include <QtTest>
#include <memory>

namespace {

const QString kAddress = QStringLiteral("https://support.quillmora.example/");

void addDebtSale(Connection &connection, const QString &name, const QString &mobile, double owed, const QDate &day,
                 const QString &goods)
{
    connection.execute(QStringLiteral("insert into data (a,b,c,d,\"1\",\"2\",\"3\",\"6\",\"4\",\"5\",e,f,h,z,day1,o) "
                                      "values ('类',?,'','',1,1,1,1,0,?,?,?,'','',?,'1')"),
                       {goods, owed, name, mobile, day});
}

// Types text as an input method commits it, one character at a time, as an operator
// typing Chinese does.
void type(QWidget *box, const QString &text)
{
    for (const QChar c : text) {
        QInputMethodEvent event;
        event.setCommitString(QString(c));
        QApplication::sendEvent(box, &event);
    }
}

} // namespace

class CustomerDebtsWindowTest : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void listAndFooterAgreeWithTheLedger();
    void searchNarrowsTheListAsTyped();
    void titleClickSortsTheList();
    void doubleClickListsTheSalesInTheLedgerGrid();
    void settleAsksFirst_data();
    void settleAsksFirst();
    void partialPayment();
    void paymentsOfTheChosenCustomer_data();
    void paymentsOfTheChosenCustomer();
    void refusedPaymentInput_data();
    void refusedPaymentInput();
    void changedByAnotherTerminalIsRefused();
    void failedWriteIsReportedAndChangesNothing();
    void nothingChosen();
    void printedListReadsBack();
    void previewButtonShowsTheReport();
    void exportReadBackBySpreadsheetProgram_data();
    void exportReadBackBySpreadsheetProgram();
    void exportAsksBeforeOverwritingAndReportsAFailedWrite();

private:
    Connection &db() { return *m_data->ADOConnection1; }
    void openWindow();
    QStringList listRows() const;
    QString footer(const QString &field) const;
    QString ledgerFooter(const QString &field) const;
    double owedOf(const QString &goods);
    void fillThreeCustomers();

    std::unique_ptr<TestWorkspace> m_workspace;
    std::unique_ptr<Tdmfm> m_data;
    std::unique_ptr<DataGrid> m_ledgerGrid;
    std::unique_ptr<LedgerController> m_ledger;
    QPointer<CustomerDebtsWindow> m_window;
    ScriptedMessageBoxes *m_boxes = nullptr;
    std::optional<QString> m_chosenName;
    QList<QUrl> m_opened;
};

void CustomerDebtsWindowTest::init()
{
    m_workspace = std::make_unique<TestWorkspace>();
    m_data = std::make_unique<Tdmfm>(m_workspace->dataSource());
    m_ledgerGrid = std::make_unique<DataGrid>();
    LedgerGrid::configure(*m_ledgerGrid);
    m_ledger = std::make_unique<LedgerController>(*m_ledgerGrid);
    m_ledger->attach(m_data->ADOQuery15);
    m_ledgerGrid->resize(929, 300);
    m_boxes = &ScriptedMessageBoxes::install();
    m_chosenName.reset();
    m_opened.clear();
    SaveDialog::setChooser([this](QWidget *, const SaveDialogRequest &) { return m_chosenName; });
    UrlOpener::setOpener([this](const QUrl &url) {
        m_opened << url;
        return true;
    });
    Clock::setFixedNow(QDateTime(QDate(2014, 3, 12), QTime(15, 4, 5)));
}

void CustomerDebtsWindowTest::cleanup()
{
    QCOMPARE(m_boxes->unexpected.size(), 0);
    QCOMPARE(m_boxes->pendingAnswers(), 0);
    delete m_window.data();
    SaveDialog::setChooser(nullptr);
    UrlOpener::setOpener(nullptr);
    Clock::setFixedNow(std::nullopt);
    m_ledger.reset();
    m_ledgerGrid.reset();
    m_data.reset();
    m_workspace.reset();
    MessageBoxService::install(nullptr);
}

void CustomerDebtsWindowTest::openWindow()
{
    m_window = new CustomerDebtsWindow(nullptr, db(), m_ledger.get(), kAddress);
    m_window->reload();
    QVERIFY(m_window->isVisible());
}

QStringList CustomerDebtsWindowTest::listRows() const
{
    QStringList rows;
    const DataGrid &grid = *m_window->debtsGrid;
    for (int row = 0; row < grid.rowCount(); ++row) {
        QStringList cells;
        for (int position = 0; position < grid.columnCount(); ++position)
            cells << grid.cellText(row, position);
        rows << cells.join(QLatin1Char('|'));
    }
    return rows;
}

QString CustomerDebtsWindowTest::footer(const QString &field) const
{
    return m_window->debtsGrid->footerTextAt(m_window->debtsGrid->positionOfField(field));
}

QString CustomerDebtsWindowTest::ledgerFooter(const QString &field) const
{
    return m_ledgerGrid->footerTextAt(m_ledgerGrid->positionOfField(field));
}

double CustomerDebtsWindowTest::owedOf(const QString &goods)
{
    return db().scalar(QStringLiteral("select \"5\" from data where b=?"), {goods}).toDouble();
}

void CustomerDebtsWindowTest::fillThreeCustomers()
{
    addDebtSale(db(), QStringLiteral("张三"), QStringLiteral("138"), 50, QDate(2014, 3, 1), QStringLiteral("A"));
    addDebtSale(db(), QStringLiteral("张三"), QStringLiteral("138"), 10, QDate(2014, 3, 5), QStringLiteral("B"));
    addDebtSale(db(), QStringLiteral("李四"), QString(), 80.5, QDate(2014, 2, 1), QStringLiteral("C"));
    addDebtSale(db(), QString(), QString(), 3, QDate(2014, 1, 9), QStringLiteral("D"));
    addDebtSale(db(), QStringLiteral("王五"), QString(), 0, QDate(2014, 1, 9), QStringLiteral("E"));
}

void CustomerDebtsWindowTest::listAndFooterAgreeWithTheLedger()
{
    fillThreeCustomers();
    m_ledger->showAllRecords();
    openWindow();
    QCOMPARE(m_window->windowTitle(), QStringLiteral("客户欠款"));
    QStringList titles;
    for (int position = 0; position < m_window->debtsGrid->columnCount(); ++position)
        titles << m_window->debtsGrid->columnAt(position).title;
    QCOMPARE(titles, (QStringList{"客户名称", "手 机", "欠款金额", "欠款笔数", "最早欠款日期", "最近欠款日期"}));
    QCOMPARE(listRows(), (QStringList{"李四||80.5|1|2014-02-01|2014-02-01", "张三|138|60|2|2014-03-01|2014-03-05",
                                      "（未填客户）||3|1|2014-01-09|2014-01-09"}));
    QCOMPARE(footer(QStringLiteral("name")), QStringLiteral("共 3 位客户"));
    QCOMPARE(footer(QStringLiteral("owed")), QStringLiteral("143.5"));
    QCOMPARE(footer(QStringLiteral("owed")), ledgerFooter(QStringLiteral("5")));
}

void CustomerDebtsWindowTest::searchNarrowsTheListAsTyped()
{
    fillThreeCustomers();
    addDebtSale(db(), QStringLiteral("张小"), QStringLiteral("13912345678"), 7, QDate(2014, 3, 2), QStringLiteral("F"));
    openWindow();
    type(m_window->searchEdit, QStringLiteral("张"));
    QCOMPARE(listRows(), (QStringList{"张三|138|60|2|2014-03-01|2014-03-05", "张小|13912345678|7|1|2014-03-02|2014-03-02"}));
    QCOMPARE(footer(QStringLiteral("name")), QStringLiteral("共 2 位客户"));
    QCOMPARE(footer(QStringLiteral("owed")), QStringLiteral("67"));
    QCOMPARE(m_window->chosen()->customer.name, QStringLiteral("张三"));
    type(m_window->searchEdit, QStringLiteral("小"));
    QCOMPARE(listRows(), QStringList{"张小|13912345678|7|1|2014-03-02|2014-03-02"});
    m_window->searchEdit->clear();
    QTest::keyClicks(m_window->searchEdit, QStringLiteral("1391"));
    QCOMPARE(listRows(), QStringList{"张小|13912345678|7|1|2014-03-02|2014-03-02"});
    m_window->searchEdit->clear();
    QCOMPARE(listRows().size(), 4);
    QCOMPARE(footer(QStringLiteral("owed")), QStringLiteral("150.5"));
    // The search stays when the list is read again.
    type(m_window->searchEdit, QStringLiteral("李"));
    m_window->refreshButton->click();
    QCOMPARE(listRows(), QStringList{"李四||80.5|1|2014-02-01|2014-02-01"});
}

void CustomerDebtsWindowTest::titleClickSortsTheList()
{
    fillThreeCustomers();
    openWindow();
    DataGrid &grid = *m_window->debtsGrid;
    auto names = [&] {
        QStringList result;
        for (int row = 0; row < grid.rowCount(); ++row)
            result << grid.cellText(row, 0);
        return result;
    };
    m_window->choose({QStringLiteral("张三"), QStringLiteral("138")});
    grid.clickTitle(grid.positionOfField(QStringLiteral("oldest")));
    QCOMPARE(names(), (QStringList{"张三", "李四", "（未填客户）"}));
    grid.clickTitle(grid.positionOfField(QStringLiteral("oldest")));
    QCOMPARE(names(), (QStringList{"（未填客户）", "李四", "张三"}));
    // The chosen customer stays chosen.
    QCOMPARE(m_window->chosen()->customer.name, QStringLiteral("张三"));
}

void CustomerDebtsWindowTest::doubleClickListsTheSalesInTheLedgerGrid()
{
    fillThreeCustomers();
    addDebtSale(db(), QStringLiteral("张三"), QStringLiteral("138"), 0, QDate(2014, 3, 7), QStringLiteral("paid"));
    m_ledger->showAllRecords();
    openWindow();
    QTableView *view = m_window->debtsGrid->view();
    QApplication::processEvents();
    const QRect cell = view->visualRect(view->model()->index(1, 0));
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, cell.center());
    QTest::mouseDClick(view->viewport(), Qt::LeftButton, {}, cell.center());
    QCOMPARE(m_ledgerGrid->rowCount(), 2);
    QCOMPARE(m_ledgerGrid->cellText(0, m_ledgerGrid->positionOfField(QStringLiteral("b"))), QStringLiteral("A"));
    QCOMPARE(m_ledgerGrid->cellText(1, m_ledgerGrid->positionOfField(QStringLiteral("b"))), QStringLiteral("B"));
    QCOMPARE(ledgerFooter(QStringLiteral("5")), QStringLiteral("60"));
    QCOMPARE(ledgerFooter(QStringLiteral("b")), QStringLiteral("2"));
    // The ledger's print works on them as on any query.
    const ReportTable table = LedgerReport::table(*m_ledgerGrid);
    QCOMPARE(table.rowCount, 2);
}

void CustomerDebtsWindowTest::settleAsksFirst_data()
{
    QTest::addColumn<QMessageBox::StandardButton>("answer");
    QTest::newRow("OK") << QMessageBox::Ok;
    QTest::newRow("Cancel") << QMessageBox::Cancel;
}

void CustomerDebtsWindowTest::settleAsksFirst()
{
    QFETCH(QMessageBox::StandardButton, answer);
    fillThreeCustomers();
    m_ledger->showAllRecords();
    m_ledgerGrid->clickTitle(m_ledgerGrid->positionOfField(QStringLiteral("b")));
    openWindow();
    m_window->choose({QStringLiteral("张三"), QStringLiteral("138")});
    m_boxes->expect(answer);
    if (answer == QMessageBox::Ok)
        m_boxes->expect(QMessageBox::Ok);
    m_window->settleButton->click();

    const MessageBoxRequest &question = m_boxes->asked.value(0).request;
    QCOMPARE(question.caption, QStringLiteral("Quillmora"));
    QCOMPARE(question.text, QStringLiteral("确定 张三（138） 已付清 60 元吗？"));
    QCOMPARE(question.icon, QMessageBox::Question);
    QCOMPARE(question.buttons, QMessageBox::Ok | QMessageBox::Cancel);
    QCOMPARE(question.defaultButton, QMessageBox::Cancel);
    if (answer == QMessageBox::Cancel) {
        QCOMPARE(m_boxes->asked.size(), 1);
        QCOMPARE(owedOf(QStringLiteral("A")), 50.0);
        QCOMPARE(listRows().size(), 3);
        return;
    }
    QCOMPARE(m_boxes->asked.size(), 2);
    QCOMPARE(m_boxes->asked[1].request.text, QStringLiteral("张三（138） 的欠款 60 元已结清。"));
    QCOMPARE(m_boxes->asked[1].request.icon, QMessageBox::Information);
    QCOMPARE(owedOf(QStringLiteral("A")), 0.0);
    QCOMPARE(owedOf(QStringLiteral("B")), 0.0);
    QCOMPARE(listRows(), (QStringList{"李四||80.5|1|2014-02-01|2014-02-01", "（未填客户）||3|1|2014-01-09|2014-01-09"}));
    // The main grid shows the same records again, in the same sort, with the new figures.
    QCOMPARE(m_ledgerGrid->rowCount(), 5);
    QCOMPARE(ledgerFooter(QStringLiteral("5")), QStringLiteral("83.5"));
    QCOMPARE(footer(QStringLiteral("owed")), ledgerFooter(QStringLiteral("5")));
    QCOMPARE(m_ledgerGrid->cellText(0, m_ledgerGrid->positionOfField(QStringLiteral("b"))), QStringLiteral("E"));
}

void CustomerDebtsWindowTest::partialPayment()
{
    fillThreeCustomers();
    m_ledger->showAllRecords();
    openWindow();
    m_window->choose({QStringLiteral("张三"), QStringLiteral("138")});
    QTest::keyClicks(m_window->paymentEdit, QStringLiteral(" 55.5 "));
    m_boxes->expect(QMessageBox::Ok);
    m_boxes->expect(QMessageBox::Ok);
    m_window->payButton->click();
    QCOMPARE(m_boxes->asked.size(), 2);
    QCOMPARE(m_boxes->asked[0].request.text, QStringLiteral("确定 张三（138） 已付款 55.5 元吗？"));
    QCOMPARE(m_boxes->asked[0].request.defaultButton, QMessageBox::Cancel);
    QCOMPARE(m_boxes->asked[1].request.text, QStringLiteral("已记录 张三（138） 付款 55.5 元，尚欠 4.5 元。"));
    QCOMPARE(owedOf(QStringLiteral("A")), 0.0);
    QCOMPARE(owedOf(QStringLiteral("B")), 4.5);
    QVERIFY(m_window->paymentEdit->text().isEmpty());
    QCOMPARE(listRows().value(1), QStringLiteral("张三|138|4.5|1|2014-03-05|2014-03-05"));
    QCOMPARE(m_window->chosen()->customer.name, QStringLiteral("张三"));
    QCOMPARE(ledgerFooter(QStringLiteral("5")), QStringLiteral("88"));
}

void CustomerDebtsWindowTest::paymentsOfTheChosenCustomer_data()
{
    QTest::addColumn<int>("skin");
    QTest::newRow("default look") << -1;
    QTest::newRow("dark skin") << 1;
}

// A part payment and then a settle, each through the window's own buttons: the list
// below shows the chosen customer's payments, newest first, and another customer's
// none. The pictures are kept for a look by eye.
void CustomerDebtsWindowTest::paymentsOfTheChosenCustomer()
{
    QFETCH(int, skin);
    if (skin < 0)
        SkinEngine::applyDefault();
    else
        SkinEngine::apply(skin);
    fillThreeCustomers();
    m_data->setOperatorName(QStringLiteral("收银员甲"));
    openWindow();
    auto paymentRows = [this] {
        QStringList rows;
        const QTableWidget &table = *m_window->paymentsTable;
        for (int row = 0; row < table.rowCount(); ++row) {
            QStringList cells;
            for (int column = 0; column < table.columnCount(); ++column)
                cells << table.item(row, column)->text();
            rows << cells.join(QLatin1Char('|'));
        }
        return rows;
    };
    m_window->choose({QStringLiteral("张三"), QStringLiteral("138")});
    QCOMPARE(paymentRows(), QStringList());
    QCOMPARE(m_window->paymentsLabel->text(), QStringLiteral("张三（138） 的付款记录（0 笔）："));
    QTest::keyClicks(m_window->paymentEdit, QStringLiteral("55.5"));
    m_boxes->expect(QMessageBox::Ok);
    m_boxes->expect(QMessageBox::Ok);
    m_window->payButton->click();
    Clock::setFixedNow(QDateTime(QDate(2014, 3, 13), QTime(9, 0, 0)));
    m_data->setOperatorName(QStringLiteral("店长"));
    m_boxes->expect(QMessageBox::Ok);
    m_boxes->expect(QMessageBox::Ok);
    m_window->settleButton->click();
    QCOMPARE(m_boxes->asked.size(), 4);
    // Settled in full the customer leaves the list; chosen again from the search, the
    // payments are still theirs.
    const QString terminal = SaleJournal::thisTerminal();
    m_window->choose({QStringLiteral("李四"), QString()});
    QCOMPARE(paymentRows(), QStringList());
    addDebtSale(db(), QStringLiteral("张三"), QStringLiteral("138"), 7, QDate(2014, 3, 13), QStringLiteral("F"));
    m_window->reload();
    m_window->choose({QStringLiteral("张三"), QStringLiteral("138")});
    QCOMPARE(paymentRows(), (QStringList{QStringLiteral("2014-03-13 09:00:00|4.5|店长|%1|1").arg(terminal),
                                         QStringLiteral("2014-03-12 15:04:05|55.5|收银员甲|%1|2").arg(terminal)}));
    QCOMPARE(m_window->paymentsLabel->text(), QStringLiteral("张三（138） 的付款记录（2 笔）："));
    QVERIFY(m_window->rect().contains(m_window->paymentsTable->geometry()));
    QDir().mkpath(QStringLiteral(ARTIFACTS_DIR));
    m_window->grab().save(QStringLiteral(ARTIFACTS_DIR "/customer-debts-payments-%1%2.png")
                              .arg(skin < 0 ? QStringLiteral("default") : QStringLiteral("dark"),
                                   TestWorkspace::onServer() ? QStringLiteral("-server") : QString()));
    SkinEngine::applyDefault();
}

void CustomerDebtsWindowTest::refusedPaymentInput_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("warning");
    QTest::newRow("empty") << QString() << QStringLiteral("请输入正确的付款金额。");
    QTest::newRow("no number") << QStringLiteral("十元") << QStringLiteral("请输入正确的付款金额。");
    QTest::newRow("zero") << QStringLiteral("0") << QStringLiteral("付款金额必须大于 0。");
    QTest::newRow("more than owed") << QStringLiteral("60.01") << QStringLiteral("付款金额 60.01 元大于 张三（138） 的欠款 60 元。");
    const QString tooLarge = QStringLiteral("付款金额的数值太大：其绝对值必须小于 1000000000000（一万亿）。");
    QTest::newRow("10^12") << QStringLiteral("1000000000000") << tooLarge;
    QTest::newRow("beyond any number") << QStringLiteral("1e400") << tooLarge;
}

void CustomerDebtsWindowTest::refusedPaymentInput()
{
    QFETCH(QString, typed);
    QFETCH(QString, warning);
    fillThreeCustomers();
    openWindow();
    m_window->choose({QStringLiteral("张三"), QStringLiteral("138")});
    m_window->paymentEdit->setText(typed);
    m_boxes->expect(QMessageBox::Ok);
    m_window->payButton->click();
    QCOMPARE(m_boxes->asked.size(), 1);
    QCOMPARE(m_boxes->asked[0].request.text, warning);
    QCOMPARE(m_boxes->asked[0].request.icon, QMessageBox::Warning);
    QCOMPARE(owedOf(QStringLiteral("A")), 50.0);
    QCOMPARE(owedOf(QStringLiteral("B")), 10.0);
}

void CustomerDebtsWindowTest::changedByAnotherTerminalIsRefused()
{
    fillThreeCustomers();
    m_ledger->showAllRecords();
    openWindow();
    m_window->choose({QStringLiteral("张三"), QStringLiteral("138")});
    {
        Connection other(m_workspace->dataSource());
        QCOMPARE(other.execute(QStringLiteral("update data set \"5\"=45 where b='A'")), 1);
    }
    m_boxes->expect(QMessageBox::Ok);
    m_boxes->expect(QMessageBox::Ok);
    m_window->settleButton->click();
    QCOMPARE(m_boxes->asked.size(), 2);
    QCOMPARE(m_boxes->asked[1].request.text,
             QStringLiteral("张三（138） 的欠款已被其他终端更改（原为 60 元，现为 55 元），未做任何修改。请核对后重试。"));
    QCOMPARE(m_boxes->asked[1].request.icon, QMessageBox::Warning);
    QCOMPARE(owedOf(QStringLiteral("A")), 45.0);
    QCOMPARE(owedOf(QStringLiteral("B")), 10.0);
    // The list and the main grid now show the other terminal's figures.
    QCOMPARE(listRows().value(1), QStringLiteral("张三|138|55|2|2014-03-01|2014-03-05"));
    QCOMPARE(ledgerFooter(QStringLiteral("5")), QStringLiteral("138.5"));
}

void CustomerDebtsWindowTest::failedWriteIsReportedAndChangesNothing()
{
    fillThreeCustomers();
    openWindow();
    m_window->choose({QStringLiteral("张三"), QStringLiteral("138")});
    TestFaults::refuseWritesWhere(db(), QStringLiteral("data"), QStringLiteral("update"), QStringLiteral("disk full"),
                                  QStringLiteral("b"), QStringLiteral("B"));
    m_boxes->expect(QMessageBox::Ok);
    m_boxes->expect(QMessageBox::Ok);
    m_window->settleButton->click();
    QCOMPARE(m_boxes->asked.size(), 2);
    QCOMPARE(m_boxes->asked[1].request.icon, QMessageBox::Critical);
    QVERIFY2(m_boxes->asked[1].request.text.contains(QStringLiteral("disk full")),
             qPrintable(m_boxes->asked[1].request.text));
    QCOMPARE(owedOf(QStringLiteral("A")), 50.0);
    QCOMPARE(owedOf(QStringLiteral("B")), 10.0);
    QCOMPARE(listRows().value(1), QStringLiteral("张三|138|60|2|2014-03-01|2014-03-05"));
}

void CustomerDebtsWindowTest::nothingChosen()
{
    openWindow();
    QCOMPARE(listRows(), QStringList{});
    QCOMPARE(footer(QStringLiteral("name")), QStringLiteral("共 0 位客户"));
    QCOMPARE(footer(QStringLiteral("owed")), QStringLiteral("0"));
    m_boxes->expect(QMessageBox::Ok);
    m_boxes->expect(QMessageBox::Ok);
    m_window->settleButton->click();
    m_window->paymentEdit->setText(QStringLiteral("5"));
    m_window->payButton->click();
    QCOMPARE(m_boxes->asked.size(), 2);
    QCOMPARE(m_boxes->asked[0].request.text, QStringLiteral("请先选择一位客户。"));
    QCOMPARE(m_boxes->asked[1].request.text, QStringLiteral("请先选择一位客户。"));
}

void CustomerDebtsWindowTest::printedListReadsBack()
{
    fillThreeCustomers();
    openWindow();
    const QString path = m_workspace->filePath(QStringLiteral("debts.pdf"));
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(path);
    QCOMPARE(LedgerReport::print(&printer, *m_window->debtsGrid, CustomerDebtsOutput::reportSettings(kAddress)), 1);
    const QString text = ReadBack::pdfText(path);
    ReadBack::verifyInOrder(text, {"Page.1", "客户欠款", "Quillmora", "客户名称", "手机", "欠款金额", "欠款笔数", "最早欠款日期",
                         "最近欠款日期", "李四", "80.5", "张三", "138", "60", "2", "2014-03-01", "2014-03-05",
                         "(未填客户)", "3", "共3位客户", "143.5", "2014-03-12"});

    // A page image for a person to look at, kept with the test's artifacts.
    const QString artifacts = qEnvironmentVariable("QUILLMORA_ARTIFACTS");
    if (!artifacts.isEmpty()) {
        QDir().mkpath(artifacts);
        QProcess render;
        render.start(QStringLiteral("pdftoppm"), {QStringLiteral("-png"), QStringLiteral("-r"), QStringLiteral("60"),
                                                  QStringLiteral("-singlefile"), path,
                                                  QDir(artifacts).filePath(QStringLiteral("customer-debts-report"))});
        QVERIFY(render.waitForFinished(60000));
        QCOMPARE(render.exitCode(), 0);
    }
}

void CustomerDebtsWindowTest::previewButtonShowsTheReport()
{
    fillThreeCustomers();
    openWindow();
    m_window->printButton->click();
    ReportPreviewDialog *preview = m_window->findChild<ReportPreviewDialog *>();
    QVERIFY(preview);
    QVERIFY(preview->isVisible());
    QCOMPARE(preview->settings().textBefore.value(0).text, QStringLiteral("客 户 欠 款"));
    QTRY_COMPARE(preview->pageCount(), 1);
    preview->close();
}

void CustomerDebtsWindowTest::exportReadBackBySpreadsheetProgram_data()
{
    // The list goes through the ledger's writers: every type reads back alike.
    QTest::addColumn<QString>("name");
    QTest::newRow(".xls") << "debts.xls";
    QTest::newRow(".xlsx") << "debts.xlsx";
    QTest::newRow(".csv") << "debts.csv";
}

void CustomerDebtsWindowTest::exportReadBackBySpreadsheetProgram()
{
    QFETCH(QString, name);
    fillThreeCustomers();
    addDebtSale(db(), QStringLiteral("赵六"), QString(), -12.25, QDate(2014, 3, 3), QStringLiteral("G"));
    openWindow();
    // The operator dragged the amount to the front.
    m_window->debtsGrid->moveColumn(m_window->debtsGrid->positionOfField(QStringLiteral("owed")), 0);
    const QString path = m_workspace->filePath(name);
    m_chosenName = path;
    m_window->exportButton->click();
    QVERIFY(QFile::exists(path));
    QCOMPARE(m_opened, QList<QUrl>{QUrl::fromLocalFile(path)});

    QString error;
    const QList<QStringList> rows = ReadBack::worksheetRows(path, m_workspace->path(), &error);
    QVERIFY2(!rows.isEmpty(), qPrintable(error));
    auto at = [&rows](int row, int column) { return rows.value(row).value(column); };
    QCOMPARE(at(0, 3), QStringLiteral("客户欠款表"));
    QCOMPARE(at(1, 0), QStringLiteral("制表人：Quillmora"));
    QCOMPARE(at(1, 5), QStringLiteral("制表时间：2014-03-12 15:04:05"));
    QCOMPARE(rows.value(2).mid(0, 6),
             (QStringList{"欠款金额", "客户名称", "手 机", "欠款笔数", "最早欠款日期", "最近欠款日期"}));
    QCOMPARE(rows.value(3).mid(0, 6), (QStringList{"80.5", "李四", "", "1", "2014-02-01", "2014-02-01"}));
    QCOMPARE(rows.value(4).mid(0, 6), (QStringList{"60", "张三", "138", "2", "2014-03-01", "2014-03-05"}));
    QCOMPARE(rows.value(5).mid(0, 2), (QStringList{"3", "（未填客户）"}));
    QCOMPARE(rows.value(6).mid(0, 2), (QStringList{"-12.25", "赵六"}));
    QCOMPARE(rows.value(7).mid(0, 2), (QStringList{"131.25", "共 4 位客户"}));
}

void CustomerDebtsWindowTest::exportAsksBeforeOverwritingAndReportsAFailedWrite()
{
    fillThreeCustomers();
    openWindow();
    const QString path = m_workspace->filePath(QStringLiteral("old.xls"));
    {
        QFile old(path);
        QVERIFY(old.open(QIODevice::WriteOnly));
        old.write("keep me");
    }
    m_chosenName = path;
    m_boxes->expect(QMessageBox::No);
    m_window->exportButton->click();
    QCOMPARE(m_boxes->asked.size(), 1);
    QCOMPARE(m_boxes->asked[0].request.text, QStringLiteral("已存在文件（%1），是否覆盖？").arg(path));
    QCOMPARE(m_boxes->asked[0].request.defaultButton, QMessageBox::No);
    QFile old(path);
    QVERIFY(old.open(QIODevice::ReadOnly));
    QCOMPARE(old.readAll(), QByteArray("keep me"));

    // A folder that does not exist: nothing is written, and the operator is told.
    m_chosenName = m_workspace->filePath(QStringLiteral("missing/debts.xls"));
    m_boxes->expect(QMessageBox::Ok);
    m_window->exportButton->click();
    QCOMPARE(m_boxes->asked.size(), 2);
    QCOMPARE(m_boxes->asked[1].request.icon, QMessageBox::Critical);
    QCOMPARE(m_boxes->asked[1].request.text, QStringLiteral("导出失败：文件夹不存在（%1）").arg(*m_chosenName));
    QVERIFY(m_opened.isEmpty());
}

QTEST_MAIN(CustomerDebtsWindowTest)
#include "tst_customerdebtswindow.moc"
