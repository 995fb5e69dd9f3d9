#include "loopbackservers.h"
#include "scriptedmessageboxes.h"
#include "testcertificates.h"
#include "testfiles.h"
#include "upMessages.h"
#include "upRelease.h"
#include "upUpgrader.h"
#include "upUpgraderPassword.h"
#include "upUpgraderQuestion.h"
#include "upUpgraderUtils.h"
#include "upUpgraderWizard.h"
#include "upgradeserver.h"
#include "urlopener.h"

#include <QApplication>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include <pwd.h>
#include <sys/resource.h>
#include <unistd.h>

using namespace Upgrade;
namespace M = UpgradeMessages;

namespace {

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

// Runs `action` once the wizard shows its completion page.
void whenCompleted(std::function<void(TupUpgraderWizardForm *)> action)
{
    auto *timer = new QTimer(qApp);
    timer->setInterval(5);
    QObject::connect(timer, &QTimer::timeout, timer, [timer, action] {
        if (upUpgraderWizardForm && upUpgraderWizardForm->completed()) {
            timer->stop();
            timer->deleteLater();
            action(upUpgraderWizardForm);
        }
    });
    timer->start();
}

constexpr QFileDevice::Permissions kGroupOrOthers = QFileDevice::ReadGroup | QFileDevice::WriteGroup
                                                    | QFileDevice::ExeGroup | QFileDevice::ReadOther
                                                    | QFileDevice::WriteOther | QFileDevice::ExeOther;

// Lowers this process's file size limit (as `ulimit -f` does) until destroyed.
class FileSizeLimit
{
public:
    explicit FileSizeLimit(rlim_t bytes)
    {
        m_ok = getrlimit(RLIMIT_FSIZE, &m_previous) == 0;
        rlimit lowered = m_previous;
        lowered.rlim_cur = std::min(bytes, m_previous.rlim_max);
        m_ok = m_ok && setrlimit(RLIMIT_FSIZE, &lowered) == 0;
    }
    ~FileSizeLimit()
    {
        if (m_ok)
            setrlimit(RLIMIT_FSIZE, &m_previous);
    }
    bool ok() const { return m_ok; }

private:
    rlimit m_previous{};
    bool m_ok = false;
};

const QStringList kTerminalEvents{"nonewer", "noinfofile", "unreachable", "connlost", "aborted", "later", "closed",
                                  "redirected"};

} // namespace

// The upgrade component against a real web server on loopback. The executable is a
// stand-in in a temporary folder, and starting the replacer is recorded.
class TestUpgrader : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void mainWindowConfigurationEndsSilently();
    void checkOutcomes_data();
    void checkOutcomes();
    void declinedUpgrade_data();
    void declinedUpgrade();
    void downloadsAndHandsOverToTheReplacer();
    void parameterText_data();
    void parameterText();
    void onlyIfSizeDifferent_data();
    void onlyIfSizeDifferent();
    void errorPageIsNotComparedBySize();
    void missingFile_data();
    void missingFile();
    void unusableFileNameAborts();
    void temporaryFileThatCannotBeCreatedAborts();
    void temporaryFileThatCannotBeWrittenAborts();
    void replacerThatCannotBeWrittenStops_data();
    void replacerThatCannotBeWrittenStops();
    void redirect();
    void wizardWaitsForOk();
    void wizardClosedAborts();
    void passwordWindow_data();
    void passwordWindow();
    void automaticCheck();
    void signedUpgrade_data();
    void signedUpgrade();
    void untrustedCertificateInstallsNothing();
    void removesOnlyOurOwnOldReplacer();
    void anotherAccountsFilesAreNeitherUsedNorRemoved();

private:
    std::unique_ptr<TupUpgrader> makeUpgrader(const QString &infoFile);
    void putInfo(const QString &text) { m_server->put(QStringLiteral("info.txt"), text.toUtf8()); }
    QString served(const QString &name) const { return m_server->url(name); }
    bool waitForEnd();
    QString appFile(const QString &name) const { return QDir(m_app->path()).filePath(name); }
    // The replacer folders in the runtime folder.
    QStringList replacerFolders() const
    {
        const QDir runtime(m_runtime->path());
        QStringList found;
        for (const QString &name : runtime.entryList({QStringLiteral("quillmora-replacer-*")}, QDir::Dirs))
            found << runtime.filePath(name);
        return found;
    }
    QStringList temporaryFiles() const
    {
        return QDir(m_app->path()).entryList({QStringLiteral("*.uTMP")}, QDir::Files | QDir::Hidden, QDir::Name);
    }

    std::unique_ptr<UpgradeServer> m_server;
    std::unique_ptr<QTemporaryDir> m_app;
    std::unique_ptr<QTemporaryDir> m_runtime; // the user's runtime folder during a test
    ScriptedMessageBoxes *m_boxes = nullptr;
    QStringList m_events;
    QStringList m_started;
    QStringList m_opened;
};

void TestUpgrader::initTestCase()
{
    qputenv("LC_ALL", "C");
    for (const char *proxy : {"http_proxy", "HTTP_PROXY", "all_proxy", "ALL_PROXY"})
        qunsetenv(proxy);
    m_server = std::make_unique<UpgradeServer>();
    QVERIFY(m_server->isRunning());
}

void TestUpgrader::init()
{
    m_events.clear();
    m_started.clear();
    m_opened.clear();
    m_app = std::make_unique<QTemporaryDir>();
    m_runtime = std::make_unique<QTemporaryDir>();
    qputenv("XDG_RUNTIME_DIR", m_runtime->path().toLocal8Bit());
    writeFile(appFile(QStringLiteral("quillmora")), "old program");
    upSetApplicationFilePath(appFile(QStringLiteral("quillmora")));
    upSetProcessStarter([this](const QString &program, const QStringList &arguments) {
        m_started << program + QLatin1Char(' ') + arguments.join(QLatin1Char(' '));
        return true;
    });
    UrlOpener::setOpener([this](const QUrl &url) {
        m_opened << url.toString();
        m_events << QStringLiteral("redirected");
        return true;
    });
    m_boxes = &ScriptedMessageBoxes::install();
}

void TestUpgrader::cleanup()
{
    QVERIFY(m_boxes->unexpected.isEmpty());
    QCOMPARE(m_boxes->pendingAnswers(), 0);
    delete upUpgraderWizardForm.data();
    MessageBoxService::install(nullptr);
    upSetProcessStarter(nullptr);
    upSetOnlineTest(nullptr);
    UrlOpener::setOpener(nullptr);
    upSetApplicationFilePath({});
    qunsetenv("XDG_RUNTIME_DIR");
}

