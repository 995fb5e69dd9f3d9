#include "datamodule.h"
#include "scriptedmessageboxes.h"
#include "skinengine.h"
#include "testfaults.h"
#include "testworkspace.h"
#include "usergl.h"
#include "usersfixture.h"

#include <QLineEdit>
#include <QListWidget>
#include <QPointer>
#include <QPushButton>
#include <QTabBar>
#include <QTabWidget>
#include <QToolButton>
#include <QtTest>

namespace {
const QString kAdmin = QStringLiteral("超级管理员");
const QString kUnlocked = QStringLiteral("超级管理员登录成功！");
const QString kAdded = QStringLiteral("成功添加新用户！缺省口令是：947,请此用户下次登录时及时修改口令！");
const QString kNoName = QStringLiteral("请选择用户名！");
const QString kSecondAdmin = QStringLiteral("超级管理员只能有一个，不能增加");
const QString kTaken = QStringLiteral("用户名已存在，不能重复增加！");
const QString kNoSuchUser = QStringLiteral("没有这个用户！请在左边列表中重新选择。");
// A user written behind the window's back: the list shows it only once it is refilled.
const QString kSneaked = QStringLiteral("zed");
} // namespace

class TestUserAdministration : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void opensLockedWithEveryRow();
    void unlock_data();
    void unlock();
    void choosingCopiesName();
    void reset_data();
    void reset();
    void add_data();
    void add();
    void deleteUser_data();
    void deleteUser();
    void databaseErrorSkipsRefill();
    void closing_data();
    void closing();
    void pageTabsShowWhole_data();
    void pageTabsShowWhole();

private:
    void openWindow();
    void unlockWindow();
    void sneakUser();
    QStringList listed() const;
    QStringList askedTexts() const;

    std::unique_ptr<TestWorkspace> m_workspace;
    std::unique_ptr<Tdmfm> m_data;
    QPointer<Tuserglfm> m_window;
    ScriptedMessageBoxes *m_boxes = nullptr;
};

void TestUserAdministration::init()
{
    m_workspace = std::make_unique<TestWorkspace>();
    m_data = std::make_unique<Tdmfm>();
    UsersFixture::setUsers(*m_data, {{"bob", "abc"}, {kAdmin, "947"}, {"ann", "a1"}});
    m_boxes = &ScriptedMessageBoxes::install();
}

void TestUserAdministration::cleanup()
{
    delete m_window.data();
    MessageBoxService::install(nullptr);
    m_data.reset();
    m_workspace.reset();
}

void TestUserAdministration::openWindow()
{
    m_window = new Tuserglfm;
}

void TestUserAdministration::unlockWindow()
{
    m_window->LabeledEdit1->setText(QStringLiteral("947"));
    m_boxes->expect(QMessageBox::Ok);
    m_window->BitBtn3->click();
    QCOMPARE(askedTexts(), QStringList{kUnlocked});
    m_boxes->asked.clear();
}

void TestUserAdministration::sneakUser()
{
    m_data->ADOConnection1->execute(QStringLiteral("insert into userdb values (?, ?)"), {kSneaked, QString()});
}

QStringList TestUserAdministration::listed() const
{
    QStringList names;
    for (int i = 0; i < m_window->ListBox1->count(); ++i)
        names << m_window->ListBox1->item(i)->text();
    return names;
}

QStringList TestUserAdministration::askedTexts() const
{
    QStringList texts;
    for (const auto &asked : m_boxes->asked)
        texts << asked.request.text;
    return texts;
}

void TestUserAdministration::opensLockedWithEveryRow()
{
    m_data->ADOConnection1->execute(QStringLiteral("insert into userdb values ('bob', 'x')"));
    openWindow();
    QVERIFY(m_window->isVisible());
    QCOMPARE(m_window->windowTitle(), QStringLiteral("用户管理—(管理员专用)"));
    // One entry per row, in table order, duplicates kept.
    QCOMPARE(listed(), (QStringList{"bob", kAdmin, "ann", "bob"}));
    QVERIFY(!m_window->ListBox1->isEnabled());
    QVERIFY(!m_window->PageControl1->isEnabled());
    QCOMPARE(m_window->PageControl1->currentIndex(), 0);
    QCOMPARE(m_window->focusWidget(), m_window->LabeledEdit1);
    QVERIFY(m_window->Edit5->isReadOnly() && m_window->Edit7->isReadOnly() && !m_window->Edit6->isReadOnly());
    QVERIFY(m_boxes->asked.isEmpty());
}

