#include "changepass.h"
#include "datamodule.h"
#include "scriptedmessageboxes.h"
#include "testfaults.h"
#include "testworkspace.h"
#include "usersfixture.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QtTest>

namespace {
const QString kAdmin = QStringLiteral("超级管理员");
const QString kChanged = QStringLiteral("你已经成功修改了密码！下次运行程序时生效！");
const QString kMismatch = QStringLiteral("两次输入的密码不一致！请重新输入！");
const QString kWrongOld = QStringLiteral("旧口令不正确！请重新输入！");
} // namespace

class TestChangePassword : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void opensWithOperatorList();
    void choosingOperatorMovesToOldPassword();
    void change_data();
    void change();
    void stayOpenAfterChange();
    void databaseErrorKeepsBoxes();

private:
    void fill(const QString &operatorName, const QString &oldPassword, const QString &newPassword,
              const QString &repetition);
    QStringList askedTexts() const;
    bool windowGone();

    std::unique_ptr<TestWorkspace> m_workspace;
    std::unique_ptr<Tdmfm> m_data;
    QPointer<Tchangepassfm> m_window;
    ScriptedMessageBoxes *m_boxes = nullptr;
};

void TestChangePassword::init()
{
    m_workspace = std::make_unique<TestWorkspace>();
    m_data = std::make_unique<Tdmfm>();
    UsersFixture::setUsers(*m_data, {{kAdmin, "947"}, {"bob", "abc"}, {"ann", "a1"}});
    m_boxes = &ScriptedMessageBoxes::install();
    m_window = new Tchangepassfm;
}

void TestChangePassword::cleanup()
{
    delete m_window.data();
    MessageBoxService::install(nullptr);
    m_data.reset();
    m_workspace.reset();
}

void TestChangePassword::fill(const QString &operatorName, const QString &oldPassword, const QString &newPassword,
                              const QString &repetition)
{
    m_window->ComboBox1->setCurrentIndex(m_window->ComboBox1->findText(operatorName));
    m_window->Edit1->setText(oldPassword);
    m_window->Edit14->setText(newPassword);
    m_window->Edit15->setText(repetition);
}

QStringList TestChangePassword::askedTexts() const
{
    QStringList texts;
    for (const auto &asked : m_boxes->asked)
        texts << asked.request.text;
    return texts;
}

bool TestChangePassword::windowGone()
{
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    return m_window.isNull();
}

void TestChangePassword::opensWithOperatorList()
{
    QVERIFY(m_window->isVisible());
    QCOMPARE(m_window->windowTitle(), QStringLiteral("更改密码"));
    QStringList list;
    for (int i = 0; i < m_window->ComboBox1->count(); ++i)
        list << m_window->ComboBox1->itemText(i);
    QCOMPARE(list, (QStringList{"ann", "bob", kAdmin}));
    QCOMPARE(m_window->ComboBox1->currentIndex(), -1);
    QVERIFY(!m_window->ComboBox1->isEditable());
    QCOMPARE(m_window->focusWidget(), m_window->ComboBox1);
    QVERIFY(m_window->CheckBox1->isChecked());
    for (QLineEdit *edit : {m_window->Edit1, m_window->Edit14, m_window->Edit15}) {
        QCOMPARE(edit->text(), QString());
        QCOMPARE(edit->maxLength(), 10);
    }
}

void TestChangePassword::choosingOperatorMovesToOldPassword()
{
    QTest::keyClick(m_window->ComboBox1, Qt::Key_Down);
    QCOMPARE(m_window->ComboBox1->currentText(), QStringLiteral("ann"));
    QCOMPARE(m_window->focusWidget(), m_window->Edit1);
}

void TestChangePassword::change_data()
{
    QTest::addColumn<QString>("operatorName");
    QTest::addColumn<QString>("oldPassword");
    QTest::addColumn<QString>("newPassword");
    QTest::addColumn<QString>("repetition");
    QTest::addColumn<QString>("message");
    QTest::addColumn<QString>("bobsPassword");
    QTest::addColumn<QString>("focus");

    QTest::newRow("change") << "bob" << "abc" << "xyz9" << "xyz9" << kChanged << "xyz9" << "";
    QTest::newRow("old password in other letter case") << "bob" << "ABC" << "xyz" << "xyz" << kChanged << "xyz" << "";
    QTest::newRow("blanks around the pasted passwords")
        << "bob" << " abc " << "\txyz  " << " xyz" << kChanged << "xyz" << "";
    QTest::newRow("no operator chosen") << "" << "abc" << "xyz" << "xyz" << "必须选择用户！" << "abc" << "ComboBox1";
    QTest::newRow("blank old password") << "bob" << "  " << "xyz" << "xyz" << "必须输入旧口令！" << "abc" << "Edit1";
    QTest::newRow("blank new password") << "bob" << "abc" << " " << "" << "新口令长度不能为空！" << "abc" << "Edit14";
    QTest::newRow("repetition differs") << "bob" << "abc" << "xyz" << "xyy" << kMismatch << "abc" << "Edit15";
    QTest::newRow("repetition differs in letter case") << "bob" << "abc" << "Xyz" << "xyz" << kMismatch << "abc" << "Edit15";
    QTest::newRow("blank repetition") << "bob" << "abc" << "xyz" << "" << kMismatch << "abc" << "Edit15";
    QTest::newRow("wrong old password") << "bob" << "abd" << "xyz" << "xyz" << kWrongOld << "abc" << "Edit1";
    QTest::newRow("another user's password as old") << "bob" << "947" << "xyz" << "xyz" << kWrongOld << "abc" << "Edit1";
}