std::unique_ptr<TupUpgrader> TestUpgrader::makeUpgrader(const QString &infoFile)
{
    auto upgrader = std::make_unique<TupUpgrader>();
    M::setLanguage(wlEnglish);
    upgrader->InfoFileURL = served(infoFile);
    upgrader->VersionDate = QStringLiteral("03/12/2014");
    upgrader->Wizard.Enabled = false;
    upgrader->ShowMessages = {};
    upgrader->OnNoUpdateAvailable = [this](QObject *) { m_events << QStringLiteral("nonewer"); };
    upgrader->OnNoInfoFile = [this](QObject *) { m_events << QStringLiteral("noinfofile"); };
    upgrader->OnHostUnreachable = [this](QObject *, const QString &url, const QString &host) {
        m_events << QStringLiteral("unreachable %1 %2").arg(url, host) << QStringLiteral("unreachable");
    };
    upgrader->OnConnLost = [this](QObject *) { m_events << QStringLiteral("connlost"); };
    upgrader->OnAborted = [this](QObject *) { m_events << QStringLiteral("aborted"); };
    upgrader->OnLaterUpgrade = [this](QObject *) { m_events << QStringLiteral("later"); };
    upgrader->OnBeginUpgrade = [this](QObject *, const QString &message, TupUpgradeMethod method,
                                      const QStringList &files, bool &) {
        m_events << QStringLiteral("begin %1 %2 [%3]").arg(message).arg(int(method)).arg(files.join(QLatin1Char(' ')));
    };
    upgrader->OnFileStart = [this](QObject *, const QString &url, qint64 size, const QDateTime &, bool &) {
        m_events << QStringLiteral("filestart %1 %2").arg(QFileInfo(url).fileName()).arg(size);
    };
    upgrader->OnFileDone = [this](QObject *, const QString &name) {
        m_events << QStringLiteral("filedone %1").arg(QFileInfo(name).fileName());
    };
    upgrader->OnLostFile = [this](QObject *, const QString &url, int code, bool &) {
        m_events << QStringLiteral("lostfile %1 %2").arg(QFileInfo(url).fileName()).arg(code);
    };
    upgrader->OnEndUpgrade = [this](QObject *) { m_events << QStringLiteral("endupgrade"); };
    upgrader->OnDoOwnCloseAppMethod = [this](QObject *) { m_events << QStringLiteral("closed"); };
    return upgrader;
}

bool TestUpgrader::waitForEnd()
{
    QDeadlineTimer deadline(20000);
    while (!deadline.hasExpired()) {
        for (const QString &event : std::as_const(m_events)) {
            if (kTerminalEvents.contains(event)) {
                QTest::qWait(50); // anything that would wrongly follow gets its chance
                return true;
            }
        }
        QTest::qWait(10);
    }
    return false;
}

void TestUpgrader::mainWindowConfigurationEndsSilently()
{
    // As the main window holds it: "http://" names no host, default messages.
    TupUpgrader upgrader;
    upgrader.VersionDate = QStringLiteral("03/12/2014");
    QCOMPARE(upgrader.InfoFileURL, QStringLiteral("http://"));
    QCOMPARE(upgrader.ShowMessages, TupUpgrader::DefaultShowMessages);
    upgrader.OnHostUnreachable = [this](QObject *, const QString &, const QString &) { m_events << "unreachable"; };
    upgrader.OnNoInfoFile = [this](QObject *) { m_events << "noinfofile"; };
    for (int check = 0; check < 3; ++check) {
        upgrader.CheckUpdate();
        QTRY_COMPARE(m_events.size(), check + 1);
        QVERIFY(!upgrader.Busy());
        QVERIFY(!upgrader.upgradeInProgress());
    }
    QVERIFY(m_boxes->asked.isEmpty());
    QVERIFY(upUpgraderQuestionForm.isNull());
    QVERIFY(upUpgraderWizardForm.isNull());
}

void TestUpgrader::checkOutcomes_data()
{
    QTest::addColumn<QString>("infoFile");
    QTest::addColumn<QString>("info");
    QTest::addColumn<int>("messages");
    QTest::addColumn<QString>("event");
    QTest::addColumn<QString>("boxText");

    const QString later = QStringLiteral("#url=%1\r\n#date=03/12/2014\r\n").arg(served(QStringLiteral("data.txt")));
    QTest::newRow("same date: nothing newer, box") << "info.txt" << later << int(mNoUpdateAvailable) << "nonewer"
                                                  << "Newer version not found. You actually are\nusing most recent "
                                                     "version of this program.";
    QTest::newRow("nothing newer, silent") << "info.txt" << later << int(TupUpgrader::DefaultShowMessages)
                                           << "nonewer" << "";
    QTest::newRow("newer but no file listed") << "info.txt" << "#date=01/01/2030\r\n" << int(mNoUpdateAvailable)
                                              << "nonewer"
                                              << "Newer version not found. You actually are\nusing most recent "
                                                 "version of this program.";
    QTest::newRow("empty file") << "info.txt" << "" << 0 << "nonewer" << "";
    QTest::newRow("information file missing, box")
        << "absent.txt" << "" << int(mNoInfoFile) << "noinfofile"
        << "File which contains upgrade information was not found on developer's site.";
    QTest::newRow("information file missing, silent") << "absent.txt" << "" << 0 << "noinfofile" << "";
    QTest::newRow("connection lost") << "truncated/info.txt" << later << int(mConnLost) << "connlost"
                                     << "Connection with remote server lost.\n\nPlease restore connection and try "
                                        "to\nupgrade this software again later.";
}

void TestUpgrader::checkOutcomes()
{
    QFETCH(QString, infoFile);
    QFETCH(QString, info);
    QFETCH(int, messages);
    QFETCH(QString, event);
    QFETCH(QString, boxText);
    putInfo(info);
    auto upgrader = makeUpgrader(infoFile);
    upgrader->ShowMessages = TupUpgraderMessages(messages);
    if (!boxText.isEmpty())
        m_boxes->expect(QMessageBox::Ok);
    upgrader->CheckUpdate();
    QVERIFY(waitForEnd());
    QCOMPARE(m_events, QStringList{event});
    if (!boxText.isEmpty()) {
        QCOMPARE(m_boxes->asked.size(), 1);
        const MessageBoxRequest box = m_boxes->asked.first().request;
        QCOMPARE(box.caption, QStringLiteral("Application update wizard"));
        QCOMPARE(box.text, boxText);
        QCOMPARE(box.icon, QMessageBox::Critical);
        QCOMPARE(box.buttons, QMessageBox::Ok);
    }
    QVERIFY(!upgrader->upgradeInProgress());
}

void TestUpgrader::declinedUpgrade_data()
{
    QTest::addColumn<bool>("handlerDeclines");
    QTest::addColumn<bool>("ask");
    QTest::addColumn<bool>("yes");

    QTest::newRow("handler clears CanUpgrade") << true << true << true;
    QTest::newRow("question answered Later") << false << true << false;
    QTest::newRow("question answered Yes") << false << true << true;
    QTest::newRow("no question") << false << false << false;
}