void TestUserAdministration::unlock_data()
{
    QTest::addColumn<UserRows>("users");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<bool>("unlocked");

    const UserRows users{{"bob", "abc"}, {kAdmin, "Adm1n"}};
    QTest::newRow("administrator's password") << users << "Adm1n" << true;
    QTest::newRow("blanks around it") << users << "  Adm1n " << true;
    QTest::newRow("other letter case") << users << "aDM1N" << true;
    QTest::newRow("wrong password") << users << "Adm1" << false;
    QTest::newRow("blank password") << users << "" << false;
    QTest::newRow("another user's password") << users << "abc" << false;
    QTest::newRow("no super administrator") << UserRows{{"bob", "abc"}} << "abc" << false;
    QTest::newRow("super administrator twice") << UserRows{{kAdmin, "947"}, {kAdmin, "947"}} << "947" << false;
}

void TestUserAdministration::unlock()
{
    QFETCH(UserRows, users);
    QFETCH(QString, typed);
    QFETCH(bool, unlocked);

    UsersFixture::setUsers(*m_data, users);
    openWindow();
    m_window->LabeledEdit1->setText(typed);
    m_boxes->expect(QMessageBox::Ok);
    m_window->BitBtn3->click();

    QCOMPARE(askedTexts(), QStringList{unlocked ? kUnlocked : QStringLiteral("密码不对！")});
    QCOMPARE(m_window->ListBox1->isEnabled(), unlocked);
    QCOMPARE(m_window->PageControl1->isEnabled(), unlocked);
    QCOMPARE(m_window->LabeledEdit1->text(), unlocked ? QString() : typed);
}

void TestUserAdministration::choosingCopiesName()
{
    openWindow();
    unlockWindow();
    QListWidgetItem *ann = m_window->ListBox1->item(2);
    QTest::mouseClick(m_window->ListBox1->viewport(), Qt::LeftButton, {},
                      m_window->ListBox1->visualItemRect(ann).center());
    QCOMPARE(m_window->Edit5->text(), QStringLiteral("ann"));
    QCOMPARE(m_window->Edit7->text(), QStringLiteral("ann"));
    QTest::keyClick(m_window->ListBox1, Qt::Key_Up);
    QCOMPARE(m_window->Edit5->text(), kAdmin);
    QCOMPARE(m_window->Edit7->text(), kAdmin);
}

void TestUserAdministration::reset_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("message");

    QTest::newRow("a user") << "bob" << "已经成功将密码初始化为：947";
    QTest::newRow("the super administrator") << kAdmin << "已经成功将密码初始化为：947";
    QTest::newRow("no user chosen") << "" << kNoName;
    QTest::newRow("user deleted meanwhile") << "gone" << kNoSuchUser;
}

void TestUserAdministration::reset()
{
    QFETCH(QString, name);
    QFETCH(QString, message);

    m_data->ADOConnection1->execute(QStringLiteral("update userdb set passwd = ? where username = ?"),
                                    {UsersFixture::hashOf(QStringLiteral("secret")), kAdmin});
    openWindow();
    m_window->LabeledEdit1->setText(QStringLiteral("secret"));
    m_boxes->expect(QMessageBox::Ok);
    m_window->BitBtn3->click();
    m_boxes->asked.clear();
    m_window->Edit5->setText(name);
    sneakUser();
    m_boxes->expect(QMessageBox::Ok);
    m_window->BitBtn5->click();

    QCOMPARE(askedTexts(), QStringList{message});
    const bool done = message.startsWith(QStringLiteral("已经成功"));
    if (done)
        QVERIFY(UsersFixture::passwordIs(*m_data, name, QStringLiteral("947")));
    QCOMPARE(UsersFixture::passwordIs(*m_data, kAdmin, QStringLiteral("947")), name == kAdmin);
    QCOMPARE(UsersFixture::passwordIs(*m_data, QStringLiteral("bob"), QStringLiteral("abc")), name != "bob");
    QVERIFY(!listed().contains(kSneaked));
    QCOMPARE(m_window->Edit5->text(), name);

    m_boxes->expect(QMessageBox::Ok);
    m_window->BitBtn4->click();
    QCOMPARE(askedTexts().last(), QStringLiteral("初始化口令用于忘记密码的用户，将口令更改为:947"));
}

