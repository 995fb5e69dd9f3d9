#include "changepass.h"
#include "clock.h"
#include "connection.h"
#include "datagrid.h"
#include "databasetool.h"
#include "datamodule.h"
#include "login.h"
#include "mainform.h"
#include "scriptedmessageboxes.h"
#include "testworkspace.h"
#include "usergl.h"
#include "usersfixture.h"

#include <QAction>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <QtTest>

// The main window's side of the session: the login shown on activation, the user in
// the status bar, the logout time on close, and the two user windows of the settings
// menu.
class TestMainFormUsers : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void loginOpensSessionAndShowsAllRecords();
    void loginDoesNotDependOnTheSums();
    void closeWritesLogoutIntoOwnRowOnly();
    void abandonedLoginEndsWithoutSession();
    void settingsMenuShowsOrCreates_data();
    void settingsMenuShowsOrCreates();

private:
    // Runs the action once the login window is up (the main window shows it modally).
    void whenLoginShown(std::function<void()> action);
    void logIn();

    std::unique_ptr<TestWorkspace> m_workspace;
    std::unique_ptr<Tdmfm> m_data;
    std::unique_ptr<TMainForm> m_main;
    Tloginfm *m_login = nullptr;
    ScriptedMessageBoxes *m_boxes = nullptr;
};

void TestMainFormUsers::init()
{
    m_workspace = std::make_unique<TestWorkspace>();
    m_boxes = &ScriptedMessageBoxes::install();
    m_main = std::make_unique<TMainForm>();
    m_login = new Tloginfm(m_main.get());
    m_data = std::make_unique<Tdmfm>();
    m_main->setLoginWindow(m_login);
    Clock::setFixedNow(QDateTime(QDate(2024, 3, 5), QTime(9, 0, 0)));
}

void TestMainFormUsers::cleanup()
{
    m_main.reset();
    Clock::setFixedNow(std::nullopt);
    MessageBoxService::install(nullptr);
    m_data.reset();
    m_workspace.reset();
}

void TestMainFormUsers::whenLoginShown(std::function<void()> action)
{
    auto *poll = new QTimer(m_main.get());
    connect(poll, &QTimer::timeout, m_main.get(), [this, poll, action] {
        if (!m_login->isVisible())
            return;
        poll->deleteLater();
        poll->stop();
        action();
    });
    poll->start(10);
}

void TestMainFormUsers::logIn()
{
    whenLoginShown([this] {
        QTest::keyClicks(m_login->Edit1, QStringLiteral("947"));
        QTest::keyClick(m_login->Edit1, Qt::Key_Return);
    });
    m_main->show();
    QTRY_VERIFY(m_main->sessionId() != 0);
}

void TestMainFormUsers::loginOpensSessionAndShowsAllRecords()
{
    DatabaseTool::addDemoSales(*m_data->ADOConnection1, 5);
    logIn();

    QCOMPARE(UsersFixture::sessionRows(*m_data),
             QStringList{QStringLiteral("%1|超级管理员|2024-03-05 09:00:00|<null>").arg(m_main->sessionId())});
    QCOMPARE(m_main->statusPanels[1]->text(), QStringLiteral("超级管理员"));
    QVERIFY(m_data->ADOQuery15->isOpen());
    QCOMPARE(m_data->ADOQuery15->recordCount(), 5);
    QCOMPARE(m_data->ADOQuery15->currentRow(), 4);

    // Later activations find the session open and leave the login window alone.
    m_main->activationStep();
    QVERIFY(!m_login->isVisible());
    QCOMPARE(UsersFixture::sessionRows(*m_data).size(), 1);
    // Nothing is asked but the reminder of the initial password the administrator
    // still has.
    for (const auto &asked : m_boxes->asked)
        QCOMPARE(asked.request.text, QStringLiteral("您仍在使用初始密码，请修改密码。"));
}

