#include "apperror.h"
#include "changepass.h"
#include "clock.h"
#include "connection.h"
#include "databasetool.h"
#include "datagrid.h"
#include "datamodule.h"
#include "dayendreportwindow.h"
#include "dataset.h"
#include "entrycommands.h"
#include "entrypanel.h"
#include "login.h"
#include "mainform.h"
#include "schema.h"
#include "skinengine.h"
#include "scriptedmessageboxes.h"
#include "testworkspace.h"
#include "useraccounts.h"
#include "usergl.h"
#include "userroles.h"
#include "usersfixture.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTimer>
#include <QToolButton>
#include <QtTest>

using UserRoles::Command;
using UserRoles::Role;
Q_DECLARE_METATYPE(UserRoles::Command)
Q_DECLARE_METATYPE(UserRoles::Role)

// Roles: the permission table, where roles are stored, and what the main window and
// the user administration window make of them on a real ledger.
class TestUserRoles : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void permissions_data();
    void permissions();
    void storedRoles();
    void olderLedgerGetsTableAndManagers();
    void copyCarriesRoles();
    void administrationAddsCashierAndSetsRole();
    void mainWindowFollowsRole_data();
    void mainWindowFollowsRole();
    void switchingUserEndsSessionAndFollowsNewRole();
    void initialPasswordReminder();
    void roleControlsShowWhole_data();
    void roleControlsShowWhole();

private:
    void logIn(const QString &userName, const QString &password);

    std::unique_ptr<TestWorkspace> m_workspace;
    std::unique_ptr<Tdmfm> m_data;
    ScriptedMessageBoxes *m_boxes = nullptr;
};

void TestUserRoles::init()
{
    m_workspace = std::make_unique<TestWorkspace>();
    m_boxes = &ScriptedMessageBoxes::install();
    m_data = std::make_unique<Tdmfm>();
}

void TestUserRoles::cleanup()
{
    Clock::setFixedNow(std::nullopt);
    MessageBoxService::install(nullptr);
    m_data.reset();
    m_workspace.reset();
}

void TestUserRoles::permissions_data()
{
    QTest::addColumn<Command>("command");
    QTest::addColumn<bool>("administrator");
    QTest::addColumn<bool>("manager");
    QTest::addColumn<bool>("cashier");
    QTest::newRow("add sale") << Command::AddSale << true << true << true;
    QTest::newRow("take payment") << Command::TakePayment << true << true << true;
    QTest::newRow("modify today's sale") << Command::ModifyTodaysSale << true << true << true;
    QTest::newRow("modify older sale") << Command::ModifyOlderSale << true << true << false;
    QTest::newRow("delete sale") << Command::DeleteSale << true << true << false;
    QTest::newRow("export") << Command::Export << true << true << false;
    QTest::newRow("charts") << Command::Charts << true << true << false;
    QTest::newRow("purchase prices") << Command::ShowPurchasePrices << true << true << false;
    QTest::newRow("user administration") << Command::UserAdministration << true << false << false;
}

void TestUserRoles::permissions()
{
    QFETCH(Command, command);
    QFETCH(bool, administrator);
    QFETCH(bool, manager);
    QFETCH(bool, cashier);
    QCOMPARE(UserRoles::allows(Role::SuperAdministrator, command), administrator);
    QCOMPARE(UserRoles::allows(Role::Manager, command), manager);
    QCOMPARE(UserRoles::allows(Role::Cashier, command), cashier);
    // Whatever someone is refused is explained in words of its own.
    if (!cashier)
        QVERIFY(UserRoles::refusal(command) != UserRoles::refusal(Command::AddSale));
}

void TestUserRoles::storedRoles()
{
    Connection &connection = *m_data->ADOConnection1;
    UsersFixture::setUsers(*m_data, {{QStringLiteral("超级管理员"), QStringLiteral("947")},
                                     {QStringLiteral("ann"), QStringLiteral("947")}});
    QCOMPARE(UserRoles::roleOf(connection, QStringLiteral("超级管理员")), Role::SuperAdministrator);
    // No row: a manager, as every user was before roles.
    QCOMPARE(UserRoles::roleOf(connection, QStringLiteral("ann")), Role::Manager);
    UserRoles::setRole(connection, QStringLiteral("ann"), Role::Cashier);
    QCOMPARE(UserRoles::roleOf(connection, QStringLiteral("ann")), Role::Cashier);
    // Set again: one row, the new role.
    UserRoles::setRole(connection, QStringLiteral("ann"), Role::Manager);
    UserRoles::setRole(connection, QStringLiteral("ann"), Role::Cashier);
    QCOMPARE(connection.scalar(QStringLiteral("select count(*) from user_roles")).toInt(), 1);
    // Names are told apart exactly, as userdb's updates do.
    QCOMPARE(UserRoles::roleOf(connection, QStringLiteral("ANN")), Role::Manager);
    QVERIFY_THROWS_EXCEPTION(AppError, UserRoles::setRole(connection, QStringLiteral("超级管理员"), Role::Cashier));
    QCOMPARE(UserRoles::roleOf(connection, QStringLiteral("超级管理员")), Role::SuperAdministrator);
    UserRoles::forget(connection, QStringLiteral("ann"));
    QCOMPARE(UserRoles::roleOf(connection, QStringLiteral("ann")), Role::Manager);
}