void TestUserAdministration::add_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("message");
    QTest::addColumn<QStringList>("rows");

    const QStringList before{"bob", kAdmin, "ann", kSneaked};
    QTest::newRow("new user") << "carl" << kAdded << before + QStringList{"carl"};
    QTest::newRow("blanks around the name") << "  carl " << kAdded << before + QStringList{"carl"};
    QTest::newRow("quote in the name") << "o'brien" << kAdded << before + QStringList{"o'brien"};
    QTest::newRow("statement text as name") << "x'); delete from userdb; --" << kAdded
                                            << before + QStringList{"x'); delete from userdb; --"};
    QTest::newRow("second super administrator") << kAdmin << kSecondAdmin << before;
    QTest::newRow("super administrator with blanks") << " 超级管理员  " << kSecondAdmin << before;
    QTest::newRow("existing name") << "bob" << kTaken << before;
    QTest::newRow("existing name in other letter case") << "ANN" << kTaken << before;
    QTest::newRow("no name") << "   " << kNoName << before;
}

void TestUserAdministration::add()
{
    QFETCH(QString, typed);
    QFETCH(QString, message);
    QFETCH(QStringList, rows);

    openWindow();
    unlockWindow();
    m_window->Edit6->setText(typed);
    sneakUser();
    m_boxes->expect(QMessageBox::Ok);
    m_window->BitBtn7->click();

    QCOMPARE(askedTexts(), QStringList{message});
    QCOMPARE(UsersFixture::userNames(*m_data), rows);
    // Refilled after an add and after the blank-name message, not after a refusal.
    const bool refilled = message == kAdded || message == kNoName;
    QCOMPARE(listed(), refilled ? rows : (QStringList{"bob", kAdmin, "ann"}));
    QCOMPARE(m_window->Edit6->text(), typed);
    if (message == kAdded) {
        QCOMPARE(m_boxes->asked.first().request.icon, QMessageBox::Information);
        QVERIFY(UsersFixture::passwordIs(*m_data, rows.last(), QStringLiteral("947")));
    }
}

void TestUserAdministration::deleteUser_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("answer");
    QTest::addColumn<QStringList>("messages");
    QTest::addColumn<QStringList>("rows");
    QTest::addColumn<bool>("refilled");
    QTest::addColumn<QString>("edit7After");

    const QString question = QStringLiteral("你真的要删除用户：bob吗?");
    QTest::newRow("yes") << "bob" << int(QMessageBox::Yes) << QStringList{question, "成功删除！"}
                         << QStringList{kAdmin, "ann", kSneaked} << true << "";
    QTest::newRow("no") << "bob" << int(QMessageBox::No) << QStringList{question}
                        << QStringList{"bob", kAdmin, "ann", kSneaked} << true << "bob";
    QTest::newRow("super administrator") << kAdmin << int(QMessageBox::Ok) << QStringList{"超级管理员不能删除！"}
                                         << QStringList{"bob", kAdmin, "ann", kSneaked} << false << kAdmin;
    QTest::newRow("no user chosen") << "" << int(QMessageBox::Ok) << QStringList{"请选择用户"}
                                    << QStringList{"bob", kAdmin, "ann", kSneaked} << false << "";
}

