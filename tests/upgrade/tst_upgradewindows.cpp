#include "appinfo.h"
#include "scriptedmessageboxes.h"
#include "upMessages.h"
#include "upUpgraderPassword.h"
#include "upUpgraderQuestion.h"
#include "upUpgraderUtils.h"
#include "upUpgraderWizard.h"

#include <QApplication>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QScopeGuard>
#include <QSignalSpy>
#include <QTimer>
#include <QtTest>

using namespace Upgrade;
namespace M = UpgradeMessages;

namespace {

// Runs `action` on the next modal window as soon as it is up.
void whenModal(std::function<void(QWidget *)> action)
{
    auto *timer = new QTimer(qApp);
    timer->setInterval(5);
    QObject::connect(timer, &QTimer::timeout, timer, [timer, action] {
        if (QWidget *modal = QApplication::activeModalWidget()) {
            timer->stop();
            timer->deleteLater();
            action(modal);
        }
    });
    timer->start();
}

} // namespace

class TestUpgradeWindows : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void question_data();
    void question();
    void questionGrowsWithItsText();
    void wizardTexts_data();
    void wizardTexts();
    void wizardContentsInsideTheirFrames_data();
    void wizardContentsInsideTheirFrames();
    void wizardCompletion();
    void wizardCloseAsks_data();
    void wizardCloseAsks();
    void wizardFinishClosesWithoutAsking();
    void password_data();
    void password();
    void messageBoxes();

private:
    ScriptedMessageBoxes *m_boxes = nullptr;
};

void TestUpgradeWindows::init()
{
    m_boxes = &ScriptedMessageBoxes::install();
    M::setLanguage(wlEnglish);
}

void TestUpgradeWindows::cleanup()
{
    QVERIFY(m_boxes->unexpected.isEmpty());
    QCOMPARE(m_boxes->pendingAnswers(), 0);
    MessageBoxService::install(nullptr);
    delete upUpgraderWizardForm.data();
}

void TestUpgradeWindows::question_data()
{
    QTest::addColumn<int>("language");
    QTest::addColumn<QString>("releaseMessage");
    QTest::addColumn<bool>("yes");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("caption");
    QTest::addColumn<QString>("yesText");
    QTest::addColumn<QString>("laterText");

    QTest::newRow("English, Yes")
        << int(wlEnglish) << "Faster printing." << true
        << "A newer version of Quillmora was released.\n\nFaster printing.\n\nDo you want to update your version "
           "with the latest one?"
        << "Application update wizard" << "&Yes" << "&Later";
    QTest::newRow("English, empty message, Later")
        << int(wlEnglish) << "" << false
        << "A newer version of Quillmora was released.\n\nDo you want to update your version with the latest one?"
        << "Application update wizard" << "&Yes" << "&Later";
    QTest::newRow("Chinese")
        << int(wlChineseSimplified) << QStringLiteral("打印更快") << true
        << QStringLiteral("Quillmora已经有新版本推出，\n\n打印更快\n\n您要升级到新版本吗？")
        << QStringLiteral("软件升级精灵") << QStringLiteral("[&Y]是") << QStringLiteral("[&L]稍等一下");
}