void TestUpgrader::declinedUpgrade()
{
    QFETCH(bool, handlerDeclines);
    QFETCH(bool, ask);
    QFETCH(bool, yes);
    m_server->put(QStringLiteral("data.txt"), "new data");
    putInfo(QStringLiteral("#url=%1\r\n#date=03/13/2014\r\n#message={Faster.}\r\n#method=1")
                .arg(served(QStringLiteral("data.txt"))));
    auto upgrader = makeUpgrader(QStringLiteral("info.txt"));
    upgrader->ShowMessages = ask ? TupUpgraderMessages(mAskUpgrade) : TupUpgraderMessages();
    auto begin = upgrader->OnBeginUpgrade;
    upgrader->OnBeginUpgrade = [&](QObject *sender, const QString &message, TupUpgradeMethod method,
                                   const QStringList &files, bool &canUpgrade) {
        begin(sender, message, method, files, canUpgrade);
        QVERIFY(canUpgrade);
        QVERIFY(upgrader->upgradeInProgress());
        if (handlerDeclines)
            canUpgrade = false;
    };
    QString question;
    if (ask && !handlerDeclines) {
        whenModal([&](QWidget *modal) {
            auto *form = qobject_cast<TupUpgraderQuestionForm *>(modal);
            QVERIFY(form);
            question = form->Label1->text();
            (yes ? form->YesBtn : form->LaterBtn)->click();
        });
    }
    upgrader->CheckUpdate();
    QVERIFY(waitForEnd());
    const QString beginEvent = QStringLiteral("begin Faster. 1 [%1]").arg(served(QStringLiteral("data.txt")));
    if (ask && !handlerDeclines)
        QCOMPARE(question, QStringLiteral("A newer version of Quillmora was released.\n\nFaster.\n\nDo you want to "
                                          "update your version with the latest one?"));
    if (handlerDeclines || (ask && !yes))
        QCOMPARE(m_events, (QStringList{beginEvent, QStringLiteral("later")}));
    else
        QCOMPARE(m_events, (QStringList{beginEvent, QStringLiteral("filestart data.txt 8"),
                                        QStringLiteral("filedone data.txt.uTMP"), QStringLiteral("endupgrade"),
                                        QStringLiteral("closed")}));
    QVERIFY(!upgrader->upgradeInProgress());
}

void TestUpgrader::downloadsAndHandsOverToTheReplacer()
{
    const QDateTime modified(QDate(2021, 6, 1), QTime(10, 0), Qt::UTC);
    const QByteArray program = QByteArray("new program ").repeated(2000);
    m_server->put(QStringLiteral("quillmora"), program, modified);
    m_server->put(QStringLiteral("data.txt"), "new data", modified.addDays(1));
    putInfo(QStringLiteral("#URL=%1\r\n#url2=%2\r\n#date=03/13/2014\r\n")
                .arg(served(QStringLiteral("quillmora")), served(QStringLiteral("data.txt"))));
    writeFile(appFile(QStringLiteral("stale.bin.uTMP")), "left by an aborted upgrade");

    auto upgrader = makeUpgrader(QStringLiteral("info.txt"));
    QList<int> totals;
    upgrader->OnProgress = [&](QObject *, const QString &, qint64 size, qint64 bytesRead, qint64, qint64,
                               int percents, int total, float) {
        QVERIFY(bytesRead <= size);
        QVERIFY(percents <= 100);
        totals << total;
    };
    upgrader->CheckUpdate();
    QVERIFY(waitForEnd());

    QCOMPARE(m_events, (QStringList{QStringLiteral("begin  0 [%1 %2]").arg(served(QStringLiteral("quillmora")),
                                                                        served(QStringLiteral("data.txt"))),
                                    QStringLiteral("filestart quillmora %1").arg(program.size()),
                                    QStringLiteral("filedone quillmora.uTMP"), QStringLiteral("filestart data.txt 8"),
                                    QStringLiteral("filedone data.txt.uTMP"), QStringLiteral("endupgrade"),
                                    QStringLiteral("closed")}));
    // The all-files bar: the first file fills the first half, the second the rest.
    QVERIFY(!totals.isEmpty());
    QVERIFY(std::is_sorted(totals.begin(), totals.end()));
    QVERIFY(totals.contains(50));
    QCOMPARE(totals.last(), 100);

    QCOMPARE(temporaryFiles(), (QStringList{"data.txt.uTMP", "quillmora.uTMP"}));
    QCOMPARE(readFile(appFile(QStringLiteral("quillmora.uTMP"))), program);
    QCOMPARE(readFile(appFile(QStringLiteral("quillmora"))), QByteArray("old program"));
    QCOMPARE(QFileInfo(appFile(QStringLiteral("quillmora.uTMP"))).lastModified().toUTC(), modified);
    QCOMPARE(QFileInfo(appFile(QStringLiteral("data.txt.uTMP"))).lastModified().toUTC(), modified.addDays(1));

    // The replacer: written into a fresh folder of this user's own, and started there.
    const QStringList folders = replacerFolders();
    QCOMPARE(folders.size(), 1);
    const QString replacer = QDir(folders.first()).filePath(QStringLiteral("Replacer"));
    QCOMPARE(readFile(replacer), readFile(qEnvironmentVariable("QUILLMORA_BIN_DIR") + QStringLiteral("/Replacer")));
    QVERIFY(QFileInfo(replacer).isExecutable());
    QCOMPARE(QFileInfo(folders.first()).permissions() & kGroupOrOthers, QFileDevice::Permissions());
    QCOMPARE(QFileInfo(folders.first()).ownerId(), ::geteuid());
    QCOMPARE(m_started, QStringList{QStringLiteral("%1 %2 +/afterupgrade0").arg(replacer, appFile(QStringLiteral("quillmora")))});
    QVERIFY(!upgrader->upgradeInProgress());
}

void TestUpgrader::parameterText_data()
{
    QTest::addColumn<QString>("method");
    QTest::addColumn<QString>("restartParams");
    QTest::addColumn<QString>("parameterText");

    QTest::newRow("self upgrade") << "" << "/afterupgrade" << "+/afterupgrade0";
    QTest::newRow("external setup") << "#method=1" << "/afterupgrade" << "+/afterupgrade1";
    QTest::newRow("empty restart parameters") << "" << "" << "+ 0";
    QTest::newRow("own restart parameters") << "#method=1x" << "--upgraded" << "+--upgraded1";
}

void TestUpgrader::parameterText()
{
    QFETCH(QString, method);
    QFETCH(QString, restartParams);
    m_server->put(QStringLiteral("data.txt"), "new data");
    putInfo(QStringLiteral("#url=%1\r\n%2\r\n").arg(served(QStringLiteral("data.txt")), method));
    auto upgrader = makeUpgrader(QStringLiteral("info.txt"));
    upgrader->setRestartParams(restartParams);
    upgrader->CheckUpdate();
    QVERIFY(waitForEnd());
    QCOMPARE(m_started.size(), 1);
    QFETCH(QString, parameterText);
    QCOMPARE(m_started.first().section(QLatin1Char(' '), 2), parameterText);
}

void TestUpgrader::onlyIfSizeDifferent_data()
{
    QTest::addColumn<QStringList>("listed");
    QTest::addColumn<QStringList>("local");
    QTest::addColumn<QStringList>("downloaded");

    // Served files hold their own name; a local file holds the same bytes unless
    // its entry says "other".
    QTest::newRow("same size is skipped") << QStringList{"a.txt", "b.txt"} << QStringList{"a.txt"}
                                          << QStringList{"b.txt.uTMP"};
    QTest::newRow("other size is downloaded") << QStringList{"a.txt", "b.txt"} << QStringList{"a.txt other"}
                                              << QStringList{"a.txt.uTMP", "b.txt.uTMP"};
    QTest::newRow("the executable, in any case, is always downloaded")
        << QStringList{"QUILLMORA", "b.txt"} << QStringList{"QUILLMORA", "b.txt"} << QStringList{"QUILLMORA.uTMP"};
    QTest::newRow("a single listed file is always downloaded") << QStringList{"a.txt"} << QStringList{"a.txt"}
                                                               << QStringList{"a.txt.uTMP"};
}