void TestUserRoles::olderLedgerGetsTableAndManagers()
{
    m_data.reset();
    {
        auto connection = Schema::openLedger(m_workspace->dataSource());
        connection->execute(QStringLiteral("drop table user_roles"));
        connection->execute(QStringLiteral("insert into userdb values (?, ?)"),
                            {QStringLiteral("bob"), UsersFixture::hashOf(QStringLiteral("947"))});
    }
    auto connection = Schema::openLedger(m_workspace->dataSource());
    QVERIFY(connection->tableNames().contains(QStringLiteral("user_roles")));
    QCOMPARE(UserRoles::roleOf(*connection, QStringLiteral("bob")), Role::Manager);
    UserRoles::setRole(*connection, QStringLiteral("bob"), Role::Cashier);
    QCOMPARE(UserRoles::roleOf(*connection, QStringLiteral("bob")), Role::Cashier);
}

void TestUserRoles::copyCarriesRoles()
{
    m_data->ADOConnection1->execute(QStringLiteral("insert into userdb values (?, ?)"),
                                    {QStringLiteral("cat"), UsersFixture::hashOf(QStringLiteral("947"))});
    UserRoles::setRole(*m_data->ADOConnection1, QStringLiteral("cat"), Role::Cashier);
    // Into a new embedded file beside the ledger, from whichever engine is under test.
    const QString target = m_workspace->filePath(QStringLiteral("copy.mdb"));
    {
        Connection to(DataSource::embeddedFile(target), Connection::OpenMode::CreateFile);
        DatabaseTool::copyLedger(*m_data->ADOConnection1, to);
    }
    auto copied = Schema::openLedger(target);
    QCOMPARE(UserRoles::roleOf(*copied, QStringLiteral("cat")), Role::Cashier);
    QCOMPARE(copied->scalar(QStringLiteral("select count(*) from user_roles")).toInt(), 1);
}

void TestUserRoles::administrationAddsCashierAndSetsRole()
{
    auto *window = new Tuserglfm;
    window->LabeledEdit1->setText(QStringLiteral("947"));
    window->BitBtn3->click();
    QCOMPARE(window->newUserRole->currentText(), QStringLiteral("收银员"));
    window->Edit6->setText(QStringLiteral("dan"));
    window->BitBtn7->click();
    Connection &connection = *m_data->ADOConnection1;
    QCOMPARE(UserRoles::roleOf(connection, QStringLiteral("dan")), Role::Cashier);

    // Choosing the user shows the role; the choice beside it changes it.
    const QList<QListWidgetItem *> found = window->ListBox1->findItems(QStringLiteral("dan"), Qt::MatchExactly);
    QCOMPARE(found.size(), 1);
    window->ListBox1->setCurrentItem(found.first());
    QCOMPARE(window->roleLabel->text(), QStringLiteral("角色：收银员"));
    window->roleChoice->setCurrentText(QStringLiteral("店长"));
    window->setRoleButton->click();
    QCOMPARE(UserRoles::roleOf(connection, QStringLiteral("dan")), Role::Manager);

    // The super administrator's role stays.
    window->ListBox1->setCurrentItem(window->ListBox1->findItems(QStringLiteral("超级管理员"), Qt::MatchExactly).first());
    QCOMPARE(window->roleLabel->text(), QStringLiteral("角色：超级管理员"));
    window->setRoleButton->click();
    QCOMPARE(m_boxes->asked.last().request.text, QStringLiteral("超级管理员的角色不能更改！"));

    // A deleted user's role goes with it.
    window->ListBox1->setCurrentItem(found.first());
    m_boxes->expect(QMessageBox::Yes);
    window->BitBtn9->click();
    QCOMPARE(connection.scalar(QStringLiteral("select count(*) from user_roles")).toInt(), 0);
    window->close();
}