void TestUserAdministration::deleteUser()
{
    QFETCH(QString, name);
    QFETCH(int, answer);
    QFETCH(QStringList, messages);
    QFETCH(QStringList, rows);
    QFETCH(bool, refilled);
    QFETCH(QString, edit7After);

    openWindow();
    unlockWindow();
    m_window->Edit7->setText(name);
    sneakUser();
    m_boxes->expect(QMessageBox::StandardButton(answer));
    m_boxes->expect(QMessageBox::Ok);
    m_window->BitBtn9->click();

    QCOMPARE(askedTexts(), messages);
    if (messages.size() == 2 || answer == QMessageBox::No) {
        const MessageBoxRequest &asked = m_boxes->asked.first().request;
        QCOMPARE(asked.buttons, QMessageBox::Yes | QMessageBox::No);
        QCOMPARE(asked.icon, QMessageBox::Question);
    }
    QCOMPARE(UsersFixture::userNames(*m_data), rows);
    QCOMPARE(listed(), refilled ? rows : (QStringList{"bob", kAdmin, "ann"}));
    QCOMPARE(m_window->Edit7->text(), edit7After);
}

void TestUserAdministration::databaseErrorSkipsRefill()
{
    TestFaults::refuseWrites(*m_data->ADOConnection1, QStringLiteral("userdb"), QStringLiteral("insert"),
                             QStringLiteral("no more users"), QStringLiteral("carl"));
    openWindow();
    unlockWindow();
    m_window->Edit6->setText(QStringLiteral("carl"));
    sneakUser();
    m_boxes->expect(QMessageBox::Ok);
    m_window->BitBtn7->click();

    QCOMPARE(m_boxes->asked.size(), 1);
    QCOMPARE(m_boxes->asked.first().request.icon, QMessageBox::Critical);
    QVERIFY(m_boxes->asked.first().request.text.contains(QStringLiteral("no more users")));
    QCOMPARE(listed(), (QStringList{"bob", kAdmin, "ann"}));
}

void TestUserAdministration::closing_data()
{
    QTest::addColumn<bool>("escape");
    QTest::newRow("退出") << false;
    QTest::newRow("Escape") << true;
}

void TestUserAdministration::closing()
{
    QFETCH(bool, escape);
    openWindow();
    QVERIFY(QTest::qWaitForWindowActive(m_window.data()));
    if (escape)
        QTest::keyClick(m_window->LabeledEdit1, Qt::Key_Escape);
    else
        m_window->BitBtn2->click();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QVERIFY(m_window.isNull());
    QVERIFY(!m_data->ADOQuery1->isOpen());
}

void TestUserAdministration::pageTabsShowWhole_data()
{
    QTest::addColumn<int>("skin");
    QTest::newRow("default look") << -1;
    for (int skin = 0; skin < SkinEngine::kStoredSkins; ++skin)
        QTest::addRow("skin %d", skin) << skin;
}

// The three operations are reached by their tabs, each shown whole, with no scrolling
// of the tab bar, in every look.
void TestUserAdministration::pageTabsShowWhole()
{
    QFETCH(int, skin);
    if (skin < 0)
        SkinEngine::applyDefault();
    else
        SkinEngine::apply(skin);
    openWindow();
    m_window->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_window.data()));

    const QTabBar *tabs = m_window->PageControl1->tabBar();
    QCOMPARE(tabs->count(), 3);
    // Room for every tab at its full size, so none is squeezed or elided.
    QVERIFY2(tabs->sizeHint().width() <= tabs->width(),
             qPrintable(QStringLiteral("tabs need %1, have %2").arg(tabs->sizeHint().width()).arg(tabs->width())));
    for (QToolButton *scroll : tabs->findChildren<QToolButton *>())
        QVERIFY2(!scroll->isVisible(), "the tab bar scrolls");
    for (int i = 0; i < tabs->count(); ++i) {
        const QRect tab = tabs->tabRect(i);
        QVERIFY2(tab.left() >= 0 && tab.right() < tabs->width(), qPrintable(tabs->tabText(i)));
        // The tab bar itself lies inside the window.
        QVERIFY(m_window->rect().contains(tabs->mapTo(m_window.data(), tab.bottomRight())));
    }
    SkinEngine::applyDefault();
}

QTEST_MAIN(TestUserAdministration)
#include "tst_usergl.moc"