void TestUpgradeWindows::question()
{
    QFETCH(int, language);
    QFETCH(QString, releaseMessage);
    QFETCH(bool, yes);
    M::setLanguage(TupWizardLanguage(language));

    QString shownText, shownCaption, shownYes, shownLater;
    bool topmost = false;
    QSize size;
    int labelBottom = 0;
    whenModal([&](QWidget *modal) {
        auto *form = qobject_cast<TupUpgraderQuestionForm *>(modal);
        QVERIFY(form);
        QCOMPARE(form, upUpgraderQuestionForm.data());
        shownText = form->Label1->text();
        shownCaption = form->windowTitle();
        shownYes = form->YesBtn->text();
        shownLater = form->LaterBtn->text();
        topmost = form->windowFlags().testFlag(Qt::WindowStaysOnTopHint);
        size = form->size();
        labelBottom = form->Label1->geometry().bottom() + 1;
        QCOMPARE(form->Label1->width(), 318 - 45 - 11);
        QVERIFY(form->YesBtn->isDefault());
        (yes ? form->YesBtn : form->LaterBtn)->click();
    });
    QCOMPARE(upAskUpgrade(releaseMessage), yes);
    QTEST(shownText, "text");
    QTEST(shownCaption, "caption");
    QTEST(shownYes, "yesText");
    QTEST(shownLater, "laterText");
    QVERIFY(topmost);
    QCOMPARE(size.width(), 318);
    QCOMPARE(size.height(), labelBottom + 45);
    QTRY_VERIFY(upUpgraderQuestionForm.isNull()); // frees itself
}

void TestUpgradeWindows::questionGrowsWithItsText()
{
    QSize shortSize, longSize;
    whenModal([&](QWidget *modal) {
        shortSize = modal->size();
        qobject_cast<TupUpgraderQuestionForm *>(modal)->YesBtn->click();
    });
    upAskUpgrade(QStringLiteral("One line."));
    whenModal([&](QWidget *modal) {
        longSize = modal->size();
        qobject_cast<TupUpgraderQuestionForm *>(modal)->YesBtn->click();
    });
    upAskUpgrade(QStringLiteral("Many changes.\n").repeated(8));
    QCOMPARE(longSize.width(), shortSize.width());
    QVERIFY2(longSize.height() > shortSize.height() + 50,
             qPrintable(QStringLiteral("%1 -> %2").arg(shortSize.height()).arg(longSize.height())));
}

void TestUpgradeWindows::wizardTexts_data()
{
    QTest::addColumn<int>("language");
    QTest::addColumn<QStringList>("texts");

    QTest::newRow("English") << int(wlEnglish)
                             << QStringList{"Application update wizard", "Downloading files...", " Current file ",
                                            " All files ", "Downloading file from", "Preparing. . .", "&Next >",
                                            "&Cancel"};
    QTest::newRow("Chinese") << int(wlChineseSimplified)
                             << QStringList{QStringLiteral("软件升级精灵"), QStringLiteral("文档下载中"),
                                            QStringLiteral(" 当前的文档 "), QStringLiteral(" 全部的文档 "),
                                            QStringLiteral("文档下载源"), QStringLiteral("准备中"),
                                            QStringLiteral("[&N]下一个>"), QStringLiteral("[&C]取消")};
}

void TestUpgradeWindows::wizardTexts()
{
    QFETCH(int, language);
    TupUpgraderWizard settings;
    settings.setLanguage(TupWizardLanguage(language));
    TupUpgraderWizardForm *form = upShowWizard(settings);
    QVERIFY(form->isVisible());
    QVERIFY(!form->isModal());
    const QStringList shown{form->windowTitle(),
                            form->WizardTitle->text(),
                            form->LCurrentFile->title(),
                            form->LAllFiles->title(),
                            form->LDownloadingFileFrom->text(),
                            form->EstimatedTimeLeftLab->text(),
                            form->FinishBtn->text(),
                            form->CancelBtn->text()};
    QTEST(shown, "texts");
    QCOMPARE(form->AboutLabel->text(), QStringLiteral(" Upgrader "));
    QCOMPARE(form->AboutShadow->text(), QStringLiteral(" Upgrader "));
    QVERIFY(!form->FinishBtn->isEnabled());
    QVERIFY(form->CancelBtn->isDefault());
    QVERIFY(form->windowFlags().testFlag(Qt::WindowStaysOnTopHint));
    // 570 x 346 designed at 120 dots per inch; taller only where the fonts need it.
    QCOMPARE(form->width(), 456);
    QVERIFY(form->height() >= 277);
    QCOMPARE(form->ProgressCurrentFile->maximum(), 100);
    QVERIFY(form->FileURL->isReadOnly());
    QCOMPARE(form->FileURL->focusPolicy() & Qt::TabFocus, 0);
}