void TestChangePassword::change()
{
    QFETCH(QString, operatorName);
    QFETCH(QString, oldPassword);
    QFETCH(QString, newPassword);
    QFETCH(QString, repetition);
    QFETCH(QString, message);
    QFETCH(QString, bobsPassword);
    QFETCH(QString, focus);

    fill(operatorName, oldPassword, newPassword, repetition);
    m_boxes->expect(QMessageBox::Ok);
    m_window->bitbtn4->click();

    QCOMPARE(askedTexts(), QStringList{message});
    QVERIFY(UsersFixture::passwordIs(*m_data, QStringLiteral("bob"), bobsPassword));
    QVERIFY(UsersFixture::passwordIs(*m_data, kAdmin, QStringLiteral("947")));
    QVERIFY(UsersFixture::passwordIs(*m_data, QStringLiteral("ann"), QStringLiteral("a1")));
    if (message == kChanged) {
        QCOMPARE(m_boxes->asked.first().request.icon, QMessageBox::Information);
        QVERIFY(windowGone());
        return;
    }
    QVERIFY(!windowGone());
    QVERIFY(m_window->isVisible());
    QCOMPARE(m_window->focusWidget(), m_window->findChild<QWidget *>(focus));
    // Only the box at fault is emptied, and only for a mismatch or a wrong old password.
    QCOMPARE(m_window->Edit1->text(), message == kWrongOld ? QString() : oldPassword);
    QCOMPARE(m_window->Edit14->text(), newPassword);
    QCOMPARE(m_window->Edit15->text(), message == kMismatch ? QString() : repetition);
}

void TestChangePassword::stayOpenAfterChange()
{
    m_window->CheckBox1->setChecked(false);
    fill(QStringLiteral("bob"), QStringLiteral("abc"), QStringLiteral("one1"), QStringLiteral("one1"));
    m_boxes->expect(QMessageBox::Ok);
    m_window->bitbtn4->click();
    QVERIFY(!windowGone());
    QCOMPARE(m_window->ComboBox1->currentText(), QStringLiteral("bob"));
    QCOMPARE(m_window->Edit1->text() + m_window->Edit14->text() + m_window->Edit15->text(), QString());

    // A second change for the same operator needs no new choice.
    m_window->Edit1->setText(QStringLiteral("one1"));
    m_window->Edit14->setText(QStringLiteral("two2"));
    m_window->Edit15->setText(QStringLiteral("two2"));
    m_boxes->expect(QMessageBox::Ok);
    m_window->bitbtn4->click();
    QCOMPARE(askedTexts(), (QStringList{kChanged, kChanged}));
    QVERIFY(UsersFixture::passwordIs(*m_data, QStringLiteral("bob"), QStringLiteral("two2")));
    QVERIFY(m_window->isVisible());

    m_window->BitBtn1->click();
    QVERIFY(windowGone());
    QVERIFY(!m_data->ADOQuery1->isOpen());
}

void TestChangePassword::databaseErrorKeepsBoxes()
{
    TestFaults::refuseWrites(*m_data->ADOConnection1, QStringLiteral("userdb"), QStringLiteral("update"),
                             QStringLiteral("userdb is read-only"));
    fill(QStringLiteral("bob"), QStringLiteral("abc"), QStringLiteral("xyz"), QStringLiteral("xyz"));
    m_boxes->expect(QMessageBox::Ok);
    m_window->bitbtn4->click();

    QCOMPARE(m_boxes->asked.size(), 1);
    QCOMPARE(m_boxes->asked.first().request.icon, QMessageBox::Critical);
    QVERIFY(m_boxes->asked.first().request.text.contains(QStringLiteral("userdb is read-only")));
    QVERIFY(!windowGone());
    QCOMPARE(m_window->Edit1->text() + m_window->Edit14->text() + m_window->Edit15->text(), QStringLiteral("abcxyzxyz"));
    QVERIFY(UsersFixture::passwordIs(*m_data, QStringLiteral("bob"), QStringLiteral("abc")));
}

QTEST_MAIN(TestChangePassword)
#include "tst_changepass.moc"
