#include "testcertificates.h"
#include "testfiles.h"
#include "upRelease.h"
#include "upgradeserver.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include <pwd.h>
#include <sys/resource.h>
#include <unistd.h>

namespace {

// One installation of the probe in a folder of its own, with a runtime folder of its
// own for the replacer and a temporary folder of its own.
struct Installation
{
    QTemporaryDir folder;
    QTemporaryDir runtime;
    QTemporaryDir temp;
    qint64 fileSizeLimit = 0; // bytes; 0 leaves the limit as it is
    QString authority;        // trusted for HTTPS besides the system's authorities

    QString path(const QString &name) const { return folder.filePath(name); }
    QString program() const { return path(QStringLiteral("upgradeprobe")); }
    QString logPath() const { return path(QStringLiteral("probe.log")); }
    QStringList log() const
    {
        return QString::fromUtf8(readFile(logPath())).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    }
    QStringList temporaryFiles() const
    {
        return QDir(folder.path()).entryList({QStringLiteral("*.uTMP")}, QDir::Files | QDir::Hidden);
    }
    QStringList replacerFolders() const
    {
        return QDir(runtime.path()).entryList({QStringLiteral("quillmora-replacer-*")}, QDir::Dirs | QDir::Hidden);
    }
    QStringList files() const { return QDir(folder.path()).entryList(QDir::Files | QDir::Hidden, QDir::Name); }

    // Runs the probe until it exits by itself.
    bool run(const QString &infoUrl, const QString &answers = {}, const QMap<QString, QString> &extra = {})
    {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        for (const char *proxy : {"http_proxy", "HTTP_PROXY", "https_proxy", "HTTPS_PROXY", "all_proxy", "ALL_PROXY"})
            environment.remove(QString::fromLatin1(proxy));
        environment.insert(QStringLiteral("TMPDIR"), temp.path());
        environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtime.path());
        environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        environment.insert(QStringLiteral("QUILLMORA_PROBE_LOG"), logPath());
        environment.insert(QStringLiteral("QUILLMORA_PROBE_INFO_URL"), infoUrl);
        environment.insert(QStringLiteral("QUILLMORA_PROBE_ANSWERS"), answers);
        environment.insert(QStringLiteral("LC_ALL"), QStringLiteral("C"));
        environment.insert(QStringLiteral("QUILLMORA_PROBE_CA_FILE"), authority);
        environment.insert(QStringLiteral("QUILLMORA_PROBE_VERSION"), QStringLiteral("2.0"));
        for (auto it = extra.begin(); it != extra.end(); ++it)
            environment.insert(it.key(), it.value());
        QProcess probe;
        probe.setProcessEnvironment(environment);
        probe.setWorkingDirectory(folder.path());
        probe.setProcessChannelMode(QProcess::ForwardedChannels);
        if (fileSizeLimit > 0) {
            // As `ulimit -f` in the shell that starts the program.
            const rlim_t limit = rlim_t(fileSizeLimit);
            probe.setChildProcessModifier([limit] {
                rlimit value{};
                getrlimit(RLIMIT_FSIZE, &value);
                value.rlim_cur = std::min(limit, value.rlim_max);
                setrlimit(RLIMIT_FSIZE, &value);
            });
        }
        probe.start(program(), {});
        return probe.waitForFinished(90000) && probe.exitStatus() == QProcess::NormalExit && probe.exitCode() == 0;
    }
};

} // namespace

class TestUpgradeEndToEnd : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void upgradesItselfAndRestarts();
    void abortedUpgradeLeavesNothingBehind();
    void failedWriteStopsTheUpgrade_data();
    void failedWriteStopsTheUpgrade();
    void untrustworthyReleaseInstallsNothing_data();
    void untrustworthyReleaseInstallsNothing();

