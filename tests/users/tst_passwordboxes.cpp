#include "changepass.h"
#include "datamodule.h"
#include "login.h"
#include "scriptedmessageboxes.h"
#include "testworkspace.h"
#include "usergl.h"
#include "usersfixture.h"

#include <QLineEdit>
#include <QPushButton>
#include <QtTest>

// The password boxes of the three user windows: what the keyboard may type into them
// and where Enter goes.
class TestPasswordBoxes : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void typing_data();
    void typing();
    void enterMovesFocus_data();
    void enterMovesFocus();

private:
    QWidget *openWindow(const QString &kind);

    std::unique_ptr<TestWorkspace> m_workspace;
    std::unique_ptr<Tdmfm> m_data;
    std::unique_ptr<QWidget> m_window;
    ScriptedMessageBoxes *m_boxes = nullptr;
};

void TestPasswordBoxes::init()
{
    m_workspace = std::make_unique<TestWorkspace>();
    m_data = std::make_unique<Tdmfm>();
    m_boxes = &ScriptedMessageBoxes::install();
}

void TestPasswordBoxes::cleanup()
{
    m_window.reset();
    MessageBoxService::install(nullptr);
    m_data.reset();
    m_workspace.reset();
}

QWidget *TestPasswordBoxes::openWindow(const QString &kind)
{
    if (kind == QLatin1String("login")) {
        m_window = std::make_unique<Tloginfm>();
        m_window->show();
    } else if (kind == QLatin1String("changepass")) {
        m_window = std::make_unique<Tchangepassfm>();
    } else {
        m_window = std::make_unique<Tuserglfm>();
    }
    return m_window.get();
}

namespace {
// Types text key by key; a character outside Latin-1 arrives as a key with that text,
// as an input method or keyboard layout delivers it.
void typeText(QWidget *widget, const QString &text)
{
    for (const QChar c : text) {
        if (c.unicode() < 0x80)
            QTest::keyClick(widget, char(c.unicode()));
        else
            QTest::sendKeyEvent(QTest::Click, widget, Qt::Key_unknown, QString(c), Qt::NoModifier);
    }
}

const QList<QPair<QString, QString>> kBoxes{{"login", "Edit1"},      {"changepass", "Edit1"},
                                            {"changepass", "Edit14"}, {"changepass", "Edit15"},
                                            {"usergl", "LabeledEdit1"}};
}

void TestPasswordBoxes::typing_data()
{
    QTest::addColumn<QString>("window");
    QTest::addColumn<QString>("box");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("expected");

    const QList<std::tuple<const char *, QString, QString>> cases{
        {"letters and digits", "Quill9mora", "Quill9mora"},
        {"punctuation, blanks, quotes and Chinese dropped", "a b!c'd\"中e_f-9;", "abcdef9"},
        {"backspace edits", "abx\bc", "abc"},
        {"at most ten characters", "abcdefghijkl", "abcdefghij"},
    };
    for (const auto &[window, box] : kBoxes) {
        for (const auto &[name, typed, expected] : cases)
            QTest::addRow("%s %s: %s", qPrintable(window), qPrintable(box), name) << window << box << typed << expected;
    }
}

void TestPasswordBoxes::typing()
{
    QFETCH(QString, window);
    QFETCH(QString, box);
    QFETCH(QString, typed);
    QFETCH(QString, expected);

    auto *edit = openWindow(window)->findChild<QLineEdit *>(box);
    QVERIFY(edit);
    QCOMPARE(edit->echoMode(), QLineEdit::Password);
    typeText(edit, typed);
    QCOMPARE(edit->text(), expected);
    QVERIFY(m_boxes->asked.isEmpty());
}

void TestPasswordBoxes::enterMovesFocus_data()
{
    QTest::addColumn<QString>("window");
    QTest::addColumn<QString>("box");
    QTest::addColumn<QString>("next");

    QTest::newRow("old password to new") << "changepass" << "Edit1" << "Edit14";
    QTest::newRow("new password to repetition") << "changepass" << "Edit14" << "Edit15";
    QTest::newRow("repetition to the change button") << "changepass" << "Edit15" << "bitbtn4";
    QTest::newRow("administrator password to 登录") << "usergl" << "LabeledEdit1" << "BitBtn3";
}

void TestPasswordBoxes::enterMovesFocus()
{
    QFETCH(QString, window);
    QFETCH(QString, box);
    QFETCH(QString, next);

    QWidget *opened = openWindow(window);
    auto *edit = opened->findChild<QLineEdit *>(box);
    edit->setFocus();
    QTest::keyClicks(edit, QStringLiteral("947"));
    QTest::keyClick(edit, Qt::Key_Return);
    QCOMPARE(opened->focusWidget(), opened->findChild<QWidget *>(next));
    // Only the focus moves: nothing is pressed, asked or emptied.
    QVERIFY(m_boxes->asked.isEmpty());
    QCOMPARE(edit->text(), QStringLiteral("947"));
    QVERIFY(opened->isVisible());
}

QTEST_MAIN(TestPasswordBoxes)
#include "tst_passwordboxes.moc"
