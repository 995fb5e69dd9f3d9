#include "apperror.h"
#include "datamodule.h"
#include "login.h"
#include "mainform.h"
#include "scriptedmessageboxes.h"
#include "showorcreate.h"
#include "clock.h"
#include "testworkspace.h"
#include "urlopener.h"

#include <QAction>
#include <QLabel>
#include <QMenu>
#include <QTableView>
#include <QToolBar>
#include <QToolButton>
#include <QtTest>

namespace {

// A window that shows itself and frees itself on close, like the windows the
// settings menu opens.
class SelfShowingWindow : public QWidget
{
    Q_OBJECT
public:
    explicit SelfShowingWindow(QWidget *owner) : QWidget(owner, Qt::Window)
    {
        setAttribute(Qt::WA_DeleteOnClose);
        show();
    }
};

class DerivedWindow : public SelfShowingWindow
{
    Q_OBJECT
public:
    using SelfShowingWindow::SelfShowingWindow;
};

class CloseWatcher : public QObject
{
public:
    int count = 0;
    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() == QEvent::Close)
            ++count;
        return false;
    }
};

} // namespace

class MainFormTest : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        m_boxes = &ScriptedMessageBoxes::install();
        m_workspace = std::make_unique<TestWorkspace>();
        m_module = std::make_unique<Tdmfm>();
        Clock::setFixedNow(QDateTime(QDate(2014, 3, 12), QTime(23, 59, 50)));
    }
    void cleanup()
    {
        QVERIFY(m_boxes->unexpected.isEmpty());
        Clock::setFixedNow(std::nullopt);
        m_module.reset();
        m_workspace.reset();
    }

    void frameHasItsControls();
    void showStepPreparesTheWindow();
    void resizeKeepsLowerAreaHeight();
    void activationRunsUpgradeCheckAndLoginWhileNoSession();
    void closeWritesLogoutOnlyForAnOpenSession();
    void supportButtonOpensTheAddress();
    void commandErrorsReachTheDefaultErrorReport();
    void showOrCreateReusesOpenWindow();

private:
    ScriptedMessageBoxes *m_boxes = nullptr;
    std::unique_ptr<TestWorkspace> m_workspace;
    std::unique_ptr<Tdmfm> m_module;
};

void MainFormTest::frameHasItsControls()
{
    TMainForm form;
    QCOMPARE(form.windowTitle(), QStringLiteral("Quillmora V3.5.1(春节珍藏版) "));
    QStringList captions;
    for (QToolButton *button : form.ToolBar2->findChildren<QToolButton *>(Qt::FindDirectChildrenOnly)) {
        if (button->objectName().startsWith(QLatin1String("ToolButton")))
            captions << button->text();
    }
    QCOMPARE(captions, (QStringList{"新 建", "删 除", "打 印", "导 出", "设 置", "技术支持"}));
    // "欠 款" comes after them, and the toolbar still ends inside the window.
    QCOMPARE(form.debtsButton->text(), QStringLiteral("欠 款"));
    QCOMPARE(form.ToolBar2->widgetForAction(form.ToolBar2->actions().value(0)), form.ToolButton7);
    QCOMPARE(form.ToolBar2->widgetForAction(form.ToolBar2->actions().value(6)), form.debtsButton);
    QCOMPARE(form.debtsButton->size(), QSize(55, 52));
    QVERIFY(form.ToolBar2->geometry().right() < 929);
    QVERIFY(!form.ToolButton19->isEnabled());
    QCOMPARE(form.ToolButton7->size(), QSize(55, 52));

    QStringList items;
    for (QAction *action : form.PopupMenu1->actions())
        items << (action->isSeparator() ? QStringLiteral("-") : action->text());
    QCOMPARE(items, (QStringList{"修改密码", "用户管理", "切换用户", "日结报表", "-", "回收站", "修改记录", "备份数据", "恢复数据", "-", "蓝色幻想(皮肤)", "黑色经典(皮肤)", "梦幻天空(皮肤)",
                                 "黑色遐想(皮肤)", "梦想成真(皮肤)"}));
    QCOMPARE(form.findChild<QAction *>(QStringLiteral("N18"))->isVisible(), false);
    QCOMPARE(form.statusPanels[0]->width(), 250);
    QCOMPARE(form.statusPanels[1]->text(), QStringLiteral("操作员："));
    QCOMPARE(form.statusPanels[3]->text(), TMainForm::supportAddress());
}

void MainFormTest::showStepPreparesTheWindow()
{
    TMainForm form;
    bool layoutRestored = false;
    connect(form.N3, &QAction::triggered, &form, [&] {
        layoutRestored = true;
        QVERIFY(!m_module->ADOTable5->isOpen()); // the layout comes first
    });
    form.showStep();
    QVERIFY(layoutRestored);
    QVERIFY(m_module->ADOTable5->isOpen());
    QVERIFY(form.Panel3->isHidden());
    QCOMPARE(form.statusPanels[2]->text(), QStringLiteral("今天：2014-03-12"));
}