private:
    // Serves a download of the release.
    void serve(const QString &name, const QByteArray &bytes)
    {
        m_served.insert(name, bytes);
        m_server->put(name, bytes);
    }
    // Serves the information file, signed as the publisher does for the files served
    // under the listed names; returns what it serves.
    QByteArray publish(const QString &text, const QByteArray &secretKey = {})
    {
        const QByteArray info = text.toUtf8();
        QList<Release::Download> downloads;
        for (const QString &url : UpgradeInfoFile::parse(info).files) {
            const QByteArray bytes = m_served.value(Release::fileNamePart(url));
            downloads.append({url, bytes.size(), Release::sha256Hex(bytes)});
        }
        const QByteArray signedInfo = Release::sign(info, downloads, secretKey.isEmpty() ? m_secretKey : secretKey);
        m_server->put(QStringLiteral("info.txt"), signedInfo);
        return signedInfo;
    }

    QByteArray m_probe;
    QByteArray m_secretKey; // the pair the build made; the probe carries its public half
    std::unique_ptr<TestCertificates> m_certificates;
    std::unique_ptr<UpgradeServer> m_server;
    std::unique_ptr<Installation> m_installation;
    QHash<QString, QByteArray> m_served;
};

void TestUpgradeEndToEnd::initTestCase()
{
    m_probe = readFile(QCoreApplication::applicationDirPath() + QStringLiteral("/upgradeprobe"));
    QVERIFY(m_probe.startsWith("\x7f" "ELF"));
    m_secretKey = Release::decodeSecretKey(readFile(QStringLiteral(QUILLMORA_TEST_RELEASE_KEYS "/release.key")));
    QCOMPARE(m_secretKey.size(), Release::kSecretKeyBytes);
    // The probe was built with the public half of the pair.
    QCOMPARE(Release::encodeKey(Release::publicKeyOf(m_secretKey)),
             readFile(QStringLiteral(QUILLMORA_TEST_RELEASE_KEYS "/release.pub")));
    m_certificates = std::make_unique<TestCertificates>();
    QVERIFY2(m_certificates->error().isEmpty(), qPrintable(m_certificates->error()));
}

void TestUpgradeEndToEnd::init()
{
    // Everything comes over HTTPS, certified by the test's own authority.
    m_served.clear();
    m_server = std::make_unique<UpgradeServer>(m_certificates->certificate(TestCertificates::Good),
                                               m_certificates->key());
    QVERIFY(m_server->isRunning());
    QVERIFY(m_server->url({}).startsWith(QLatin1String("https://")));
    m_installation = std::make_unique<Installation>();
    Installation &installed = *m_installation;
    installed.authority = m_certificates->authority();
    writeFile(installed.program(), m_probe);
    QVERIFY(QFile::setPermissions(installed.program(), QFile::permissions(installed.program()) | QFileDevice::ExeOwner));
    writeFile(installed.path(QStringLiteral("data.txt")), "old data");
}

