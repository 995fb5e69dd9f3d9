// The application object as the program builds it: Qt's own dialogs and buttons speak
// Chinese, and every password box shows a star for each character.
#include "application.h"
#include "changepass.h"
#include "datamodule.h"
#include "login.h"
#include "qttranslations.h"
#include "savedialog.h"
#include "skinengine.h"
#include "testworkspace.h"
#include "upUpgraderPassword.h"
#include "usergl.h"

#include <QAbstractButton>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <QTranslator>
#include <QtTest>

namespace {

QString buttonText(QMessageBox &box, QMessageBox::StandardButton which)
{
    QAbstractButton *button = box.button(which);
    return button ? button->text() : QString();
}

// The texts a modal dialog shows, read while it is open; the dialog is then closed.
struct OpenDialogTexts
{
    QString title;
    QStringList labels;
    QStringList buttons;
};

} // namespace

class TestApplication : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void stockButtonsSpeakChinese();
    void saveDialogSpeaksChinese();
    void catalogueFollowsTheLocalesScript_data();
    void catalogueFollowsTheLocalesScript();
    void traditionalChineseLocaleGetsTraditionalTexts();
    void passwordBoxesShowStars_data();
    void passwordBoxesShowStars();
};

void TestApplication::initTestCase()
{
    QVERIFY(qobject_cast<Application *>(QCoreApplication::instance()));
}

void TestApplication::stockButtonsSpeakChinese()
{
    QMessageBox box(QMessageBox::Question, QStringLiteral("Quillmora"), QStringLiteral("?"),
                    QMessageBox::Ok | QMessageBox::Cancel | QMessageBox::Yes | QMessageBox::No);
    QCOMPARE(buttonText(box, QMessageBox::Ok), QStringLiteral("确定"));
    QCOMPARE(buttonText(box, QMessageBox::Cancel), QStringLiteral("取消"));
    QCOMPARE(buttonText(box, QMessageBox::Yes), QStringLiteral("是(&Y)"));
    QCOMPARE(buttonText(box, QMessageBox::No), QStringLiteral("否(&N)"));
}

void TestApplication::saveDialogSpeaksChinese()
{
    // The program's own save dialog, as the export opens it when no test chooser is set.
    SaveDialog::setChooser(nullptr);
    OpenDialogTexts seen;
    QTimer::singleShot(0, this, [&seen] {
        auto *dialog = qobject_cast<QFileDialog *>(QApplication::activeModalWidget());
        QVERIFY(dialog);
        seen.title = dialog->windowTitle();
        for (QLabel *label : dialog->findChildren<QLabel *>()) {
            if (label->isVisible())
                seen.labels << label->text();
        }
        for (QPushButton *button : dialog->findChildren<QDialogButtonBox *>().value(0)->findChildren<QPushButton *>())
            seen.buttons << button->text();
        dialog->reject();
    });
    const std::optional<QString> chosen =
        SaveDialog::choose(nullptr, {QStringLiteral("Excel 文件|*.xls"), QStringLiteral("xls")});
    QVERIFY(!chosen);
    QCOMPARE(seen.title, QStringLiteral("另存为"));
    QVERIFY2(seen.labels.contains(QStringLiteral("查找范围：")), qPrintable(seen.labels.join(QLatin1Char('|'))));
    QVERIFY2(seen.labels.contains(QStringLiteral("文件名称(&N)：")), qPrintable(seen.labels.join(QLatin1Char('|'))));
    QVERIFY2(seen.buttons.contains(QStringLiteral("保存(&S)")) && seen.buttons.contains(QStringLiteral("取消")),
             qPrintable(seen.buttons.join(QLatin1Char('|'))));
}

void TestApplication::catalogueFollowsTheLocalesScript_data()
{
    QTest::addColumn<QString>("locale");
    QTest::addColumn<QString>("catalogue");
    QTest::newRow("mainland") << "zh_CN" << "zh_CN";
    QTest::newRow("Singapore") << "zh_SG" << "zh_CN";
    QTest::newRow("Taiwan") << "zh_TW" << "zh_TW";
    QTest::newRow("Hong Kong") << "zh_HK" << "zh_TW";
    QTest::newRow("Macao") << "zh_MO" << "zh_TW";
    QTest::newRow("traditional script named") << "zh_Hant_CN" << "zh_TW";
    // The program speaks Chinese whatever the system's language.
    QTest::newRow("English") << "en_US" << "zh_CN";
    QTest::newRow("C") << "C" << "zh_CN";
}

void TestApplication::catalogueFollowsTheLocalesScript()
{
    QFETCH(QString, locale);
    QFETCH(QString, catalogue);
    QCOMPARE(QtTranslations::catalogueFor(QLocale(locale)), catalogue);
}

void TestApplication::traditionalChineseLocaleGetsTraditionalTexts()
{
    QTranslator *traditional = QtTranslations::install(QLocale(QStringLiteral("zh_HK")));
    QVERIFY(traditional);
    {
        QMessageBox box(QMessageBox::Question, QStringLiteral("Quillmora"), QStringLiteral("?"),
                        QMessageBox::Ok | QMessageBox::Cancel);
        QCOMPARE(buttonText(box, QMessageBox::Ok), QStringLiteral("確定"));
        QCOMPARE(buttonText(box, QMessageBox::Cancel), QStringLiteral("取消"));
    }
    QCoreApplication::removeTranslator(traditional);
    traditional->deleteLater();
}

void TestApplication::passwordBoxesShowStars_data()
{
    QTest::addColumn<int>("skin");
    QTest::newRow("default look") << -1;
    QTest::newRow("black classic") << 1;
    QTest::newRow("dream come true") << 4;
}

void TestApplication::passwordBoxesShowStars()
{
    QFETCH(int, skin);
    TestWorkspace workspace;
    Tdmfm data(workspace.databasePath());
    if (skin < 0)
        SkinEngine::applyDefault();
    else
        SkinEngine::apply(skin);

    Tloginfm login;
    Tchangepassfm change;
    Tuserglfm users;
    TupUpgraderPasswordForm upgrade;
    int boxes = 0;
    for (QWidget *window : std::initializer_list<QWidget *>{&login, &change, &users, &upgrade}) {
        window->show();
        for (QLineEdit *edit : window->findChildren<QLineEdit *>()) {
            if (edit->echoMode() != QLineEdit::Password)
                continue;
            ++boxes;
            edit->setText(QStringLiteral("ab9"));
            QCOMPARE(edit->displayText(), QStringLiteral("***"));
        }
    }
    // The login, three in the password change, the administrator's, the upgrade's.
    QCOMPARE(boxes, 6);
    SkinEngine::applyDefault();
}

int main(int argc, char **argv)
{
    Application app(argc, argv);
    QTEST_SET_MAIN_SOURCE_PATH
    TestApplication test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_application.moc"