void TestUpgradeWindows::wizardContentsInsideTheirFrames_data()
{
    QTest::addColumn<int>("language");
    QTest::addColumn<int>("fontPixels"); // 0: the application's font
    QTest::newRow("English") << int(wlEnglish) << 0;
    QTest::newRow("Chinese, simplified") << int(wlChineseSimplified) << 0;
    QTest::newRow("Chinese, traditional") << int(wlChineseTraditional) << 0;
    QTest::newRow("German") << int(wlGerman) << 0;
    QTest::newRow("Russian") << int(wlRussian) << 0;
    QTest::newRow("Chinese, large font") << int(wlChineseSimplified) << 17;
}

void TestUpgradeWindows::wizardContentsInsideTheirFrames()
{
    QFETCH(int, language);
    QFETCH(int, fontPixels);
    const QFont applicationFont = QApplication::font();
    const auto restore = qScopeGuard([&] { QApplication::setFont(applicationFont); });
    TupUpgraderWizard settings;
    settings.setLanguage(TupWizardLanguage(language));
    TupUpgraderWizardForm *form = upShowWizard(settings);
    form->AllDownloading->setText(M::format(M::message(M::FileCounter), {2, 2}));
    form->AllDownloading->adjustSize();
    if (fontPixels > 0) {
        QFont large = applicationFont;
        large.setPixelSize(fontPixels);
        QApplication::setFont(large);
        QCoreApplication::processEvents();
    }

    // Every control of a group box lies inside the frame, below its title, and none
    // covers another.
    for (QGroupBox *box : {form->LCurrentFile, form->LAllFiles}) {
        const QRect inner = box->contentsRect();
        const QList<QWidget *> children = box->findChildren<QWidget *>(Qt::FindDirectChildrenOnly);
        QVERIFY(children.size() >= 2);
        for (QWidget *child : children) {
            QVERIFY2(inner.contains(child->geometry()),
                     qPrintable(QStringLiteral("%1 at %2 outside %3's inner %4")
                                    .arg(child->objectName(), QDebug::toString(child->geometry()), box->objectName(),
                                         QDebug::toString(inner))));
            for (QWidget *other : children) {
                QVERIFY2(child == other || !child->geometry().intersects(other->geometry()),
                         qPrintable(child->objectName() + QStringLiteral(" covers ") + other->objectName()));
            }
        }
    }
    // The boxes, the line and the buttons follow each other inside the window.
    QVERIFY(form->LCurrentFile->geometry().bottom() < form->LAllFiles->geometry().top());
    QVERIFY(form->LAllFiles->geometry().bottom() < form->Bevel1->geometry().top());
    QVERIFY(form->Bevel1->geometry().bottom() < form->FinishBtn->geometry().top());
    QVERIFY(form->rect().contains(form->CancelBtn->geometry()));
    QCOMPARE(form->AboutShadow->pos(), form->AboutLabel->pos() + QPoint(1, 1));
}

void TestUpgradeWindows::wizardCompletion()
{
    TupUpgraderWizard settings;
    settings.StayOnTop = false;
    settings.setLanguage(wlChineseSimplified);
    TupUpgraderWizardForm *form = upShowWizard(settings);
    QVERIFY(!form->windowFlags().testFlag(Qt::WindowStaysOnTopHint));
    form->showCompletion();
    QCOMPARE(form->WizardTitle->text(), QStringLiteral("升级完成！"));
    QCOMPARE(form->AfterNote->text(), QStringLiteral("Quillmora 已经升级完成，\n\n请按[确定]键重新启动程序"));
    QVERIFY(form->AfterNote->height() >= form->AfterNote->heightForWidth(form->AfterNote->width()));
    QVERIFY(form->AfterNote->height() > 0);
    QVERIFY(form->LCurrentFile->isHidden());
    QVERIFY(form->LAllFiles->isHidden());
    QVERIFY(!form->CancelBtn->isEnabled());
    QVERIFY(form->FinishBtn->isEnabled());
    QCOMPARE(form->FinishBtn->text(), QStringLiteral("[&O]确定"));
    QCOMPARE(form->focusWidget(), form->FinishBtn);
    // Escape does nothing once Cancel is disabled.
    QTest::keyClick(form, Qt::Key_Escape);
    QCoreApplication::processEvents();
    QVERIFY(form->isVisible());
}

