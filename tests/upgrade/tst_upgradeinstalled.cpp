#include "installlayout.h"
#include "scriptedmessageboxes.h"
#include "testfiles.h"
#include "upMessages.h"
#include "upUpgrader.h"
#include "upUpgraderUtils.h"
#include "upgradeserver.h"

#include <QDir>
#include <QTemporaryDir>
#include <QtTest>

using namespace Upgrade;

// A program installed by the package manager is upgraded by the package manager: the
// component checks nothing and replaces nothing there, against a real web server that
// offers a newer release. The same program in a folder of its own takes the upgrade.
class TestUpgradeInstalled : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanup();
    void newerReleaseOffered_data();
    void newerReleaseOffered();
};

void TestUpgradeInstalled::initTestCase()
{
    qputenv("LC_ALL", "C");
    for (const char *proxy : {"http_proxy", "HTTP_PROXY", "all_proxy", "ALL_PROXY"})
        qunsetenv(proxy);
    UpgradeMessages::setLanguage(wlEnglish);
}

void TestUpgradeInstalled::cleanup()
{
    MessageBoxService::install(nullptr);
    upSetProcessStarter(nullptr);
    upSetApplicationFilePath({});
    InstallLayout::setBinaryFolder({});
    qunsetenv("XDG_RUNTIME_DIR");
}

void TestUpgradeInstalled::newerReleaseOffered_data()
{
    QTest::addColumn<bool>("installed");
    QTest::newRow("installed by the package manager") << true;
    QTest::newRow("in a folder of its own") << false;
}

void TestUpgradeInstalled::newerReleaseOffered()
{
    QFETCH(bool, installed);
    UpgradeServer server;
    QVERIFY(server.isRunning());
    server.put(QStringLiteral("quillmora"), "new program");
    server.put(QStringLiteral("info.txt"),
               QStringLiteral("#url=%1\r\n#date=03/13/2014\r\n").arg(server.url(QStringLiteral("quillmora"))).toUtf8());

    QTemporaryDir bin;
    QTemporaryDir runtime; // the user's runtime folder, where a replacer would be written
    qputenv("XDG_RUNTIME_DIR", runtime.path().toLocal8Bit());
    const QString executable = QDir(bin.path()).filePath(QStringLiteral("quillmora"));
    {
        QFile file(executable);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("old program");
    }
    upSetApplicationFilePath(executable);
    QTemporaryDir otherBin;
    InstallLayout::setBinaryFolder(installed ? bin.path() : otherBin.path());
    QStringList started;
    upSetProcessStarter([&](const QString &program, const QStringList &) {
        started << program;
        return true;
    });
    auto &boxes = ScriptedMessageBoxes::install();

    TupUpgrader upgrader;
    upgrader.InfoFileURL = server.url(QStringLiteral("info.txt"));
    upgrader.VersionDate = QStringLiteral("03/12/2014");
    upgrader.Wizard.Enabled = false;
    upgrader.ShowMessages = {}; // every outcome would otherwise also show a box
    QStringList events;
    upgrader.OnBeginUpgrade = [&](QObject *, const QString &, TupUpgradeMethod, const QStringList &, bool &) {
        events << QStringLiteral("begin");
    };
    upgrader.OnNoUpdateAvailable = [&](QObject *) { events << QStringLiteral("nonewer"); };
    upgrader.OnNoInfoFile = [&](QObject *) { events << QStringLiteral("noinfofile"); };
    upgrader.OnHostUnreachable = [&](QObject *, const QString &, const QString &) { events << QStringLiteral("unreachable"); };
    upgrader.OnFileDone = [&](QObject *, const QString &) { events << QStringLiteral("filedone"); };
    upgrader.OnDoOwnCloseAppMethod = [&](QObject *) { events << QStringLiteral("closed"); };

    upgrader.CheckUpdate();
    if (installed) {
        // Long enough for the loopback answer and the download that would follow.
        QTest::qWait(1500);
        QCOMPARE(events, QStringList());
        QVERIFY(!upgrader.Busy());
        QVERIFY(!upgrader.upgradeInProgress());
        // Asked directly, the component still starts no replacer and closes nothing.
        upgrader.RunReplacer(QStringLiteral("+/afterupgrade0"));
        QCOMPARE(events, QStringList());
    } else {
        QTRY_VERIFY_WITH_TIMEOUT(events.contains(QStringLiteral("closed")), 20000);
        QCOMPARE(events, (QStringList{"begin", "filedone", "closed"}));
    }
    QCOMPARE(started.size(), installed ? 0 : 1);
    QCOMPARE(QDir(runtime.path()).isEmpty(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot), installed);
    QCOMPARE(QDir(bin.path()).entryList({QStringLiteral("*.uTMP")}, QDir::Files | QDir::Hidden).size(), installed ? 0 : 1);
    QCOMPARE(readFile(executable), QByteArray("old program"));
    QVERIFY(boxes.asked.isEmpty());
    QVERIFY(boxes.unexpected.isEmpty());
}

QTEST_MAIN(TestUpgradeInstalled)
#include "tst_upgradeinstalled.moc"
