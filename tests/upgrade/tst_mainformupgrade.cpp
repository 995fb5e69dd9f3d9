#include "clock.h"
#include "datamodule.h"
#include "mainform.h"
#include "scriptedmessageboxes.h"
#include "testworkspace.h"
#include "upMessages.h"
#include "upUpgrader.h"
#include "upUpgraderQuestion.h"
#include "upUpgraderWizard.h"
#include "upgradeserver.h"

#include <QAction>
#include <QApplication>
#include <QPushButton>
#include <QTimer>
#include <QtTest>

using namespace Upgrade;

// The main window's upgrade component and the check each activation starts.
class MainFormUpgradeTest : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        for (const char *proxy : {"http_proxy", "HTTP_PROXY", "all_proxy", "ALL_PROXY"})
            qunsetenv(proxy);
        m_boxes = &ScriptedMessageBoxes::install();
        m_workspace = std::make_unique<TestWorkspace>();
        m_module = std::make_unique<Tdmfm>();
    }
    void cleanup()
    {
        QVERIFY(m_boxes->unexpected.isEmpty());
        m_module.reset();
        m_workspace.reset();
    }
    void holdsTheConfiguredComponent();
    void everyActivationChecksSilently();
    void noNewCheckWhileAnOutcomeIsOnScreen();

private:
    ScriptedMessageBoxes *m_boxes = nullptr;
    std::unique_ptr<TestWorkspace> m_workspace;
    std::unique_ptr<Tdmfm> m_module;
};

void MainFormUpgradeTest::holdsTheConfiguredComponent()
{
    TMainForm form;
    TupUpgrader *upgrader = form.findChild<TupUpgrader *>(QStringLiteral("upUpgrader1"));
    QVERIFY(upgrader);
    QCOMPARE(upgrader, form.upUpgrader1);
    QCOMPARE(upgrader->InfoFileURL, QStringLiteral("http://"));
    QCOMPARE(upgrader->VersionDate, QStringLiteral("03/12/2014"));
    QCOMPARE(upgrader->ShowMessages, mAskUpgrade | mConnLost | mLostFile | mPasswordRequest);
    QCOMPARE(upgrader->AutoCheck(), false);
    QCOMPARE(upgrader->RestartParams(), QStringLiteral("/afterupgrade"));
    QCOMPARE(upgrader->VersionControl, byDate);
    QCOMPARE(upgrader->MiscFilesUpgrade, mfuAlwaysDownload);
    QCOMPARE(upgrader->VersionNumber, QString());
    QVERIFY(upgrader->Wizard.Enabled);
    QCOMPARE(upgrader->Wizard.Language(), wlAuto);
}

void MainFormUpgradeTest::everyActivationChecksSilently()
{
    TMainForm form;
    form.setSessionId(1); // logged in: activation runs the check only
    int ended = 0;
    form.upUpgrader1->OnHostUnreachable = [&](QObject *, const QString &, const QString &) { ++ended; };
    form.upUpgrader1->OnNoInfoFile = [&](QObject *) { ++ended; };
    for (int activation = 1; activation <= 3; ++activation) {
        form.activationStep();
        QTRY_COMPARE(ended, activation);
        QTRY_VERIFY(!form.upUpgrader1->Busy());
    }
    QVERIFY(m_boxes->asked.isEmpty());
    QVERIFY(upUpgraderQuestionForm.isNull());
    QVERIFY(upUpgraderWizardForm.isNull());
    QVERIFY(!form.upUpgrader1->upgradeInProgress());
}

void MainFormUpgradeTest::noNewCheckWhileAnOutcomeIsOnScreen()
{
    UpgradeServer server;
    QVERIFY(server.isRunning());
    server.put(QStringLiteral("info.txt"),
               QStringLiteral("#url=%1\r\n#date=01/01/2020\r\n").arg(server.url(QStringLiteral("a.txt"))).toUtf8());
    TMainForm form;
    form.setSessionId(1);
    TupUpgrader *upgrader = form.upUpgrader1;
    upgrader->InfoFileURL = server.url(QStringLiteral("info.txt"));
    int begins = 0, laters = 0;
    upgrader->OnBeginUpgrade = [&](QObject *, const QString &, TupUpgradeMethod, const QStringList &, bool &) {
        ++begins;
    };
    upgrader->OnLaterUpgrade = [&](QObject *) { ++laters; };

    // While the question is open, the main window becomes active again.
    auto *timer = new QTimer(&form);
    connect(timer, &QTimer::timeout, &form, [&] {
        auto *question = qobject_cast<TupUpgraderQuestionForm *>(QApplication::activeModalWidget());
        if (!question)
            return;
        timer->stop();
        form.activationStep();
        QTest::qWait(300);
        question->LaterBtn->click();
    });
    timer->start(5);
    form.activationStep();
    QTRY_COMPARE(laters, 1);
    QTest::qWait(300);
    QCOMPARE(begins, 1);
    QVERIFY(!upgrader->upgradeInProgress());

    // Once it has been answered, the next activation checks again.
    timer->start(5);
    form.activationStep();
    QTRY_COMPARE(laters, 2);
    QCOMPARE(begins, 2);
}

QTEST_MAIN(MainFormUpgradeTest)
#include "tst_mainformupgrade.moc"