void TestUserRoles::mainWindowFollowsRole_data()
{
    QTest::addColumn<Role>("role");
    QTest::newRow("manager") << Role::Manager;
    QTest::newRow("cashier") << Role::Cashier;
}

void TestUserRoles::mainWindowFollowsRole()
{
    QFETCH(Role, role);
    const bool cashier = role == Role::Cashier;
    Clock::setFixedNow(QDateTime(QDate(2024, 3, 5), QTime(9, 0, 0)));
    Connection &connection = *m_data->ADOConnection1;
    UsersFixture::setUsers(*m_data, {{QStringLiteral("超级管理员"), QStringLiteral("947")},
                                     {QStringLiteral("eve"), QStringLiteral("947")}});
    UserRoles::setRole(connection, QStringLiteral("eve"), role);
    // One sale of an earlier day, one of today.
    connection.execute(QStringLiteral("insert into data (a, b, \"1\", \"2\", \"3\", \"6\", \"4\", \"5\", day1) "
                                      "values ('x', 'old', 1, 2, 1, 2, 1, 0, '2024-03-01'), "
                                      "('x', 'new', 1, 2, 1, 2, 1, 0, '2024-03-05')"));

    TMainForm main;
    auto *login = new Tloginfm(&main);
    main.setLoginWindow(login);
    auto *poll = new QTimer(&main);
    connect(poll, &QTimer::timeout, &main, [login, poll] {
        if (!login->isVisible())
            return;
        poll->stop();
        login->ComboBox1->setCurrentText(QStringLiteral("eve"));
        QTest::keyClicks(login->Edit1, QStringLiteral("947"));
        QTest::keyClick(login->Edit1, Qt::Key_Return);
    });
    poll->start(10);
    main.show();
    QTRY_VERIFY(main.sessionId() != 0);
    QCOMPARE(main.role(), role);

    QCOMPARE(main.CheckBox5->isChecked(), cashier);
    QCOMPARE(main.CheckBox5->isEnabled(), !cashier);
    QCOMPARE(main.ToolButton17->isEnabled(), !cashier);
    QCOMPARE(main.Button4->isEnabled(), !cashier);
    QCOMPARE(main.Panel3->Edit15->isHidden(), cashier);
    QCOMPARE(main.Panel3->Edit27->isHidden(), cashier);
    QVERIFY(!main.N13->isEnabled());
    // The day-end report opens for both, its profit column for a manager only.
    QVERIFY(main.dayEndAction->isEnabled());
    main.dayEndAction->trigger();
    auto *dayEnd = main.findChild<DayEndReportWindow *>();
    QVERIFY(dayEnd);
    QCOMPARE(dayEnd->operatorsGrid->isColumnVisibleAt(dayEnd->operatorsGrid->positionOfField(QStringLiteral("profit"))),
             !cashier);
    dayEnd->close();
    QDir().mkpath(QStringLiteral(ARTIFACTS_DIR));
    main.grab().save(QStringLiteral(ARTIFACTS_DIR "/userroles-main-%1.png").arg(cashier ? QStringLiteral("cashier") : QStringLiteral("manager")));
    if (cashier) {
        // Under a dark skin too: the hidden columns and the red "初始密码" must still read.
        SkinEngine::apply(1);
        main.grab().save(QStringLiteral(ARTIFACTS_DIR "/userroles-main-cashier-dark.png"));
        SkinEngine::applyDefault();
    }

    // Delete of the current sale (the last one, today's), through the toolbar's command.
    Dataset &ledger = *m_data->ADOQuery15;
    QCOMPARE(ledger.recordCount(), 2);
    m_boxes->asked.clear();
    if (!cashier)
        m_boxes->expect(QMessageBox::Ok);
    main.entryCommands->deleteCurrent();
    QCOMPARE(connection.scalar(QStringLiteral("select count(*) from data")).toInt(), cashier ? 2 : 1);
    if (cashier)
        QCOMPARE(m_boxes->asked.first().request.text, QStringLiteral("收银员不能删除销售记录，请让店长操作。"));

    // Modify of the earlier day's sale: a cashier is refused before anything is asked.
    ledger.first();
    QCOMPARE(ledger.value(QStringLiteral("b")).toString(), QStringLiteral("old"));
    m_boxes->asked.clear();
    if (!cashier)
        m_boxes->expect(QMessageBox::Cancel);
    main.entryCommands->modify();
    QCOMPARE(m_boxes->asked.size(), 1);
    QCOMPARE(m_boxes->asked.first().request.text,
             cashier ? QStringLiteral("收银员只能修改今天的销售记录，请让店长操作。") : QStringLiteral("你确实要修改选中资料吗？"));
    main.close();
}