void TestUpgradeEndToEnd::upgradesItselfAndRestarts()
{
    Installation &installed = *m_installation;
    // The new release: the program with a different tail (ELF ignores trailing
    // bytes) and a new data file.
    const QByteArray newProgram = m_probe + "\nrelease 2\n";
    serve(QStringLiteral("upgradeprobe"), newProgram);
    serve(QStringLiteral("data.txt"), "new data");
    publish(QStringLiteral("#url=%1\r\n#url2=%2\r\n#date=01/02/2020\r\n#version=2.1\r\n#message={Second release}\r\n")
                .arg(m_server->url(QStringLiteral("upgradeprobe")), m_server->url(QStringLiteral("data.txt"))));

    // Where older versions wrote the replacer, another account has put a program of
    // its own (possible only as root here): it must not be run.
    const passwd *other = ::getpwnam("nobody");
    QString oldPlace;
    if (::geteuid() == 0 && other) {
        oldPlace = QDir(installed.temp.path()).filePath(QStringLiteral("Replacer"));
        writeFile(oldPlace, "#!/bin/sh\necho ran > \"$0.ran\"\n");
        QVERIFY(QFile::setPermissions(oldPlace, QFile::permissions(oldPlace) | QFileDevice::ExeOwner | QFileDevice::ExeOther));
        QVERIFY(::chown(QFile::encodeName(oldPlace).constData(), other->pw_uid, other->pw_gid) == 0);
    }

    QVERIFY(installed.run(m_server->url(QStringLiteral("info.txt")), {},
                          {{QStringLiteral("QUILLMORA_PROBE_WIZARD"), QStringLiteral("1")},
                           {QStringLiteral("LC_ALL"), QStringLiteral("zh_CN.UTF-8")}}));
    // The replacer waits for the probe to end, installs the files and starts it again.
    QTRY_VERIFY_WITH_TIMEOUT(installed.log().contains(QStringLiteral("afterrestart")), 30000);
    QTRY_COMPARE_WITH_TIMEOUT(installed.log().last(), QStringLiteral("exit"), 30000);

    const QString folder = QDir(installed.folder.path()).canonicalPath();
    const QStringList expected{
        QStringLiteral("started [] in %1").arg(folder),
        QStringLiteral("begin 2 files, message Second release"),
        QStringLiteral("filedone %1/upgradeprobe.uTMP").arg(folder),
        QStringLiteral("filedone %1/data.txt.uTMP").arg(folder),
        QStringLiteral("wizard 升级完成！|[&O]确定"),
        QStringLiteral("endupgrade"),
        QStringLiteral("exit"),
        QStringLiteral("started [/afterupgrade] in %1").arg(folder),
        QStringLiteral("afterrestart"),
        QStringLiteral("exit"),
    };
    QCOMPARE(installed.log().join(QLatin1Char('\n')), expected.join(QLatin1Char('\n')));
    QCOMPARE(readFile(installed.program()), newProgram);
    QVERIFY(QFileInfo(installed.program()).isExecutable());
    QCOMPARE(readFile(installed.path(QStringLiteral("data.txt"))), QByteArray("new data"));
    QCOMPARE(installed.temporaryFiles(), QStringList());
    // The restarted program removed the replacer the upgrade had written.
    QCOMPARE(installed.replacerFolders(), QStringList());
    if (!oldPlace.isEmpty()) {
        QVERIFY(!QFile::exists(oldPlace + QStringLiteral(".ran")));
        QCOMPARE(QFileInfo(oldPlace).ownerId(), other->pw_uid);
    }
}

void TestUpgradeEndToEnd::abortedUpgradeLeavesNothingBehind()
{
    Installation &installed = *m_installation;
    serve(QStringLiteral("data.txt"), "new data");
    publish(QStringLiteral("#url=%1\r\n#url2=%2\r\n#date=01/02/2020\r\n#version=2.1\r\n")
                .arg(m_server->url(QStringLiteral("data.txt")), m_server->url(QStringLiteral("missing.bin"))));

    // The second file is missing. Whoever would answer "skip" is not asked: a signed
    // release installs whole or not at all.
    QVERIFY(installed.run(m_server->url(QStringLiteral("info.txt")), QStringLiteral("Yes")));
    const QString folder = QDir(installed.folder.path()).canonicalPath();
    const QStringList expected{
        QStringLiteral("started [] in %1").arg(folder),
        QStringLiteral("begin 2 files, message "),
        QStringLiteral("filedone %1/data.txt.uTMP").arg(folder),
        QStringLiteral("lostfile %1 404").arg(m_server->url(QStringLiteral("missing.bin"))),
        QStringLiteral("box Application update wizard|File missing.bin was not found on the server.\\n\\nA release is "
                       "installed whole or not at all: the upgrade was stopped; no file of this program was changed.|Yes"),
        QStringLiteral("aborted"),
        QStringLiteral("exit"),
    };
    const QStringList log = installed.log();
    QCOMPARE(log.join(QLatin1Char('\n')), expected.join(QLatin1Char('\n')));
    QVERIFY(log.contains(QStringLiteral("aborted")));
    QVERIFY(!log.contains(QStringLiteral("endupgrade")));
    QCOMPARE(readFile(installed.program()), m_probe);
    QCOMPARE(readFile(installed.path(QStringLiteral("data.txt"))), QByteArray("old data"));
    QCOMPARE(installed.replacerFolders(), QStringList());
    // The file downloaded before the abort went with it. A partial one of a transfer
    // interrupted some other way may still be there.
    QCOMPARE(installed.temporaryFiles(), QStringList());
    writeFile(installed.path(QStringLiteral("data.txt.uTMP")), "new data");
    writeFile(installed.path(QStringLiteral("partial.bin.uTMP")), "half a fi");

    // The next upgrade brings only the program; the leftovers must not be installed.
    const QByteArray newProgram = m_probe + "\nrelease 3\n";
    serve(QStringLiteral("upgradeprobe"), newProgram);
    publish(QStringLiteral("#url=%1\r\n#date=01/02/2020\r\n#version=2.2\r\n").arg(m_server->url(QStringLiteral("upgradeprobe"))));
    QFile::remove(installed.logPath());
    QVERIFY(installed.run(m_server->url(QStringLiteral("info.txt"))));
    QTRY_VERIFY_WITH_TIMEOUT(installed.log().contains(QStringLiteral("afterrestart")), 30000);
    QTRY_COMPARE_WITH_TIMEOUT(installed.log().last(), QStringLiteral("exit"), 30000);

    QCOMPARE(readFile(installed.program()), newProgram);
    QCOMPARE(readFile(installed.path(QStringLiteral("data.txt"))), QByteArray("old data"));
    QVERIFY(!QFile::exists(installed.path(QStringLiteral("partial.bin"))));
    QCOMPARE(installed.temporaryFiles(), QStringList());
}