void MainFormTest::resizeKeepsLowerAreaHeight()
{
    TMainForm form;
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    const int before = form.DBGridEh1->height();
    QCOMPARE(before, form.frameGeometry().height() - 185);
    form.resize(form.width(), form.height() + 120);
    QTRY_COMPARE(form.DBGridEh1->height(), before + 120);
    QCOMPARE(form.DBGridEh1->width(), form.centralWidget()->width());
}

void MainFormTest::activationRunsUpgradeCheckAndLoginWhileNoSession()
{
    TMainForm form;
    Tloginfm login(&form);
    form.setLoginWindow(&login);
    int checks = 0;
    form.setUpgradeCheck([&] { ++checks; });
    int logins = 0;
    QTimer::singleShot(0, &login, [&] {
        ++logins;
        login.reject();
    });
    CloseWatcher closes;
    form.installEventFilter(&closes);
    form.setSessionId(7);
    form.activationStep();
    QCOMPARE(checks, 1);
    QCOMPARE(logins, 0); // a session is open: no login
    QCOMPARE(closes.count, 0);
    form.setSessionId(0);
    form.activationStep();
    QCOMPARE(checks, 2);
    QCOMPARE(logins, 1);
    QCOMPARE(closes.count, 1); // an abandoned login closes the main window
}

void MainFormTest::closeWritesLogoutOnlyForAnOpenSession()
{
    Connection &db = *m_module->ADOConnection1;
    db.execute(QStringLiteral("insert into rz (username, btime) values ('甲', '2014-03-12 08:00:00')"));
    db.execute(QStringLiteral("insert into rz (username, btime) values ('乙', '2014-03-12 09:00:00')"));
    {
        TMainForm form;
        form.closeStep();
        QCOMPARE(db.scalar(QStringLiteral("select count(*) from rz where jtime is not null")).toInt(), 0);
    }
    TMainForm form;
    form.setSessionId(1);
    form.closeStep();
    QCOMPARE(db.scalar(QStringLiteral("select jtime from rz where id=1")).toDateTime(),
             QDateTime(QDate(2014, 3, 12), QTime(23, 59, 50)));
    QVERIFY(!db.scalar(QStringLiteral("select jtime from rz where id=2")).isValid());
}

void MainFormTest::supportButtonOpensTheAddress()
{
    QList<QUrl> opened;
    UrlOpener::setOpener([&](const QUrl &url) {
        opened << url;
        return false; // a desktop that cannot open it: nothing is reported
    });
    TMainForm form;
    form.ToolButton1->click();
    UrlOpener::setOpener(nullptr);
    QCOMPARE(opened, QList<QUrl>{QUrl(TMainForm::supportAddress())});
}

void MainFormTest::commandErrorsReachTheDefaultErrorReport()
{
    TMainForm form;
    int checks = 0;
    form.setUpgradeCheck([&] {
        if (++checks == 1)
            throw DatabaseError(QStringLiteral("database is locked"));
    });
    m_boxes->expect(QMessageBox::Ok);
    form.N18->trigger();
    QCOMPARE(m_boxes->asked.size(), 1);
    const MessageBoxRequest &report = m_boxes->asked[0].request;
    QCOMPARE(report.caption, QStringLiteral("Quillmora"));
    QCOMPARE(report.text, QStringLiteral("database is locked"));
    QCOMPARE(report.icon, QMessageBox::Critical);
    QCOMPARE(report.buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
    form.N18->trigger(); // the application goes on
    QCOMPARE(checks, 2);
    QCOMPARE(m_boxes->asked.size(), 1);
}

void MainFormTest::showOrCreateReusesOpenWindow()
{
    QWidget owner;
    QPointer<SelfShowingWindow> slot;
    SelfShowingWindow *first = showOrCreate(slot, &owner);
    QCOMPARE(slot.data(), first);
    QCOMPARE(first->parentWidget(), &owner);
    first->showMinimized();
    QPointer<DerivedWindow> derived;
    showOrCreate(derived, &owner); // another class, even a derived one, is not reused
    QVERIFY(derived.data() != nullptr);

    SelfShowingWindow *again = showOrCreate(slot, &owner);
    QCOMPARE(again, first);
    QVERIFY(!first->isMinimized());
    QVERIFY(first->isVisible());

    first->close();
    QTRY_VERIFY(slot.isNull()); // freed on close
    SelfShowingWindow *fresh = showOrCreate(slot, &owner);
    QVERIFY(fresh != nullptr);
    QVERIFY(fresh->isVisible());
}

QTEST_MAIN(MainFormTest)
#include "tst_mainform.moc"