void TestUpgrader::onlyIfSizeDifferent()
{
    QFETCH(QStringList, listed);
    QFETCH(QStringList, local);
    QFETCH(QStringList, downloaded);
    QString info = QStringLiteral("#date=03/13/2014\r\n");
    for (int i = 0; i < listed.size(); ++i) {
        m_server->put(listed[i], listed[i].toUtf8());
        info += QStringLiteral("#url%1=%2\r\n").arg(i + 1).arg(served(listed[i]));
    }
    putInfo(info);
    for (const QString &entry : local) {
        const QString name = entry.section(QLatin1Char(' '), 0, 0);
        writeFile(appFile(name), entry.endsWith(QLatin1String(" other")) ? "other size" : name.toUtf8());
    }
    auto upgrader = makeUpgrader(QStringLiteral("info.txt"));
    upgrader->MiscFilesUpgrade = mfuOnlyIfSizeDifferent;
    upgrader->CheckUpdate();
    QVERIFY(waitForEnd());
    QVERIFY(m_events.contains(QStringLiteral("endupgrade")));
    QCOMPARE(temporaryFiles(), downloaded);
}

void TestUpgrader::errorPageIsNotComparedBySize()
{
    // The local file has as many bytes as the server's "not found" page.
    writeFile(appFile(QStringLiteral("gone.txt")), "123456789");
    m_server->put(QStringLiteral("b.txt"), "second");
    putInfo(QStringLiteral("#url=%1\r\n#url2=%2\r\n#date=03/13/2014\r\n")
                .arg(served(QStringLiteral("gone.txt")), served(QStringLiteral("b.txt"))));
    auto upgrader = makeUpgrader(QStringLiteral("info.txt"));
    upgrader->MiscFilesUpgrade = mfuOnlyIfSizeDifferent;
    upgrader->CheckUpdate();
    QVERIFY(waitForEnd());
    QCOMPARE(m_events.mid(1), (QStringList{"filestart gone.txt 9", "lostfile gone.txt 404", "aborted"}));
}

void TestUpgrader::missingFile_data()
{
    QTest::addColumn<int>("messages");
    QTest::addColumn<int>("answer");
    QTest::addColumn<bool>("handlerContinues");
    QTest::addColumn<bool>("continues");

    QTest::newRow("question answered Yes skips the file") << int(mLostFile) << int(QMessageBox::Yes) << false << true;
    QTest::newRow("question answered No aborts") << int(mLostFile) << int(QMessageBox::No) << false << false;
    QTest::newRow("the question overrides the handler") << int(mLostFile) << int(QMessageBox::No) << true << false;
    QTest::newRow("no question: the handler decides") << 0 << 0 << true << true;
    QTest::newRow("no question, no decision: abort") << 0 << 0 << false << false;
}

void TestUpgrader::missingFile()
{
    QFETCH(int, messages);
    QFETCH(int, answer);
    QFETCH(bool, handlerContinues);
    QFETCH(bool, continues);
    m_server->put(QStringLiteral("a.txt"), "first");
    m_server->put(QStringLiteral("c.txt"), "third");
    putInfo(QStringLiteral("#url1=%1\r\n#url2=%2\r\n#url3=%3\r\n#date=03/13/2014\r\n")
                .arg(served(QStringLiteral("a.txt")), served(QStringLiteral("dir/missing.bin")),
                     served(QStringLiteral("c.txt"))));
    auto upgrader = makeUpgrader(QStringLiteral("info.txt"));
    upgrader->ShowMessages = TupUpgraderMessages(messages);
    auto lost = upgrader->OnLostFile;
    upgrader->OnLostFile = [&](QObject *sender, const QString &url, int code, bool &continueUpgrade) {
        QVERIFY(!continueUpgrade);
        lost(sender, url, code, continueUpgrade);
        continueUpgrade = handlerContinues;
    };
    if (messages)
        m_boxes->expect(QMessageBox::StandardButton(answer));
    upgrader->CheckUpdate();
    QVERIFY(waitForEnd());

    QStringList expected{QStringLiteral("filestart a.txt 5"), QStringLiteral("filedone a.txt.uTMP"),
                         QStringLiteral("filestart missing.bin 9"), QStringLiteral("lostfile missing.bin 404")};
    if (continues)
        expected << QStringLiteral("filestart c.txt 5") << QStringLiteral("filedone c.txt.uTMP")
                 << QStringLiteral("endupgrade") << QStringLiteral("closed");
    else
        expected << QStringLiteral("aborted");
    QCOMPARE(m_events.mid(1), expected);
    if (messages) {
        const MessageBoxRequest box = m_boxes->asked.first().request;
        QCOMPARE(box.caption, QStringLiteral("Error #404"));
        QCOMPARE(box.text, QStringLiteral("File missing.bin not found or inaccessible.\n\nTry to skip this file and "
                                          "continue upgrade?"));
        QCOMPARE(box.icon, QMessageBox::Warning);
        QCOMPARE(box.buttons, QMessageBox::Yes | QMessageBox::No);
    }
    // Files fetched before an abort keep their temporary files; nothing is started.
    QCOMPARE(temporaryFiles(), continues ? (QStringList{"a.txt.uTMP", "c.txt.uTMP"}) : QStringList{"a.txt.uTMP"});
    QCOMPARE(m_started.size(), continues ? 1 : 0);
}

void TestUpgrader::unusableFileNameAborts()
{
    m_server->put(QStringLiteral("a.txt"), "first");
    putInfo(QStringLiteral("#url=%1\r\n#url2=%2\r\n#date=03/13/2014\r\n")
                .arg(served(QStringLiteral("a.txt")), served(QStringLiteral("folder/"))));
    auto upgrader = makeUpgrader(QStringLiteral("info.txt"));
    upgrader->CheckUpdate();
    QVERIFY(waitForEnd());
    QCOMPARE(m_events.mid(1), (QStringList{"filestart a.txt 5", "filedone a.txt.uTMP", "aborted"}));
    QVERIFY(m_started.isEmpty());
    QCOMPARE(QDir(m_app->path()).entryList(QDir::Files | QDir::Hidden), (QStringList{"a.txt.uTMP", "quillmora"}));
}

