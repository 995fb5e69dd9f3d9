#include "clock.h"
#include "datamodule.h"
#include "dateeditor.h"
#include "entrypanel.h"
#include "ledgeractions.h"
#include "datagrid.h"
#include "mainform.h"
#include "quickquerypanel.h"
#include "scriptedmessageboxes.h"
#include "testworkspace.h"

#include <QDateEdit>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableView>
#include <QToolButton>
#include <QtTest>

// The entry panel inside the main window: its place, the toolbar's "新 建" and
// "删 除", and the grid's clicks.
class TestEntryWiring : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void panelInTheMainWindow();
    void toolbarNewAndDelete();
    void gridClicksLoadAndEnableDelete();
    void queryDateEnterGoesToAdd();

private:
    void showForm();

    ScriptedMessageBoxes *m_boxes = nullptr;
    std::unique_ptr<TestWorkspace> m_workspace;
    std::unique_ptr<Tdmfm> m_module;
    std::unique_ptr<TMainForm> m_form;
};

void TestEntryWiring::init()
{
    m_boxes = &ScriptedMessageBoxes::install();
    m_workspace = std::make_unique<TestWorkspace>();
    m_module = std::make_unique<Tdmfm>();
    Clock::setFixedNow(QDateTime(QDate(2014, 3, 12), QTime(9, 30)));
    m_form = std::make_unique<TMainForm>();
    // A session is open: the activation step asks for no login.
    m_form->setSessionId(1);
}

void TestEntryWiring::cleanup()
{
    QVERIFY2(m_boxes->unexpected.isEmpty(), qPrintable(m_boxes->unexpected.value(0).text));
    m_form.reset();
    Clock::setFixedNow(std::nullopt);
    m_module.reset();
    m_workspace.reset();
    MessageBoxService::install(nullptr);
}

void TestEntryWiring::showForm()
{
    m_form->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_form.get()));
    showAllRecords(*m_module->ADOQuery15);
}

void TestEntryWiring::panelInTheMainWindow()
{
    QCOMPARE(m_form->Panel3->objectName(), QStringLiteral("Panel3"));
    QCOMPARE(m_form->Panel3->geometry(), QRect(152, 201, 569, 216));
    QCOMPARE(m_form->Panel3->parentWidget(), m_form->DBGridEh1->parentWidget());
    showForm();
    QVERIFY(m_form->Panel3->isHidden());
    QCOMPARE(m_form->Panel3->DBDateTimeEditEh1->text(), QStringLiteral("2014-03-12"));
    QVERIFY(!m_form->Panel3->Button3->isEnabled());
    QVERIFY(!m_form->ToolButton19->isEnabled());
}

void TestEntryWiring::toolbarNewAndDelete()
{
    showForm();
    QTest::mouseClick(m_form->ToolButton7, Qt::LeftButton);
    EntryPanel *panel = m_form->Panel3;
    QVERIFY(panel->isVisible());
    QCOMPARE(panel->Edit21->text(), QStringLiteral("1"));
    QCOMPARE(panel->Edit17->text(), QStringLiteral("0"));

    panel->Edit12->setText(QStringLiteral("鞋类"));
    panel->Edit13->setText(QStringLiteral("运动鞋"));
    panel->Edit9->setText(QStringLiteral("12.5"));
    m_boxes->expect(QMessageBox::Ok);
    QTest::mouseClick(panel->Button1, Qt::LeftButton);
    QCOMPARE(m_boxes->asked.last().request.text, QStringLiteral("增加数据成功！"));
    Dataset &ledger = *m_module->ADOQuery15;
    QCOMPARE(ledger.recordCount(), 1);
    QCOMPARE(ledger.displayText(QStringLiteral("6")), QStringLiteral("12.5"));
    QCOMPARE(ledger.displayText(QStringLiteral("day1")), QStringLiteral("2014-03-12"));
    // The reload recounts the footers.
    QCOMPARE(m_form->DBGridEh1->footerTextAt(1), QStringLiteral("1"));
    QCOMPARE(m_form->DBGridEh1->footerTextAt(7), QStringLiteral("12.5"));

    m_form->ToolButton19->setEnabled(true);
    m_boxes->expect(QMessageBox::Ok);
    m_boxes->expect(QMessageBox::Ok);
    QTest::mouseClick(m_form->ToolButton19, Qt::LeftButton);
    QCOMPARE(m_boxes->asked.last().request.text, QStringLiteral("删除数据成功！"));
    QCOMPARE(m_module->ADOConnection1->scalar(QStringLiteral("select count(*) from data")).toInt(), 0);
    QVERIFY(!m_form->ToolButton19->isEnabled());
    QCOMPARE(m_form->DBGridEh1->footerTextAt(1), QStringLiteral("0"));
}