// Logs in as `userName` with 947 as soon as the login window shows.
static void logInWhenShown(TMainForm &main, Tloginfm *login, const QString &userName)
{
    auto *poll = new QTimer(&main);
    QObject::connect(poll, &QTimer::timeout, &main, [login, poll, userName] {
        if (!login->isVisible())
            return;
        poll->stop();
        poll->deleteLater();
        if (userName.isEmpty()) {
            login->BitBtn1->click();
            return;
        }
        login->ComboBox1->setCurrentText(userName);
        QTest::keyClicks(login->Edit1, QStringLiteral("947"));
        QTest::keyClick(login->Edit1, Qt::Key_Return);
    });
    poll->start(10);
}

void TestUserRoles::switchingUserEndsSessionAndFollowsNewRole()
{
    Clock::setFixedNow(QDateTime(QDate(2024, 3, 5), QTime(9, 0, 0)));
    Connection &connection = *m_data->ADOConnection1;
    UsersFixture::setUsers(*m_data, {{QStringLiteral("超级管理员"), QStringLiteral("947")},
                                     {QStringLiteral("eve"), QStringLiteral("947")}});
    UserRoles::setRole(connection, QStringLiteral("eve"), Role::Cashier);
    TMainForm main;
    auto *login = new Tloginfm(&main);
    main.setLoginWindow(login);
    logInWhenShown(main, login, QStringLiteral("eve"));
    main.show();
    QTRY_VERIFY(main.sessionId() != 0);
    const qint64 first = main.sessionId();
    QVERIFY(main.CheckBox5->isChecked() && !main.CheckBox5->isEnabled());

    // 切换用户 (Ctrl+L): the next user logs in over the main window.
    QCOMPARE(main.switchUserAction->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_L));
    QVERIFY(main.actions().contains(main.switchUserAction));
    Clock::setFixedNow(QDateTime(QDate(2024, 3, 5), QTime(13, 15, 0)));
    logInWhenShown(main, login, QStringLiteral("超级管理员"));
    main.switchUserAction->trigger();
    QTRY_VERIFY(main.sessionId() != 0 && main.sessionId() != first);
    QCOMPARE(UsersFixture::sessionRows(*m_data),
             (QStringList{QStringLiteral("%1|eve|2024-03-05 09:00:00|2024-03-05 13:15:00").arg(first),
                          QStringLiteral("%1|超级管理员|2024-03-05 13:15:00|<null>").arg(main.sessionId())}));
    QCOMPARE(main.role(), Role::SuperAdministrator);
    QCOMPARE(main.statusPanels[1]->text(), QStringLiteral("超级管理员"));
    // The purchase columns the cashier's role hid come back; the controls are open.
    QVERIFY(!main.CheckBox5->isChecked() && main.CheckBox5->isEnabled());
    QVERIFY(main.ToolButton17->isEnabled() && main.Button4->isEnabled() && main.N13->isEnabled());

    // Leaving the login window there ends the program, the session closed.
    Clock::setFixedNow(QDateTime(QDate(2024, 3, 5), QTime(18, 0, 0)));
    const qint64 second = main.sessionId();
    logInWhenShown(main, login, QString());
    main.switchUserAction->trigger();
    QTRY_VERIFY(!main.isVisible());
    QCOMPARE(UsersFixture::sessionRows(*m_data).last(),
             QStringLiteral("%1|超级管理员|2024-03-05 13:15:00|2024-03-05 18:00:00").arg(second));
    QCOMPARE(UsersFixture::sessionRows(*m_data).size(), 2);
}