void TestUpgradeWindows::wizardCloseAsks_data()
{
    QTest::addColumn<bool>("completed");
    QTest::addColumn<bool>("viaCancelButton");
    QTest::addColumn<int>("answer");

    QTest::newRow("downloading, close box, No") << false << false << int(QMessageBox::No);
    QTest::newRow("downloading, Cancel, Yes") << false << true << int(QMessageBox::Yes);
    QTest::newRow("completed, close box, Yes") << true << false << int(QMessageBox::Yes);
    QTest::newRow("completed, close box, No") << true << false << int(QMessageBox::No);
}

void TestUpgradeWindows::wizardCloseAsks()
{
    QFETCH(bool, completed);
    QFETCH(bool, viaCancelButton);
    QFETCH(int, answer);

    TupUpgraderWizardForm *form = upShowWizard(TupUpgraderWizard());
    QPointer<TupUpgraderWizardForm> guard(form);
    QSignalSpy aborted(form, &TupUpgraderWizardForm::upgradeAborted);
    if (completed)
        form->showCompletion();
    m_boxes->expect(QMessageBox::StandardButton(answer));
    if (viaCancelButton)
        form->CancelBtn->click();
    else
        form->close();
    QTRY_COMPARE(m_boxes->asked.size(), 1);
    const MessageBoxRequest &box = m_boxes->asked.first().request;
    QCOMPARE(box.caption, applicationTitle());
    QCOMPARE(box.text, QStringLiteral("The update is not completed.\nWould you like to abort upgrading?"));
    QCOMPARE(box.icon, QMessageBox::Question);
    QCOMPARE(box.buttons, QMessageBox::Yes | QMessageBox::No);

    if (answer == QMessageBox::Yes) {
        QCOMPARE(aborted.size(), 1);
        QTRY_VERIFY(guard.isNull()); // a closed wizard frees itself
    } else {
        QCoreApplication::processEvents();
        QVERIFY(guard && guard->isVisible());
        QCOMPARE(aborted.size(), 0);
    }
}

void TestUpgradeWindows::wizardFinishClosesWithoutAsking()
{
    TupUpgraderWizardForm *form = upShowWizard(TupUpgraderWizard());
    QPointer<TupUpgraderWizardForm> guard(form);
    QSignalSpy aborted(form, &TupUpgraderWizardForm::upgradeAborted);
    form->showCompletion();
    form->FinishBtn->click();
    QTRY_VERIFY(guard.isNull());
    QCOMPARE(aborted.size(), 0);
    QVERIFY(m_boxes->asked.isEmpty());
}

void TestUpgradeWindows::password_data()
{
    QTest::addColumn<int>("language");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<QStringList>("texts");

    QTest::newRow("English, OK")
        << int(wlEnglish) << true
        << QStringList{"Enter password",
                       "Access to remote file \"setup.bin\" is password protected.\n\nPlease enter your username and "
                       "password (received after registration) to continue software upgrade.",
                       "User Name", "Password", "&OK", "&Cancel"};
    QTest::newRow("Chinese, Cancel")
        << int(wlChineseSimplified) << false
        << QStringList{QStringLiteral("请输入密码"),
                       QStringLiteral("远端的文档\"setup.bin\"被密码保护，\n\n请输入您的帐号及密码[注册用户]来继续进行升级操作。"),
                       QStringLiteral("帐号"), QStringLiteral("密码"), QStringLiteral("[&O]确定"),
                       QStringLiteral("[&C]取消")};
}