void TestUpgradeEndToEnd::failedWriteStopsTheUpgrade_data()
{
    QTest::addColumn<QByteArray>("secondFile");
    QTest::addColumn<qint64>("limit");
    QTest::addColumn<QString>("box");
    // A 20,000-byte download under a file size limit of 10,000 bytes, as with a full disk.
    QTest::newRow("download cut short") << QByteArray(20000, 'n') << qint64(10000)
                                        << QStringLiteral("File %1/big.bin.uTMP could not be written.\\n\\nThe "
                                                          "upgrade was stopped; no file of this program was changed.");
    // Small downloads, but the replacer does not fit under the limit.
    QTest::newRow("replacer cut short") << QByteArray("new big") << qint64(10000)
                                        << QStringLiteral("The installer of this upgrade could not be prepared.\\n\\n"
                                                          "The upgrade was stopped; no file of this program was "
                                                          "changed.");
}

void TestUpgradeEndToEnd::failedWriteStopsTheUpgrade()
{
    QFETCH(QByteArray, secondFile);
    QFETCH(qint64, limit);
    QFETCH(QString, box);
    Installation &installed = *m_installation;
    writeFile(installed.path(QStringLiteral("big.bin")), "old big");
    serve(QStringLiteral("data.txt"), "new data");
    serve(QStringLiteral("big.bin"), secondFile);
    publish(QStringLiteral("#url=%1\r\n#url2=%2\r\n#date=01/02/2020\r\n#version=2.1\r\n")
                .arg(m_server->url(QStringLiteral("data.txt")), m_server->url(QStringLiteral("big.bin"))));
    installed.fileSizeLimit = limit;
    QVERIFY(installed.run(m_server->url(QStringLiteral("info.txt")), QStringLiteral("Ok")));

    const QString folder = QDir(installed.folder.path()).canonicalPath();
    const QStringList log = installed.log();
    QCOMPARE(log.first(), QStringLiteral("started [] in %1").arg(folder));
    QCOMPARE(log.at(2), QStringLiteral("filedone %1/data.txt.uTMP").arg(folder));
    QCOMPARE(log.contains(QStringLiteral("filedone %1/big.bin.uTMP").arg(folder)), secondFile.size() < limit);
    QCOMPARE(log.mid(log.size() - 3), (QStringList{QStringLiteral("box Application update wizard|%1|Ok").arg(box.contains(QLatin1String("%1")) ? box.arg(folder) : box),
                                                   QStringLiteral("aborted"), QStringLiteral("exit")}));
    // Nothing installed, nothing of the upgrade left behind, and no restart.
    QCOMPARE(readFile(installed.program()), m_probe);
    QCOMPARE(readFile(installed.path(QStringLiteral("data.txt"))), QByteArray("old data"));
    QCOMPARE(readFile(installed.path(QStringLiteral("big.bin"))), QByteArray("old big"));
    QCOMPARE(installed.files(), (QStringList{"big.bin", "data.txt", "probe.log", "upgradeprobe"}));
    QCOMPARE(installed.replacerFolders(), QStringList());
    QTest::qWait(500);
    QCOMPARE(installed.log().size(), log.size());
}