void TestMainFormUsers::loginDoesNotDependOnTheSums()
{
    // One sale of 10^15 (and one of 10^300) used to lock every till of a server out.
    DatabaseTool::addDemoSales(*m_data->ADOConnection1, 2);
    m_data->ADOConnection1->execute(QStringLiteral("update data set \"6\"=?, \"5\"=? where rowid=(select min(rowid) from data)"),
                                    {1e15, 1e300});
    logIn();
    // No error box; the reminder of the initial password may come, as at any login.
    for (const auto &asked : m_boxes->asked)
        QCOMPARE(asked.request.text, QStringLiteral("您仍在使用初始密码，请修改密码。"));
    QCOMPARE(m_data->ADOQuery15->recordCount(), 2);
    DataGrid *grid = m_main->DBGridEh1;
    QVERIFY(grid->footerTextAt(grid->positionOfField(QStringLiteral("6"))).startsWith(QStringLiteral("1.0000000000")));
    QCOMPARE(grid->footerTextAt(grid->positionOfField(QStringLiteral("5"))), QStringLiteral("1E300"));
}

void TestMainFormUsers::closeWritesLogoutIntoOwnRowOnly()
{
    // A session of another copy of the application, still open.
    m_data->ADOConnection1->execute(QStringLiteral("insert into rz (username, btime) values ('ann', '2024-03-05 08:00:00')"));
    logIn();
    Clock::setFixedNow(QDateTime(QDate(2024, 3, 5), QTime(17, 30, 5)));
    m_main->close();

    QCOMPARE(UsersFixture::sessionRows(*m_data),
             (QStringList{QStringLiteral("1|ann|2024-03-05 08:00:00|<null>"),
                          QStringLiteral("2|超级管理员|2024-03-05 09:00:00|2024-03-05 17:30:05")}));
}

void TestMainFormUsers::abandonedLoginEndsWithoutSession()
{
    bool openAfterFailure = false;
    whenLoginShown([this, &openAfterFailure] {
        m_login->Edit1->setText(QStringLiteral("wrong"));
        m_boxes->expect(QMessageBox::Ok);
        m_login->bitbtn4->click();
        openAfterFailure = m_login->isVisible();
        m_login->BitBtn1->click();
    });
    m_main->show();
    QTRY_VERIFY(!m_main->isVisible());

    QVERIFY(openAfterFailure);
    QCOMPARE(m_boxes->asked.size(), 1);
    QCOMPARE(m_main->sessionId(), 0);
    QCOMPARE(m_main->statusPanels[1]->text(), QStringLiteral("操作员："));
    QCOMPARE(UsersFixture::sessionRows(*m_data), QStringList());
}

void TestMainFormUsers::settingsMenuShowsOrCreates_data()
{
    QTest::addColumn<QString>("item");
    QTest::addColumn<QString>("window");
    QTest::addColumn<QString>("box");

    QTest::newRow("修改密码") << "N15" << "changepassfm" << "Edit1";
    QTest::newRow("用户管理") << "N13" << "userglfm" << "Edit6";
}

void TestMainFormUsers::settingsMenuShowsOrCreates()
{
    QFETCH(QString, item);
    QFETCH(QString, window);
    QFETCH(QString, box);

    logIn();
    auto *action = m_main->findChild<QAction *>(item);
    auto openWindows = [&] { return m_main->findChildren<QWidget *>(window, Qt::FindDirectChildrenOnly); };

    action->trigger();
    QCOMPARE(openWindows().size(), 1);
    QWidget *first = openWindows().first();
    QVERIFY(first->isVisible() && first->isWindow());
    first->findChild<QLineEdit *>(box)->setText(QStringLiteral("kept"));

    // Chosen again while open: the same window, as it was.
    action->trigger();
    QCOMPARE(openWindows(), QList<QWidget *>{first});
    QCOMPARE(first->findChild<QLineEdit *>(box)->text(), QStringLiteral("kept"));

    // Closed, it is gone; chosen again, a fresh one opens.
    QPointer<QWidget> closed = first;
    first->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QVERIFY(closed.isNull());
    action->trigger();
    QCOMPARE(openWindows().size(), 1);
    QCOMPARE(openWindows().first()->findChild<QLineEdit *>(box)->text(), QString());
    QVERIFY(m_boxes->asked.isEmpty());
}

QTEST_MAIN(TestMainFormUsers)
#include "tst_mainformusers.moc"
