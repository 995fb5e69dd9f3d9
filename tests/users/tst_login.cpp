#include "clock.h"
#include "datamodule.h"
#include "login.h"
#include "scriptedmessageboxes.h"
#include "testworkspace.h"
#include "usersfixture.h"

#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QStandardPaths>
#include <QtTest>

namespace {
const QString kAdmin = QStringLiteral("超级管理员");
const QString kLoginTime = QStringLiteral("2024-03-05 14:07:09");
const QString kWrongPassword = QStringLiteral("密码不正确！请重新输入！");
} // namespace

class TestLogin : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void confirm_data();
    void confirm();
    void showFillsSortedUserList_data();
    void showFillsSortedUserList();
    void showRewritesDesktopShortcut();
    void leavingWritesNoSession_data();
    void leavingWritesNoSession();
    void sessionRowFailureKeepsWindowOpen();
    void enterMovesAndConfirms();
    void typedNameKeepsItsLetterCase_data();
    void typedNameKeepsItsLetterCase();
    void typedCompletionGivesWayToBackspace();

private:
    QStringList askedTexts() const;

    std::unique_ptr<TestWorkspace> m_workspace;
    std::unique_ptr<Tdmfm> m_data;
    std::unique_ptr<Tloginfm> m_login;
    ScriptedMessageBoxes *m_boxes = nullptr;
    int m_showAllRuns = 0;
};

void TestLogin::init()
{
    m_workspace = std::make_unique<TestWorkspace>();
    m_data = std::make_unique<Tdmfm>();
    m_boxes = &ScriptedMessageBoxes::install();
    Clock::setFixedNow(QDateTime::fromString(kLoginTime, QStringLiteral("yyyy-MM-dd HH:mm:ss")));
    m_login = std::make_unique<Tloginfm>();
    m_showAllRuns = 0;
    m_login->setShowAllRecords([this] { ++m_showAllRuns; });
}

void TestLogin::cleanup()
{
    m_login.reset();
    Clock::setFixedNow(std::nullopt);
    MessageBoxService::install(nullptr);
    m_data.reset();
    m_workspace.reset();
}

QStringList TestLogin::askedTexts() const
{
    QStringList texts;
    for (const auto &asked : m_boxes->asked)
        texts << asked.request.text;
    return texts;
}

void TestLogin::confirm_data()
{
    QTest::addColumn<UserRows>("users");
    QTest::addColumn<QString>("typedUser");
    QTest::addColumn<QString>("typedPassword");
    QTest::addColumn<bool>("loggedIn");
    QTest::addColumn<QString>("message");

    const UserRows admin{{kAdmin, QStringLiteral("947")}};
    const UserRows bob{{QStringLiteral("bob"), QStringLiteral("abc")}};
    QTest::newRow("super administrator") << admin << kAdmin << "947" << true << "";
    QTest::newRow("wrong password") << admin << kAdmin << "948" << false << kWrongPassword;
    QTest::newRow("unknown user") << admin << "张三" << "947" << false << kWrongPassword;
    QTest::newRow("empty user table") << UserRows{} << kAdmin << "947" << false << kWrongPassword;
    QTest::newRow("name and password twice")
        << UserRows{{"bob", "abc"}, {"bob", "abc"}} << "bob" << "abc" << false << kWrongPassword;
    QTest::newRow("name twice, one password matches")
        << UserRows{{"bob", "abc"}, {"bob", "xyz"}} << "bob" << "abc" << true << "";
    QTest::newRow("blanks around the password") << bob << "bob" << "  abc " << true << "";
    QTest::newRow("blanks around the user name") << bob << " bob" << "abc" << false << kWrongPassword;
    QTest::newRow("user name in other letter case") << UserRows{{"Bob", "abc"}} << "bOB" << "abc" << true << "";
    QTest::newRow("password in other letter case") << UserRows{{"bob", "AbC9"}} << "bob" << "aBc9" << true << "";
    QTest::newRow("another user's password") << UserRows{{"bob", "abc"}, {"ann", "xyz"}} << "bob" << "xyz" << false
                                             << kWrongPassword;
    QTest::newRow("quote in the user name") << UserRows{{"o'neil", "abc"}} << "o'neil" << "abc" << true << "";
    QTest::newRow("statement text as user name")
        << bob << "x' or '1'='1" << "abc" << false << kWrongPassword;
    QTest::newRow("comment in the user name") << bob << "bob' --" << "abc" << false << kWrongPassword;
    QTest::newRow("blank user name") << bob << "   " << "abc" << false << "必须选择用户！";
    QTest::newRow("blank password") << bob << "bob" << " \t " << false << "必须输入密码！";
}

