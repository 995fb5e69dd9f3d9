#include "clock.h"
#include "datamodule.h"
#include "mainform.h"
#include "scriptedmessageboxes.h"
#include "testworkspace.h"
#include "upMessages.h"
#include "upRelease.h"
#include "upUpgrader.h"
#include "upUpgraderQuestion.h"
#include "upUpgraderWizard.h"
#include "upgradeserver.h"

#include <QAction>
#include <QApplication>
#include <QPushButton>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>
#include <QtTest>

using namespace Upgrade;
namespace M = UpgradeMessages;

namespace {

// A proxy on loopback that answers every request itself with an information file
// offering a program of its own: what anyone between a till and the publisher could do.
class AnsweringProxy : public QObject
{
public:
    AnsweringProxy()
    {
        m_server.listen(QHostAddress::LocalHost);
        connect(&m_server, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket *socket = m_server.nextPendingConnection()) {
                ++requests;
                connect(socket, &QTcpSocket::readyRead, socket, [socket] {
                    if (!socket->readAll().contains("\r\n\r\n"))
                        return;
                    const QByteArray body = "#url=http://127.0.0.1:9/quillmora\r\n#date=01/01/2030\r\n";
                    socket->write("HTTP/1.1 200 OK\r\nContent-Length: " + QByteArray::number(body.size())
                                  + "\r\nConnection: close\r\n\r\n" + body);
                    socket->disconnectFromHost();
                });
                connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
            }
        });
    }
    QByteArray address() const { return "http://127.0.0.1:" + QByteArray::number(m_server.serverPort()); }
    int requests = 0;

private:
    QTcpServer m_server;
};

} // namespace

// The main window's upgrade component and the check each activation starts.
class MainFormUpgradeTest : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        for (const char *proxy : {"http_proxy", "HTTP_PROXY", "all_proxy", "ALL_PROXY"})
            qunsetenv(proxy);
        // Signed as a published build is; the build of the tests holds no key.
        m_keys = Release::generateKeyPair();
        TupUpgrader::setDefaultReleaseKey(QString::fromLatin1(m_keys.publicKey.toBase64()));
        m_boxes = &ScriptedMessageBoxes::install();
        m_workspace = std::make_unique<TestWorkspace>();
        m_module = std::make_unique<Tdmfm>();
    }
    void cleanup()
    {
        QVERIFY(m_boxes->unexpected.isEmpty());
        m_module.reset();
        m_workspace.reset();
        TupUpgrader::setDefaultReleaseKey(QString());
        for (const char *proxy : {"http_proxy", "HTTP_PROXY"})
            qunsetenv(proxy);
    }
    void holdsTheConfiguredComponent();
    void everyActivationChecksSilently();
    void noNewCheckWhileAnOutcomeIsOnScreen();
    void withoutKeyUpgradesAreOff();
    void unsignedAnswerOfAProxyIsRefused();

private:
    Release::KeyPair m_keys;
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
    const QByteArray info = QStringLiteral("#url=%1\r\n#date=01/01/2020\r\n#version=9.0\r\n")
                                .arg(server.url(QStringLiteral("a.txt")))
                                .toUtf8();
    server.put(QStringLiteral("info.txt"),
               Release::sign(info, {{server.url(QStringLiteral("a.txt")), 1, Release::sha256Hex("a")}},
                             m_keys.secretKey));
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

void MainFormUpgradeTest::withoutKeyUpgradesAreOff()
{
    // A build configured without a release key, on a till whose traffic goes through
    // a proxy that answers the check with a program of its own.
    TupUpgrader::setDefaultReleaseKey(QString());
    AnsweringProxy proxy;
    qputenv("http_proxy", proxy.address());
    UpgradeServer server;
    QVERIFY(server.isRunning());
    server.put(QStringLiteral("info.txt"), "#url=http://127.0.0.1:9/quillmora\r\n#date=01/01/2030\r\n");

    TMainForm form;
    form.setSessionId(1);
    QVERIFY(!form.upUpgrader1->upgradesEnabled());
    int ended = 0, begins = 0;
    form.upUpgrader1->OnNoUpdateAvailable = [&](QObject *) { ++ended; };
    form.upUpgrader1->OnBeginUpgrade = [&](QObject *, const QString &, TupUpgradeMethod, const QStringList &,
                                           bool &) { ++begins; };
    form.activationStep();
    QTRY_COMPARE(ended, 1);
    // Nothing was asked of the network, nothing was offered or shown.
    QTest::qWait(300);
    QCOMPARE(proxy.requests, 0);
    QCOMPARE(begins, 0);
    QVERIFY(m_boxes->asked.isEmpty());
    QVERIFY(upUpgraderQuestionForm.isNull());
    QVERIFY(!form.upUpgrader1->Busy());

    // Also with an unsigned information file on a real web server at the address.
    form.upUpgrader1->InfoFileURL = server.url(QStringLiteral("info.txt"));
    qunsetenv("http_proxy");
    form.activationStep();
    QTRY_COMPARE(ended, 2);
    QTest::qWait(300);
    QCOMPARE(begins, 0);
    QVERIFY(m_boxes->asked.isEmpty());

    // Asked for by hand, the component says why nothing comes, in the wizard's language.
    M::setLanguage(wlChineseSimplified);
    form.upUpgrader1->ShowMessages = mNoUpdateAvailable;
    m_boxes->expect(QMessageBox::Ok);
    form.upUpgrader1->CheckUpdate();
    QTRY_COMPARE(ended, 3);
    QCOMPARE(m_boxes->asked.size(), 1);
    QCOMPARE(m_boxes->asked.first().request.text, QStringLiteral("此版本的程序已关闭升级：构建时没有发布者的发布密钥。"));
    QCOMPARE(begins, 0);
}

void MainFormUpgradeTest::unsignedAnswerOfAProxyIsRefused()
{
    // A build with a key asks, and refuses what the proxy made up.
    AnsweringProxy proxy;
    qputenv("http_proxy", proxy.address());
    TMainForm form;
    form.setSessionId(1);
    QVERIFY(form.upUpgrader1->upgradesEnabled());
    int ended = 0, begins = 0;
    form.upUpgrader1->OnNoUpdateAvailable = [&](QObject *) { ++ended; };
    form.upUpgrader1->OnBeginUpgrade = [&](QObject *, const QString &, TupUpgradeMethod, const QStringList &,
                                           bool &) { ++begins; };
    form.activationStep();
    QTRY_COMPARE(ended, 1);
    QCOMPARE(proxy.requests, 1);
    QCOMPARE(begins, 0);
    QVERIFY(m_boxes->asked.isEmpty());
    QVERIFY(upUpgraderQuestionForm.isNull());
    QVERIFY(upUpgraderWizardForm.isNull());
}

QTEST_MAIN(MainFormUpgradeTest)
#include "tst_mainformupgrade.moc"