void TestUserRoles::initialPasswordReminder()
{
    const QString reminder = QStringLiteral("您仍在使用初始密码，请修改密码。");
    // A user no other test logs in: the day of the last reminder outlives a test.
    Clock::setFixedNow(QDateTime(QDate(2024, 3, 5), QTime(9, 0, 0)));
    UsersFixture::setUsers(*m_data, {{QStringLiteral("超级管理员"), QStringLiteral("947")},
                                     {QStringLiteral("gus"), QStringLiteral("947")},
                                     {QStringLiteral("fay"), QStringLiteral("own1")}});
    TMainForm main;
    auto *login = new Tloginfm(&main);
    main.setLoginWindow(login);
    m_boxes->expect(QMessageBox::No);
    logInWhenShown(main, login, QStringLiteral("gus"));
    main.show();
    QTRY_VERIFY(main.sessionId() != 0);
    QTRY_COMPARE(m_boxes->asked.size(), 1);
    const MessageBoxRequest &asked = m_boxes->asked.first().request;
    QCOMPARE(asked.text, reminder);
    QCOMPARE(asked.defaultButton, QMessageBox::No);
    QCOMPARE(asked.buttonTexts.size(), 2);
    QCOMPARE(asked.buttonTexts.at(0).second, QStringLiteral("现在修改"));
    QCOMPARE(asked.buttonTexts.at(1).second, QStringLiteral("以后再说"));
    QVERIFY(main.passwordNote->isVisibleTo(&main));

    // The same day again: the note, no box.
    logInWhenShown(main, login, QStringLiteral("gus"));
    main.switchUserAction->trigger();
    QTRY_VERIFY(main.sessionId() != 0);
    QTest::qWait(50);
    QCOMPARE(m_boxes->asked.size(), 1);
    QVERIFY(main.passwordNote->isVisibleTo(&main));

    // A user with a password of their own: neither.
    UsersFixture::setUsers(*m_data, {{QStringLiteral("超级管理员"), QStringLiteral("947")},
                                     {QStringLiteral("gus"), QStringLiteral("947")},
                                     {QStringLiteral("fay"), QStringLiteral("947x")}});
    auto *poll = new QTimer(&main);
    connect(poll, &QTimer::timeout, &main, [login, poll] {
        if (!login->isVisible())
            return;
        poll->stop();
        login->ComboBox1->setCurrentText(QStringLiteral("fay"));
        QTest::keyClicks(login->Edit1, QStringLiteral("947x"));
        QTest::keyClick(login->Edit1, Qt::Key_Return);
    });
    poll->start(10);
    main.switchUserAction->trigger();
    QTRY_VERIFY(main.sessionId() != 0);
    QTest::qWait(50);
    QCOMPARE(m_boxes->asked.size(), 1);
    QVERIFY(!main.passwordNote->isVisibleTo(&main));

    // Next day, gus answers 现在修改: the password window opens for him.
    Clock::setFixedNow(QDateTime(QDate(2024, 3, 6), QTime(9, 0, 0)));
    m_boxes->expect(QMessageBox::Yes);
    logInWhenShown(main, login, QStringLiteral("gus"));
    main.switchUserAction->trigger();
    QTRY_COMPARE(m_boxes->asked.size(), 2);
    QCOMPARE(m_boxes->asked.last().request.text, reminder);
    Tchangepassfm *change = main.findChild<Tchangepassfm *>();
    QTRY_VERIFY((change = main.findChild<Tchangepassfm *>()) != nullptr);
    QCOMPARE(change->ComboBox1->currentText(), QStringLiteral("gus"));
    main.close();
}

void TestUserRoles::roleControlsShowWhole_data()
{
    QTest::addColumn<int>("skin");
    QTest::newRow("default look") << -1;
    QTest::newRow("dark skin") << 1;
}

// The role choices sit whole inside the window, beside the list, in a light and a dark
// look; the pictures are kept for a look by eye.
void TestUserRoles::roleControlsShowWhole()
{
    QFETCH(int, skin);
    if (skin < 0)
        SkinEngine::applyDefault();
    else
        SkinEngine::apply(skin);
    auto *window = new Tuserglfm;
    window->show();
    QVERIFY(QTest::qWaitForWindowExposed(window));
    window->LabeledEdit1->setText(QStringLiteral("947"));
    window->BitBtn3->click();
    window->ListBox1->setCurrentRow(0);
    window->PageControl1->setCurrentIndex(1);
    for (QWidget *control : std::initializer_list<QWidget *>{window->roleLabel, window->roleChoice, window->setRoleButton}) {
        QVERIFY(control->isVisible());
        QVERIFY2(window->rect().contains(control->geometry()), qPrintable(control->objectName()));
        QVERIFY(!control->geometry().intersects(window->PageControl1->geometry()));
    }
    QVERIFY(window->PageControl1->currentWidget()->rect().contains(window->newUserRole->geometry()));
    QDir().mkpath(QStringLiteral(ARTIFACTS_DIR));
    window->grab().save(QStringLiteral(ARTIFACTS_DIR "/userroles-admin-%1%2.png")
                            .arg(skin < 0 ? QStringLiteral("default") : QStringLiteral("dark"),
                                 TestWorkspace::onServer() ? QStringLiteral("-server") : QString()));
    window->close();
    SkinEngine::applyDefault();
}

QTEST_MAIN(TestUserRoles)
#include "tst_userroles.moc"