void TestUpgrader::temporaryFileThatCannotBeCreatedAborts()
{
    // A folder in the way of the temporary file (file permissions would not stop root).
    QVERIFY(QDir(m_app->path()).mkdir(QStringLiteral("b.txt.uTMP")));
    m_server->put(QStringLiteral("a.txt"), "first");
    m_server->put(QStringLiteral("b.txt"), "second");
    putInfo(QStringLiteral("#url=%1\r\n#url2=%2\r\n#date=03/13/2014\r\n")
                .arg(served(QStringLiteral("a.txt")), served(QStringLiteral("b.txt"))));
    auto upgrader = makeUpgrader(QStringLiteral("info.txt"));
    m_boxes->expect(QMessageBox::Ok);
    upgrader->CheckUpdate();
    QVERIFY(waitForEnd());
    QCOMPARE(m_events.mid(1), (QStringList{"filestart a.txt 5", "filedone a.txt.uTMP", "filestart b.txt 6", "aborted"}));
    QCOMPARE(m_boxes->asked.size(), 1);
    QCOMPARE(m_boxes->asked.first().request.icon, QMessageBox::Critical);
    QCOMPARE(m_boxes->asked.first().request.text,
             QStringLiteral("File %1 could not be written.\n\nThe upgrade was stopped; no file of this program was "
                            "changed.")
                 .arg(appFile(QStringLiteral("b.txt.uTMP"))));
    QVERIFY(m_started.isEmpty());
    // The file downloaded before goes too: nothing of a failed upgrade stays.
    QVERIFY(!QFile::exists(appFile(QStringLiteral("a.txt.uTMP"))));
}

void TestUpgrader::temporaryFileThatCannotBeWrittenAborts()
{
    // A file size limit (as `ulimit -f` sets it) stops the second, larger download part
    // way, as a full disk would.
    m_server->put(QStringLiteral("a.txt"), "first");
    m_server->put(QStringLiteral("big.bin"), QByteArray(20000, 'b'));
    putInfo(QStringLiteral("#url=%1\r\n#url2=%2\r\n#date=03/13/2014\r\n")
                .arg(served(QStringLiteral("a.txt")), served(QStringLiteral("big.bin"))));
    writeFile(appFile(QStringLiteral("big.bin")), "old big file");
    auto upgrader = makeUpgrader(QStringLiteral("info.txt"));
    upgrader->Wizard.Enabled = true;
    m_boxes->expect(QMessageBox::Ok);
    {
        FileSizeLimit limit(8192);
        QVERIFY(limit.ok());
        upgrader->CheckUpdate();
        QVERIFY(waitForEnd());
    }
    QCOMPARE(m_events.mid(1), (QStringList{"filestart a.txt 5", "filedone a.txt.uTMP", "filestart big.bin 20000",
                                           "aborted"}));
    QCOMPARE(m_boxes->asked.size(), 1);
    QVERIFY(m_boxes->asked.first().request.text.startsWith(
        QStringLiteral("File %1 could not be written.").arg(appFile(QStringLiteral("big.bin.uTMP")))));
    QVERIFY(m_started.isEmpty());
    QVERIFY(replacerFolders().isEmpty());
    QVERIFY(upUpgraderWizardForm.isNull() || !upUpgraderWizardForm->isVisible());
    QCOMPARE(QDir(m_app->path()).entryList(QDir::Files | QDir::Hidden, QDir::Name),
             (QStringList{"big.bin", "quillmora"}));
    QCOMPARE(readFile(appFile(QStringLiteral("big.bin"))), QByteArray("old big file"));
    QVERIFY(!upgrader->upgradeInProgress());
}

void TestUpgrader::replacerThatCannotBeWrittenStops_data()
{
    QTest::addColumn<QString>("fault");
    QTest::newRow("file size limit below the replacer's size") << "limit";
    QTest::newRow("replacer that cannot be started") << "start";
}

void TestUpgrader::replacerThatCannotBeWrittenStops()
{
    QFETCH(QString, fault);
    m_server->put(QStringLiteral("quillmora"), "new program");
    putInfo(QStringLiteral("#url=%1\r\n#date=03/13/2014\r\n").arg(served(QStringLiteral("quillmora"))));
    auto upgrader = makeUpgrader(QStringLiteral("info.txt"));
    if (fault == QLatin1String("start")) {
        upSetProcessStarter([this](const QString &program, const QStringList &) {
            m_started << program;
            return false;
        });
    }
    m_boxes->expect(QMessageBox::Ok);
    {
        FileSizeLimit limit(fault == QLatin1String("limit") ? 16384 : RLIM_INFINITY);
        upgrader->CheckUpdate();
        QVERIFY(waitForEnd());
    }
    QCOMPARE(m_events.mid(1), (QStringList{"filestart quillmora 11", "filedone quillmora.uTMP", "endupgrade", "aborted"}));
    QCOMPARE(m_boxes->asked.size(), 1);
    QCOMPARE(m_boxes->asked.first().request.text,
             QStringLiteral("The installer of this upgrade could not be prepared.\n\nThe upgrade was stopped; no file "
                            "of this program was changed."));
    QCOMPARE(m_started.size(), fault == QLatin1String("start") ? 1 : 0);
    QVERIFY(replacerFolders().isEmpty());
    QVERIFY(temporaryFiles().isEmpty());
    QCOMPARE(readFile(appFile(QStringLiteral("quillmora"))), QByteArray("old program"));
}

void TestUpgrader::redirect()
{
    putInfo(QStringLiteral("#method=2\r\n#url=127.0.0.1/release/notes.html\r\n#url2=http://127.0.0.1/other\r\n"));
    auto upgrader = makeUpgrader(QStringLiteral("info.txt"));
    upgrader->CheckUpdate();
    QVERIFY(waitForEnd());
    QCOMPARE(m_opened, QStringList{QStringLiteral("http://127.0.0.1/release/notes.html")});
    QCOMPARE(m_events.mid(1), QStringList{QStringLiteral("redirected")});
    QVERIFY(temporaryFiles().isEmpty());
    QVERIFY(m_started.isEmpty());
    QVERIFY(!upgrader->upgradeInProgress());
}

void TestUpgrader::wizardWaitsForOk()
{
    m_server->put(QStringLiteral("data.txt"), QByteArray(50000, 'd'));
    putInfo(QStringLiteral("#url=%1\r\n#date=03/13/2014\r\n").arg(served(QStringLiteral("data.txt"))));
    auto upgrader = makeUpgrader(QStringLiteral("info.txt"));
    upgrader->Wizard.Enabled = true;
    QStringList shown;
    bool waited = false;
    // The upgrade waits at the completion page while events go on being handled;
    // the page is inspected and OK pressed from inside that wait.
    whenCompleted([&](TupUpgraderWizardForm *wizard) {
        shown = QStringList{wizard->FileURL->text(), wizard->AllDownloading->text(), wizard->FileSizeLab->text(),
                            wizard->AfterNote->text()};
        QVERIFY(wizard->TransferRateLab->text().startsWith(QStringLiteral("Transfer rate: ")));
        QVERIFY(wizard->EstimatedTimeLeftLab->text().startsWith(QStringLiteral("Estimated time left: 0:00:0")));
        QCOMPARE(wizard->ProgressCurrentFile->value(), 100);
        QCOMPARE(wizard->ProgressAllFiles->value(), 100);
        QTimer::singleShot(100, wizard, [&, wizard] {
            waited = !m_events.contains(QStringLiteral("endupgrade")) && upgrader->upgradeInProgress();
            wizard->FinishBtn->click();
        });
    });
    upgrader->CheckUpdate();
    QVERIFY(waitForEnd());
    QCOMPARE(shown, (QStringList{served(QStringLiteral("data.txt")), QStringLiteral("Downloading 1 of 1"),
                                 QStringLiteral("File size: 48.8 Kb"),
                                 QStringLiteral("The update of Quillmora has been successfully completed.\n\n"
                                                "Press the OK button to restart program.")}));
    QVERIFY(waited);
    QCOMPARE(m_events.mid(2), (QStringList{"filedone data.txt.uTMP", "endupgrade", "closed"}));
    QCOMPARE(m_started.size(), 1);
}