void TestLogin::confirm()
{
    QFETCH(UserRows, users);
    QFETCH(QString, typedUser);
    QFETCH(QString, typedPassword);
    QFETCH(bool, loggedIn);
    QFETCH(QString, message);

    UsersFixture::setUsers(*m_data, users);
    m_login->show();
    m_login->ComboBox1->setEditText(typedUser);
    m_login->Edit1->setText(typedPassword);
    if (!message.isEmpty())
        m_boxes->expect(QMessageBox::Ok);
    m_login->bitbtn4->click();

    QCOMPARE(askedTexts(), message.isEmpty() ? QStringList() : QStringList{message});
    QVERIFY(m_boxes->unexpected.isEmpty());
    if (loggedIn) {
        QVERIFY(!m_login->isVisible());
        QCOMPARE(m_login->result(), int(QDialog::Accepted));
        QCOMPARE(m_login->loginResult(), 1);
        QCOMPARE(m_login->userName(), typedUser);
        QCOMPARE(m_showAllRuns, 1);
        const QStringList rows = UsersFixture::sessionRows(*m_data);
        QCOMPARE(rows.size(), 1);
        QCOMPARE(rows.first(), QStringLiteral("%1|%2|%3|<null>").arg(m_login->sessionId()).arg(typedUser, kLoginTime));
        QVERIFY(!m_data->ADOQuery1->isOpen());
    } else {
        QVERIFY(m_login->isVisible());
        QVERIFY(m_login->loginResult() != 1);
        QCOMPARE(m_login->sessionId(), 0);
        QCOMPARE(m_showAllRuns, 0);
        QCOMPARE(UsersFixture::sessionRows(*m_data), QStringList());
        if (message == kWrongPassword) {
            QCOMPARE(m_login->Edit1->text(), QString());
            QCOMPARE(m_login->focusWidget(), m_login->Edit1);
            QCOMPARE(m_login->ComboBox1->currentText(), typedUser);
        } else {
            QCOMPARE(m_boxes->asked.first().request.icon, QMessageBox::Warning);
        }
    }
}

void TestLogin::showFillsSortedUserList_data()
{
    QTest::addColumn<UserRows>("users");
    QTest::addColumn<QStringList>("list");

    QTest::newRow("sorted, each name once")
        << UserRows{{"王五", "1"}, {"bob", "1"}, {"Alice", "1"}, {"bob", "2"}, {kAdmin, "947"}}
        << QStringList{"Alice", "bob", "王五", kAdmin};
    QTest::newRow("empty user table") << UserRows{} << QStringList{};
}

void TestLogin::showFillsSortedUserList()
{
    QFETCH(UserRows, users);
    QFETCH(QStringList, list);

    UsersFixture::setUsers(*m_data, users);
    m_login->ComboBox1->addItem(QStringLiteral("left over"));
    m_login->show();

    QStringList shown;
    for (int i = 0; i < m_login->ComboBox1->count(); ++i)
        shown << m_login->ComboBox1->itemText(i);
    QCOMPARE(shown, list);
    QCOMPARE(m_login->ComboBox1->currentText(), list.value(0));
    QCOMPARE(m_login->focusWidget(), m_login->ComboBox1);
    QVERIFY(m_boxes->asked.isEmpty());
}

void TestLogin::showRewritesDesktopShortcut()
{
    const QString shortcut =
        QStandardPaths::writableLocation(QStandardPaths::DesktopLocation) + QStringLiteral("/Quillmora.desktop");
    QVERIFY(shortcut.startsWith(m_workspace->path()));
    QVERIFY(!QFile::exists(shortcut));

    // The launcher starts the program where this run's data.mdb is, even when the
    // process has moved on to another folder since it opened the file.
    const QString dataFolder = m_workspace->path();
    QVERIFY(QDir::setCurrent(QCoreApplication::applicationDirPath()));
    m_login->show();
    QFile file(shortcut);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray written = file.readAll();
    file.close();
    QVERIFY(written.contains("Exec=\"" + QCoreApplication::applicationFilePath().toUtf8() + "\"\n"));
    QVERIFY2(written.contains("\nPath=" + dataFolder.toUtf8() + "\n"), written.constData());

    // Edited by the user in between: the next showing puts it right again.
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("[Desktop Entry]\nName=Changed\n");
    file.close();
    m_login->hide();
    m_login->show();
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), written);
}

void TestLogin::leavingWritesNoSession_data()
{
    QTest::addColumn<bool>("failFirst");
    QTest::addColumn<bool>("useCloseBox");

    QTest::newRow("退出 at once") << false << false;
    QTest::newRow("close box at once") << false << true;
    QTest::newRow("退出 after a failed attempt") << true << false;
    QTest::newRow("close box after a failed attempt") << true << true;
}

void TestLogin::leavingWritesNoSession()
{
    QFETCH(bool, failFirst);
    QFETCH(bool, useCloseBox);

    m_login->show();
    if (failFirst) {
        m_login->Edit1->setText(QStringLiteral("123"));
        m_boxes->expect(QMessageBox::Ok);
        m_login->bitbtn4->click();
        QCOMPARE(askedTexts(), QStringList{kWrongPassword});
    }
    if (useCloseBox)
        m_login->close();
    else
        m_login->BitBtn1->click();

    QVERIFY(!m_login->isVisible());
    QCOMPARE(m_login->result(), int(QDialog::Rejected));
    QVERIFY(m_login->loginResult() != 1);
    if (!useCloseBox)
        QCOMPARE(m_login->loginResult(), 0);
    QCOMPARE(m_showAllRuns, 0);
    QCOMPARE(UsersFixture::sessionRows(*m_data), QStringList());
}