void TestEntryWiring::gridClicksLoadAndEnableDelete()
{
    Connection &connection = *m_module->ADOConnection1;
    const QString insert = QStringLiteral(
        R"(insert into data (a,b,c,d,"1","2","3","6","4","5",e,f,h,z,day1,o) values (?,?,'','',4,6,10,60,20,0,'','','','',?,'1'))");
    connection.execute(insert, {QStringLiteral("帽子"), QStringLiteral("草帽"), QStringLiteral("2014-02-01")});
    connection.execute(insert, {QString(), QStringLiteral("无类别"), QStringLiteral("2014-02-02")});
    showForm();
    QTableView *view = m_form->DBGridEh1->view();
    const QModelIndex hat = view->model()->index(0, 1);
    const QModelIndex uncategorised = view->model()->index(1, 1);

    // Only a left click on a data cell enables "删 除".
    QTest::mouseClick(view->viewport(), Qt::RightButton, {}, view->visualRect(hat).center());
    QVERIFY(!m_form->ToolButton19->isEnabled());
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, view->visualRect(hat).center());
    QVERIFY(m_form->ToolButton19->isEnabled());
    QCOMPARE(m_module->ADOQuery15->currentRow(), 0);

    QTest::mouseDClick(view->viewport(), Qt::LeftButton, {}, view->visualRect(hat).center());
    QVERIFY(m_form->Panel3->isVisible());
    QVERIFY(m_form->Panel3->Button3->isEnabled());
    QCOMPARE(m_form->Panel3->Edit13->text(), QStringLiteral("草帽"));
    QCOMPARE(m_form->Panel3->Edit16->text(), QStringLiteral("60"));

    // No category in the first column: the double click opens nothing.
    QTest::mouseClick(m_form->Panel3->Image1, Qt::LeftButton);
    QTest::mouseDClick(view->viewport(), Qt::LeftButton, {}, view->visualRect(uncategorised).center());
    QCOMPARE(m_module->ADOQuery15->currentRow(), 1);
    QVERIFY(m_form->Panel3->isHidden());

    // With the goods name moved to the first place, the same row loads.
    m_form->DBGridEh1->moveColumn(1, 0);
    QCOMPARE(m_form->DBGridEh1->fieldAt(0), QStringLiteral("b"));
    QTest::mouseDClick(view->viewport(), Qt::LeftButton, {}, view->visualRect(uncategorised).center());
    QVERIFY(m_form->Panel3->isVisible());
    QCOMPARE(m_form->Panel3->Edit13->text(), QStringLiteral("无类别"));
}

void TestEntryWiring::queryDateEnterGoesToAdd()
{
    showForm();
    m_form->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(m_form.get()));
    QTest::mouseClick(m_form->ToolButton7, Qt::LeftButton);
    for (QDateEdit *date : {m_form->GroupBox5->DBDateTimeEditEh2, m_form->GroupBox5->DBDateTimeEditEh3}) {
        date->setFocus();
        QTest::keyClick(date, Qt::Key_Return);
        QCOMPARE(QApplication::focusWidget(), m_form->Panel3->Button1);
    }
}

QTEST_MAIN(TestEntryWiring)
#include "tst_entrywiring.moc"