void TestUpgrader::wizardClosedAborts()
{
    m_server->put(QStringLiteral("data.txt"), "new data");
    putInfo(QStringLiteral("#url=%1\r\n#date=03/13/2014\r\n").arg(served(QStringLiteral("data.txt"))));
    auto upgrader = makeUpgrader(QStringLiteral("info.txt"));
    upgrader->Wizard.Enabled = true;
    whenCompleted([&](TupUpgraderWizardForm *wizard) {
        m_boxes->expect(QMessageBox::Yes);
        wizard->close();
    });
    upgrader->CheckUpdate();
    QVERIFY(waitForEnd());
    QCOMPARE(m_events.mid(1), (QStringList{"filestart data.txt 8", "filedone data.txt.uTMP", "aborted"}));
    QCOMPARE(m_boxes->asked.first().request.text,
             QStringLiteral("The update is not completed.\nWould you like to abort upgrading?"));
    QVERIFY(m_started.isEmpty());
    QTRY_VERIFY(upUpgraderWizardForm.isNull());
}

void TestUpgrader::passwordWindow_data()
{
    QTest::addColumn<bool>("ok");
    QTest::newRow("OK sends the name and password") << true;
    QTest::newRow("Cancel aborts") << false;
}

void TestUpgrader::passwordWindow()
{
    QFETCH(bool, ok);
    m_server->put(QStringLiteral("setup.bin"), "protected");
    putInfo(QStringLiteral("#url=%1\r\n#date=03/13/2014\r\n").arg(served(QStringLiteral("protected/setup.bin"))));
    auto upgrader = makeUpgrader(QStringLiteral("info.txt"));
    upgrader->ShowMessages = mPasswordRequest;
    upgrader->HTTPUsername = QStringLiteral("shop");
    QString realm;
    upgrader->OnPasswordRequest = [&](QObject *, const QString &text, bool &) { realm = text; };
    QString label;
    whenModal([&](QWidget *modal) {
        auto *form = qobject_cast<TupUpgraderPasswordForm *>(modal);
        QVERIFY(form);
        label = form->Label1->text();
        QCOMPARE(form->UsernameEdit->text(), QStringLiteral("shop"));
        form->PasswordEdit->setText(QStringLiteral("s3cret"));
        (ok ? form->OKBtn : form->CancelBtn)->click();
    });
    upgrader->CheckUpdate();
    QVERIFY(waitForEnd());
    QCOMPARE(realm, QStringLiteral("Quillmora updates"));
    QVERIFY(label.startsWith(QStringLiteral("Access to remote file \"setup.bin\" is password protected.")));
    if (ok) {
        QCOMPARE(m_events.mid(1), (QStringList{"filestart setup.bin 9", "filedone setup.bin.uTMP", "endupgrade", "closed"}));
        QCOMPARE(upgrader->HTTPPassword, QStringLiteral("s3cret"));
        QCOMPARE(readFile(appFile(QStringLiteral("setup.bin.uTMP"))), QByteArray("protected"));
    } else {
        QCOMPARE(m_events.mid(1), QStringList{QStringLiteral("aborted")});
        QVERIFY(temporaryFiles().isEmpty());
    }
}

void TestUpgrader::automaticCheck()
{
    const int port = unusedLoopbackPort();
    auto upgrader = makeUpgrader(QStringLiteral("info.txt"));
    upgrader->InfoFileURL = QStringLiteral("http://127.0.0.1:%1/info.txt").arg(port);
    upgrader->ShowMessages = mHostUnreachable | mNoUpdateAvailable;
    QTimer *timer = upgrader->autoCheckTimer();
    QVERIFY(!timer->isActive());
    upgrader->setAutoCheck(true);
    QVERIFY(timer->isActive());
    QCOMPARE(timer->interval(), 10000);

    bool online = false;
    upSetOnlineTest([&] { return online; });
    upgrader->autoCheckTimerFired();
    QTest::qWait(100);
    QVERIFY(m_events.isEmpty());
    QVERIFY(timer->isActive());

    // Online: the check runs and the timer stops; an unreachable host arms it again
    // without a box, since nobody asked.
    online = true;
    upgrader->autoCheckTimerFired();
    QVERIFY(!timer->isActive());
    QVERIFY(waitForEnd());
    QCOMPARE(m_events.first(), QStringLiteral("unreachable http://127.0.0.1:%1/info.txt 127.0.0.1").arg(port));
    QVERIFY(m_boxes->asked.isEmpty());
    QVERIFY(timer->isActive());

    // A check started by hand reports the same outcome with its box.
    m_events.clear();
    m_boxes->expect(QMessageBox::Ok);
    upgrader->CheckUpdate();
    QVERIFY(waitForEnd());
    QCOMPARE(m_boxes->asked.size(), 1);
    QCOMPARE(m_boxes->asked.first().request.text,
             QStringLiteral("Host http://127.0.0.1 unreachable.\n\nPlease check your Internet connection and\ntry "
                            "to upgrade this software again later."));

    upgrader->setAutoCheck(false);
    QVERIFY(!timer->isActive());
}

void TestUpgrader::signedUpgrade_data()
{
    QTest::addColumn<QString>("variant");
    QTest::addColumn<QStringList>("events");  // after "begin ..."; empty: nothing was offered
    QTest::addColumn<QString>("boxText");
    QTest::addColumn<bool>("replacerStarted");

    const QStringList installed{"filestart quillmora 12", "filedone quillmora.uTMP", "filestart data.txt 8",
                                "filedone data.txt.uTMP", "endupgrade", "closed"};
    const QString refused = QStringLiteral("The upgrade information is not signed by the publisher of this "
                                           "program.\n\nNo upgrade is installed.");
    const QString notNewer
        = QStringLiteral("Newer version not found. You actually are\nusing most recent version of this program.");
    const QString notReleased = QStringLiteral("File %1 is not the file the publisher released.\n\nThe upgrade was "
                                               "stopped; no file of this program was changed.");
    QTest::newRow("signed") << "signed" << installed << "" << true;
    QTest::newRow("same release number, later date") << "same number" << installed << "" << true;
    QTest::newRow("information file changed after signing") << "tampered info" << QStringList() << refused << false;
    QTest::newRow("signed with another key") << "other key" << QStringList() << refused << false;
    QTest::newRow("not signed") << "unsigned" << QStringList() << refused << false;
    QTest::newRow("lower release number, later date") << "downgrade" << QStringList() << notNewer << false;
    QTest::newRow("lower than the application's version") << "below application" << QStringList() << notNewer
                                                           << false;
    QTest::newRow("a byte of a download changed")
        << "tampered download"
        << QStringList{"filestart quillmora 12", "filedone quillmora.uTMP", "filestart data.txt 8", "aborted"}
        << notReleased.arg("data.txt") << false;
    QTest::newRow("listed larger than it is")
        << "size larger"
        << QStringList{"filestart quillmora 12", "filedone quillmora.uTMP", "filestart data.txt 8", "aborted"}
        << notReleased.arg("data.txt") << false;
    QTest::newRow("listed smaller than it is")
        << "size smaller" << QStringList{"filestart quillmora 12", "aborted"} << notReleased.arg("quillmora") << false;
    QTest::newRow("announced as 0 bytes") << "empty"
                                          << QStringList{"filestart quillmora 0", "aborted"}
                                          << notReleased.arg("quillmora") << false;
    // Skipping is not offered, and the owner's "go on" does not count: the files
    // fetched before stay uninstalled.
    QTest::newRow("a file missing on the server, owner says skip")
        << "missing file"
        << QStringList{"filestart quillmora 12", "filedone quillmora.uTMP", "filestart missing.txt",
                       "lostfile missing.txt 404", "aborted"}
        << QStringLiteral("File missing.txt was not found on the server.\n\nA release is installed whole or not at "
                          "all: the upgrade was stopped; no file of this program was changed.")
        << false;
}