void TestUpgradeWindows::password()
{
    QFETCH(int, language);
    QFETCH(bool, ok);
    M::setLanguage(TupWizardLanguage(language));

    QStringList shown;
    QString initialPassword = QStringLiteral("<unset>");
    QString initialName;
    QSize size;
    int labelBottom = 0;
    whenModal([&](QWidget *modal) {
        auto *form = qobject_cast<TupUpgraderPasswordForm *>(modal);
        QVERIFY(form);
        shown = QStringList{form->windowTitle(),     form->Label1->text(), form->UsernameLab->text(),
                            form->PasswordLab->text(), form->OKBtn->text(), form->CancelBtn->text()};
        initialName = form->UsernameEdit->text();
        initialPassword = form->PasswordEdit->text();
        QCOMPARE(form->PasswordEdit->echoMode(), QLineEdit::Password);
        size = form->size();
        labelBottom = form->Label1->geometry().bottom() + 1;
        form->UsernameEdit->setText(QStringLiteral("shop"));
        QTest::keyClicks(form->PasswordEdit, QStringLiteral("s3cret"));
        (ok ? form->OKBtn : form->CancelBtn)->click();
    });
    QString userName = QStringLiteral("previous");
    QString password = QStringLiteral("old");
    QCOMPARE(upAskPassword(QStringLiteral("http://127.0.0.1/files/setup.bin"), userName, password), ok);
    QTEST(shown, "texts");
    QCOMPARE(initialName, QStringLiteral("previous"));
    QCOMPARE(initialPassword, QString());
    QCOMPARE(size.width(), 297);
    QCOMPARE(size.height(), labelBottom + 98);
    QCOMPARE(userName, ok ? QStringLiteral("shop") : QStringLiteral("previous"));
    QCOMPARE(password, ok ? QStringLiteral("s3cret") : QStringLiteral("old"));
    QTRY_VERIFY(upUpgraderPasswordForm.isNull());
}

void TestUpgradeWindows::messageBoxes()
{
    M::setLanguage(wlEnglish);
    m_boxes->expect(QMessageBox::Ok);
    upErrorBox(M::message(M::NoUpdateAvailable));
    m_boxes->expect(QMessageBox::Yes);
    QVERIFY(upAskSkipLostFile(QStringLiteral("http://127.0.0.1/dir/data.zip"), 404));
    M::setLanguage(wlChineseSimplified);
    m_boxes->expect(QMessageBox::No);
    QVERIFY(!upAskSkipLostFile(QStringLiteral("http://127.0.0.1/a/b.txt"), 403));

    QCOMPARE(m_boxes->asked.size(), 3);
    const MessageBoxRequest error = m_boxes->asked[0].request;
    QCOMPARE(error.caption, QStringLiteral("Application update wizard"));
    QCOMPARE(error.text, QStringLiteral("Newer version not found. You actually are\nusing most recent version of this program."));
    QCOMPARE(error.icon, QMessageBox::Critical);
    QCOMPARE(error.buttons, QMessageBox::Ok);
    const MessageBoxRequest lost = m_boxes->asked[1].request;
    QCOMPARE(lost.caption, QStringLiteral("Error #404"));
    QCOMPARE(lost.text, QStringLiteral("File data.zip not found or inaccessible.\n\nTry to skip this file and continue upgrade?"));
    QCOMPARE(lost.icon, QMessageBox::Warning);
    QCOMPARE(lost.buttons, QMessageBox::Yes | QMessageBox::No);
    QCOMPARE(m_boxes->asked[2].request.caption, QStringLiteral("错误 #403"));
    QCOMPARE(m_boxes->asked[2].request.text,
             QStringLiteral("文档b.txt找不到或者发生错误，\n\n您要忽略这个文档并且继续升级操作吗？"));
}

QTEST_MAIN(TestUpgradeWindows)
#include "tst_upgradewindows.moc"