void TestLogin::sessionRowFailureKeepsWindowOpen()
{
    m_login->show();
    m_login->Edit1->setText(QStringLiteral("947"));
    m_data->ADOConnection1->execute(QStringLiteral("alter table rz rename to rz_away"));
    m_boxes->expect(QMessageBox::Ok);
    m_login->bitbtn4->click();

    QCOMPARE(m_boxes->asked.size(), 1);
    QCOMPARE(m_boxes->asked.first().request.icon, QMessageBox::Critical);
    QVERIFY2(m_boxes->asked.first().request.text.contains(QStringLiteral("rz")),
             qPrintable(m_boxes->asked.first().request.text));
    QVERIFY(m_login->isVisible());
    QCOMPARE(m_login->sessionId(), 0);

    // Confirming again once the table is back opens the session, once.
    m_data->ADOConnection1->execute(QStringLiteral("alter table rz_away rename to rz"));
    m_login->bitbtn4->click();
    QVERIFY(!m_login->isVisible());
    QCOMPARE(m_login->result(), int(QDialog::Accepted));
    QCOMPARE(UsersFixture::sessionRows(*m_data).size(), 1);
    QVERIFY(m_login->sessionId() != 0);
}

void TestLogin::enterMovesAndConfirms()
{
    m_login->show();
    QVERIFY(QTest::qWaitForWindowActive(m_login.get()));
    QCOMPARE(m_login->ComboBox1->currentText(), kAdmin);

    // Keys go where the keyboard focus is, as they do for the operator.
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    QCOMPARE(QApplication::focusWidget(), m_login->Edit1);
    QTest::keyClicks(QApplication::focusWidget(), QStringLiteral("947"));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);

    QVERIFY(m_boxes->asked.isEmpty());
    QCOMPARE(m_login->result(), int(QDialog::Accepted));
    QCOMPARE(UsersFixture::sessionRows(*m_data).size(), 1);
}

void TestLogin::typedNameKeepsItsLetterCase_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("leaveBy");
    QTest::addColumn<QString>("name");
    for (const char *leave : {"Enter", "Tab", "click"}) {
        QTest::addRow("BOB, %s", leave) << "BOB" << leave << "BOB";
        QTest::addRow("bob, %s", leave) << "bob" << leave << "bob";
    }
    // The rest of the entry is proposed; the letter typed keeps its case.
    QTest::newRow("b, Enter") << "b" << "Enter" << "bob";
    QTest::newRow("bO, Enter") << "bO" << "Enter" << "bOb";
}

// The list offers "Bob"; the name stays as the operator typed it, and the session row
// and the login's result carry it that way.
void TestLogin::typedNameKeepsItsLetterCase()
{
    QFETCH(QString, typed);
    QFETCH(QString, leaveBy);
    QFETCH(QString, name);
    UsersFixture::setUsers(*m_data, {{QStringLiteral("Bob"), QStringLiteral("abc")}, {kAdmin, QStringLiteral("947")}});
    m_login->show();
    QVERIFY(QTest::qWaitForWindowActive(m_login.get()));
    QCOMPARE(QApplication::focusWidget(), m_login->ComboBox1);

    QTest::keyClick(QApplication::focusWidget(), Qt::Key_A, Qt::ControlModifier);
    QTest::keyClicks(QApplication::focusWidget(), typed);
    if (leaveBy == QLatin1String("Enter"))
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    else if (leaveBy == QLatin1String("Tab"))
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    else
        QTest::mouseClick(m_login->Edit1, Qt::LeftButton);
    QCOMPARE(QApplication::focusWidget(), m_login->Edit1);
    QCOMPARE(m_login->ComboBox1->currentText(), name);

    QTest::keyClicks(QApplication::focusWidget(), QStringLiteral("abc"));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    QVERIFY(m_boxes->asked.isEmpty());
    QCOMPARE(m_login->userName(), name);
    const QStringList rows = UsersFixture::sessionRows(*m_data);
    QCOMPARE(rows.size(), 1);
    QCOMPARE(rows.first().section(QLatin1Char('|'), 1, 1), name);
}

void TestLogin::typedCompletionGivesWayToBackspace()
{
    UsersFixture::setUsers(*m_data, {{QStringLiteral("Bob"), QStringLiteral("abc")}, {kAdmin, QStringLiteral("947")}});
    m_login->show();
    QVERIFY(QTest::qWaitForWindowActive(m_login.get()));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_A, Qt::ControlModifier);
    QTest::keyClicks(QApplication::focusWidget(), QStringLiteral("b"));
    QCOMPARE(m_login->ComboBox1->currentText(), QStringLiteral("bob"));
    // Backspace takes the proposed rest away and does not bring it back.
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backspace);
    QCOMPARE(m_login->ComboBox1->currentText(), QStringLiteral("b"));
    QTest::keyClicks(QApplication::focusWidget(), QStringLiteral("x"));
    QCOMPARE(m_login->ComboBox1->currentText(), QStringLiteral("bx"));
}

QTEST_MAIN(TestLogin)
#include "tst_login.moc"