void TestUpgrader::signedUpgrade()
{
    QFETCH(QString, variant);
    QFETCH(QStringList, events);
    QFETCH(QString, boxText);
    QFETCH(bool, replacerStarted);

    const Release::KeyPair keys = Release::generateKeyPair();
    const QByteArray program = "new program!";
    const QByteArray data = "new data";
    m_server->put(QStringLiteral("quillmora"), program);
    // Tampered: the same size, one byte changed.
    m_server->put(QStringLiteral("data.txt"), variant == QLatin1String("tampered download") ? "new dat4" : data);
    const QString programUrl = served(variant == QLatin1String("empty") ? QStringLiteral("empty/quillmora")
                                                                         : QStringLiteral("quillmora"));
    const QString dataUrl = served(variant == QLatin1String("missing file") ? QStringLiteral("missing.txt")
                                                                             : QStringLiteral("data.txt"));
    QString version = QStringLiteral("3.6.0");
    if (variant == QLatin1String("same number"))
        version = QStringLiteral("3.5.1");
    if (variant == QLatin1String("downgrade"))
        version = QStringLiteral("3.4.9");
    const QByteArray info = QStringLiteral("#url=%1\r\n#url2=%2\r\n#date=03/13/2014\r\n#version= %3 \r\n#message={Signed}\r\n")
                                .arg(programUrl, dataUrl, version)
                                .toUtf8();
    qint64 programSize = program.size();
    qint64 dataSize = data.size();
    if (variant == QLatin1String("size larger"))
        dataSize += 1;
    if (variant == QLatin1String("size smaller"))
        programSize -= 5;
    const QList<Release::Download> downloads{{programUrl, programSize, Release::sha256Hex(program)},
                                             {dataUrl, dataSize, Release::sha256Hex(data)}};
    QByteArray signedInfo = Release::sign(info, downloads,
                                          variant == QLatin1String("other key") ? Release::generateKeyPair().secretKey
                                                                                : keys.secretKey);
    if (variant == QLatin1String("tampered info"))
        signedInfo.replace("{Signed}", "{Signet}");
    if (variant == QLatin1String("unsigned"))
        signedInfo = info;
    m_server->put(QStringLiteral("info.txt"), signedInfo);

    auto upgrader = makeUpgrader(QStringLiteral("info.txt"));
    upgrader->ReleasePublicKey = QString::fromLatin1(keys.publicKey.toBase64());
    upgrader->ShowMessages = mNoUpdateAvailable;
    if (variant == QLatin1String("missing file")) {
        upgrader->ShowMessages |= mLostFile;
        auto lost = upgrader->OnLostFile;
        upgrader->OnLostFile = [lost](QObject *sender, const QString &url, int code, bool &continueUpgrade) {
            lost(sender, url, code, continueUpgrade);
            continueUpgrade = true;
        };
    }
    upgrader->VersionNumber = QStringLiteral("3.5.1");
    if (variant == QLatin1String("below application")) {
        upgrader->VersionNumber.clear();
        QCoreApplication::setApplicationVersion(QStringLiteral("3.7"));
    }
    const auto restore = qScopeGuard([] { QCoreApplication::setApplicationVersion(QString()); });
    if (!boxText.isEmpty())
        m_boxes->expect(QMessageBox::Ok);
    upgrader->CheckUpdate();
    QVERIFY(waitForEnd());

    if (events.isEmpty()) {
        QCOMPARE(m_events, QStringList{"nonewer"});
    } else {
        QCOMPARE(m_events.first(), QStringLiteral("begin Signed 0 [%1 %2]").arg(programUrl, dataUrl));
        // The length of an error page is the server's business.
        const QStringList seen = m_events.mid(1).replaceInStrings(
            QRegularExpression(QStringLiteral("^(filestart missing.txt) \\d+$")), QStringLiteral("\\1"));
        QCOMPARE(seen, events);
    }
    QCOMPARE(m_boxes->asked.size(), boxText.isEmpty() ? 0 : 1);
    if (!boxText.isEmpty()) {
        QCOMPARE(m_boxes->asked.first().request.text, boxText);
        QCOMPARE(m_boxes->asked.first().request.icon, QMessageBox::Critical);
    }
    QCOMPARE(m_started.size(), replacerStarted ? 1 : 0);
    if (replacerStarted) {
        QCOMPARE(readFile(appFile(QStringLiteral("quillmora.uTMP"))), program);
        QCOMPARE(readFile(appFile(QStringLiteral("data.txt.uTMP"))), data);
    } else {
        // Nothing of a refused or failed upgrade stays: no download, no replacer.
        QCOMPARE(temporaryFiles(), QStringList());
        QCOMPARE(replacerFolders(), QStringList());
    }
    QCOMPARE(readFile(appFile(QStringLiteral("quillmora"))), QByteArray("old program"));
}

void TestUpgrader::untrustedCertificateInstallsNothing()
{
    TestCertificates certificates;
    QVERIFY2(certificates.error().isEmpty(), qPrintable(certificates.error()));
    UpgradeServer secure(certificates.certificate(TestCertificates::Expired), certificates.key());
    QVERIFY(secure.isRunning());
    secure.put(QStringLiteral("quillmora"), "new program");
    secure.put(QStringLiteral("info.txt"), QStringLiteral("#url=%1\r\n#date=03/13/2014\r\n")
                                               .arg(secure.url(QStringLiteral("quillmora")))
                                               .toUtf8());
    auto upgrader = makeUpgrader(QStringLiteral("info.txt"));
    upgrader->InfoFileURL = secure.url(QStringLiteral("info.txt"));
    upgrader->CAFile = certificates.authority();
    upgrader->CheckUpdate();
    QVERIFY(waitForEnd());
    QCOMPARE(m_events, (QStringList{QStringLiteral("unreachable %1 127.0.0.1").arg(upgrader->InfoFileURL),
                                    QStringLiteral("unreachable")}));
    QVERIFY(m_started.isEmpty());
    QCOMPARE(temporaryFiles(), QStringList());

    // The same release over a valid certificate goes through.
    UpgradeServer valid(certificates.certificate(TestCertificates::Good), certificates.key());
    valid.put(QStringLiteral("quillmora"), "new program");
    valid.put(QStringLiteral("info.txt"), QStringLiteral("#url=%1\r\n#date=03/13/2014\r\n")
                                              .arg(valid.url(QStringLiteral("quillmora")))
                                              .toUtf8());
    m_events.clear();
    upgrader->InfoFileURL = valid.url(QStringLiteral("info.txt"));
    upgrader->CheckUpdate();
    QVERIFY(waitForEnd());
    QCOMPARE(m_events.last(), QStringLiteral("closed"));
    QCOMPARE(readFile(appFile(QStringLiteral("quillmora.uTMP"))), QByteArray("new program"));
}

