#include "clock.h"
#include "datamodule.h"
#include "dateeditor.h"
#include "entrypanel.h"
#include "ledgeractions.h"
#include "mainform.h"
#include "scriptedmessageboxes.h"
#include "testworkspace.h"

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

    m_form->ToolButton19->setEnabled(true);
    m_boxes->expect(QMessageBox::Ok);
    m_boxes->expect(QMessageBox::Ok);
    QTest::mouseClick(m_form->ToolButton19, Qt::LeftButton);
    QCOMPARE(m_boxes->asked.last().request.text, QStringLiteral("删除数据成功！"));
    QCOMPARE(m_module->ADOConnection1->scalar(QStringLiteral("select count(*) from data")).toInt(), 0);
    QVERIFY(!m_form->ToolButton19->isEnabled());
}

QTEST_MAIN(TestEntryWiring)
#include "tst_entrywiring.moc"