void TestUpgradeEndToEnd::untrustworthyReleaseInstallsNothing_data()
{
    QTest::addColumn<QString>("variant");
    QTest::addColumn<QStringList>("ending"); // the last lines of the probe's log
    const QString notReleased = QStringLiteral("box Application update wizard|File data.txt is not the file the "
                                               "publisher released.\\n\\nThe upgrade was stopped; no file of this "
                                               "program was changed.|Ok");
    const QString notSigned = QStringLiteral("box Application update wizard|The upgrade information is not signed by "
                                             "the publisher of this program.\\n\\nNo upgrade is installed.|Ok");
    const QString notNewer = QStringLiteral("box Application update wizard|Newer version not found. You actually "
                                            "are\\nusing most recent version of this program.|Ok");
    QTest::newRow("a byte of a download changed") << "tampered download" << QStringList{notReleased, "aborted", "exit"};
    QTest::newRow("information file changed") << "tampered info" << QStringList{"nonewer", notSigned, "exit"};
    QTest::newRow("a file listed with a wrong size") << "wrong size" << QStringList{notReleased, "aborted", "exit"};
    QTest::newRow("signed with another key") << "other key" << QStringList{"nonewer", notSigned, "exit"};
    QTest::newRow("a lower release offered") << "downgrade" << QStringList{"nonewer", notNewer, "exit"};
}

void TestUpgradeEndToEnd::untrustworthyReleaseInstallsNothing()
{
    QFETCH(QString, variant);
    QFETCH(QStringList, ending);
    Installation &installed = *m_installation;
    const QByteArray newProgram = m_probe + "\nrelease 2\n";
    serve(QStringLiteral("upgradeprobe"), newProgram);
    serve(QStringLiteral("data.txt"), variant == QLatin1String("wrong size") ? "new data, as listed" : "new data");
    const QString info = QStringLiteral("#url=%1\r\n#url2=%2\r\n#date=01/02/2020\r\n#version=%3\r\n")
                             .arg(m_server->url(QStringLiteral("upgradeprobe")), m_server->url(QStringLiteral("data.txt")),
                                  variant == QLatin1String("downgrade") ? QStringLiteral("1.9") : QStringLiteral("2.1"));
    const QByteArray signedInfo
        = publish(info, variant == QLatin1String("other key") ? Release::generateKeyPair().secretKey : QByteArray());
    if (variant == QLatin1String("tampered download"))
        m_server->put(QStringLiteral("data.txt"), "new dat4"); // the same size, one byte changed
    if (variant == QLatin1String("wrong size"))
        m_server->put(QStringLiteral("data.txt"), "new data");
    if (variant == QLatin1String("tampered info"))
        m_server->put(QStringLiteral("info.txt"), QByteArray(signedInfo).replace("#date=01/02/2020", "#date=01/02/2021"));

    QVERIFY(installed.run(m_server->url(QStringLiteral("info.txt")), QStringLiteral("Ok")));
    const QStringList log = installed.log();
    QCOMPARE(log.mid(log.size() - ending.size()), ending);
    QVERIFY(!log.contains(QStringLiteral("endupgrade")));
    // The installation is byte for byte what it was, with nothing of the release left
    // beside it, no replacer written and no restart.
    QCOMPARE(readFile(installed.program()), m_probe);
    QCOMPARE(readFile(installed.path(QStringLiteral("data.txt"))), QByteArray("old data"));
    QCOMPARE(installed.files(), (QStringList{"data.txt", "probe.log", "upgradeprobe"}));
    QCOMPARE(installed.replacerFolders(), QStringList());
    QTest::qWait(500);
    QCOMPARE(installed.log().size(), log.size());
}

QTEST_GUILESS_MAIN(TestUpgradeEndToEnd)
#include "tst_upgrade_e2e.moc"