void TestUpgrader::removesOnlyOurOwnOldReplacer()
{
    const QDir runtime(m_runtime->path());
    // Ours, as an earlier upgrade left it.
    QVERIFY(runtime.mkdir(QStringLiteral("quillmora-replacer-Ab12Cd")));
    writeFile(runtime.filePath(QStringLiteral("quillmora-replacer-Ab12Cd/Replacer")), "from the last upgrade");
    QVERIFY(runtime.mkdir(QStringLiteral("quillmora-replacer-Empty0")));
    // Ours by name but holding more than the replacer: not a leftover of ours.
    QVERIFY(runtime.mkdir(QStringLiteral("quillmora-replacer-More00")));
    writeFile(runtime.filePath(QStringLiteral("quillmora-replacer-More00/Replacer")), "x");
    writeFile(runtime.filePath(QStringLiteral("quillmora-replacer-More00/notes.txt")), "y");
    // A file, and a link to a folder of ours, under the prefix.
    writeFile(runtime.filePath(QStringLiteral("quillmora-replacer-File00")), "a file");
    QVERIFY(runtime.mkdir(QStringLiteral("kept")));
    writeFile(runtime.filePath(QStringLiteral("kept/Replacer")), "kept");
    QVERIFY(QFile::link(runtime.filePath(QStringLiteral("kept")), runtime.filePath(QStringLiteral("quillmora-replacer-Link00"))));

    TupUpgrader upgrader;
    QCOMPARE(runtime.entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot, QDir::Name),
             (QStringList{"kept", "quillmora-replacer-File00", "quillmora-replacer-Link00", "quillmora-replacer-More00"}));
    QCOMPARE(readFile(runtime.filePath(QStringLiteral("kept/Replacer"))), QByteArray("kept"));
    QCOMPARE(upgrader.RestartParams(), QStringLiteral("/afterupgrade"));
    upgrader.setRestartParams(QString());
    QCOMPARE(upgrader.RestartParams(), QStringLiteral(" "));
}

void TestUpgrader::anotherAccountsFilesAreNeitherUsedNorRemoved()
{
    // Another account on the machine plants a replacer folder in our runtime folder
    // (only root can, here it stands for anything not ours) and a "Replacer" in the
    // shared temporary folder, where older versions wrote theirs.
    const passwd *other = ::getpwnam("nobody");
    if (::geteuid() != 0 || !other)
        QSKIP("needs root and the account 'nobody' to make files owned by another account");
    const QDir runtime(m_runtime->path());
    const QString planted = runtime.filePath(QStringLiteral("quillmora-replacer-Xy12Zw"));
    QVERIFY(runtime.mkdir(QStringLiteral("quillmora-replacer-Xy12Zw")));
    writeFile(planted + QStringLiteral("/Replacer"), "#!/bin/sh\necho ran > \"$0.ran\"\n");
    QTemporaryDir sharedTemp;
    const QString oldPlace = QDir(sharedTemp.path()).filePath(QStringLiteral("Replacer"));
    writeFile(oldPlace, "#!/bin/sh\necho ran > \"$0.ran\"\n");
    for (const QString &path : {planted, planted + QStringLiteral("/Replacer"), oldPlace}) {
        QVERIFY(::chown(QFile::encodeName(path).constData(), other->pw_uid, other->pw_gid) == 0);
        QVERIFY(QFile::setPermissions(path, QFile::permissions(path) | QFileDevice::ExeOwner | QFileDevice::ExeOther));
    }
    qputenv("TMPDIR", sharedTemp.path().toLocal8Bit());
    const auto restore = qScopeGuard([] { qunsetenv("TMPDIR"); });

    m_server->put(QStringLiteral("quillmora"), "new program");
    putInfo(QStringLiteral("#url=%1\r\n#date=03/13/2014\r\n").arg(served(QStringLiteral("quillmora"))));
    auto upgrader = makeUpgrader(QStringLiteral("info.txt"));
    upgrader->CheckUpdate();
    QVERIFY(waitForEnd());
    QCOMPARE(m_events.last(), QStringLiteral("closed"));

    // The other account's files are all still there, untouched, and none was started.
    QCOMPARE(QFileInfo(planted).ownerId(), other->pw_uid);
    QCOMPARE(QFileInfo(planted + QStringLiteral("/Replacer")).ownerId(), other->pw_uid);
    QCOMPARE(QFileInfo(oldPlace).ownerId(), other->pw_uid);
    QCOMPARE(m_started.size(), 1);
    const QString started = m_started.first().section(QLatin1Char(' '), 0, 0);
    QVERIFY2(!started.startsWith(planted) && started != oldPlace, qPrintable(started));
    QCOMPARE(QFileInfo(started).ownerId(), ::geteuid());
    QCOMPARE(QFileInfo(QFileInfo(started).absolutePath()).ownerId(), ::geteuid());
    QCOMPARE(readFile(started), readFile(qEnvironmentVariable("QUILLMORA_BIN_DIR") + QStringLiteral("/Replacer")));

    // A runtime folder that belongs to the other account is not used at all, nor is
    // the fallback in the temporary folder when the other account has made that one.
    QFile::remove(started);
    QDir().rmdir(QFileInfo(started).absolutePath());
    const QString fallback = QDir(sharedTemp.path()).filePath(QStringLiteral("runtime-root"));
    QVERIFY(QDir().mkdir(fallback));
    for (const QString &path : {m_runtime->path(), fallback})
        QVERIFY(::chown(QFile::encodeName(path).constData(), other->pw_uid, other->pw_gid) == 0);
    QCOMPARE(upPrivateRuntimeFolder(), QString());
    m_events.clear();
    m_started.clear();
    m_boxes->expect(QMessageBox::Ok);
    upgrader->CheckUpdate();
    QVERIFY(waitForEnd());
    QCOMPARE(m_events.mid(m_events.size() - 2), (QStringList{"endupgrade", "aborted"}));
    QVERIFY(m_started.isEmpty());
    QCOMPARE(m_boxes->asked.size(), 1);
    QVERIFY(!QFile::exists(planted + QStringLiteral("/Replacer.ran")));
    QVERIFY(!QFile::exists(oldPlace + QStringLiteral(".ran")));
    QVERIFY(::chown(QFile::encodeName(m_runtime->path()).constData(), 0, 0) == 0);
}

QTEST_MAIN(TestUpgrader)
#include "tst_upgrader.moc"
