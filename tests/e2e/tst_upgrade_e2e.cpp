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

QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

void writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(bytes);
}

// One installation of the probe in a folder of its own, with a runtime folder of its
// own for the replacer and a temporary folder of its own.
struct Installation
{
    QTemporaryDir folder;
    QTemporaryDir runtime;
    QTemporaryDir temp;
    qint64 fileSizeLimit = 0; // bytes; 0 leaves the limit as it is

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

private:
    QByteArray m_probe;
    std::unique_ptr<UpgradeServer> m_server;
    std::unique_ptr<Installation> m_installation;
};

void TestUpgradeEndToEnd::initTestCase()
{
    m_probe = readFile(QCoreApplication::applicationDirPath() + QStringLiteral("/upgradeprobe"));
    QVERIFY(m_probe.startsWith("\x7f" "ELF"));
}

void TestUpgradeEndToEnd::init()
{
    m_server = std::make_unique<UpgradeServer>();
    QVERIFY(m_server->isRunning());
    m_installation = std::make_unique<Installation>();
    Installation &installed = *m_installation;
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
    m_server->put(QStringLiteral("upgradeprobe"), newProgram);
    m_server->put(QStringLiteral("data.txt"), "new data");
    m_server->put(QStringLiteral("info.txt"), QStringLiteral("#url=%1\r\n#url2=%2\r\n#date=01/02/2020\r\n#message={Second release}\r\n")
                                                  .arg(m_server->url(QStringLiteral("upgradeprobe")),
                                                       m_server->url(QStringLiteral("data.txt")))
                                                  .toUtf8());

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
    m_server->put(QStringLiteral("data.txt"), "new data");
    m_server->put(QStringLiteral("info.txt"), QStringLiteral("#url=%1\r\n#url2=%2\r\n#date=01/02/2020\r\n")
                                                  .arg(m_server->url(QStringLiteral("data.txt")),
                                                       m_server->url(QStringLiteral("missing.bin")))
                                                  .toUtf8());

    // The second file is missing; the question is answered No.
    QVERIFY(installed.run(m_server->url(QStringLiteral("info.txt")), QStringLiteral("No")));
    const QString folder = QDir(installed.folder.path()).canonicalPath();
    const QStringList expected{
        QStringLiteral("started [] in %1").arg(folder),
        QStringLiteral("begin 2 files, message "),
        QStringLiteral("filedone %1/data.txt.uTMP").arg(folder),
        QStringLiteral("lostfile %1 404").arg(m_server->url(QStringLiteral("missing.bin"))),
        QStringLiteral("box Error #404|File missing.bin not found or inaccessible.\\n\\nTry to skip this file and "
                       "continue upgrade?|No"),
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
    // The file downloaded before the abort stays as a temporary file; a partial one
    // of an interrupted transfer may be there too.
    QCOMPARE(installed.temporaryFiles(), QStringList{QStringLiteral("data.txt.uTMP")});
    writeFile(installed.path(QStringLiteral("partial.bin.uTMP")), "half a fi");

    // The next upgrade brings only the program; the leftovers must not be installed.
    const QByteArray newProgram = m_probe + "\nrelease 3\n";
    m_server->put(QStringLiteral("upgradeprobe"), newProgram);
    m_server->put(QStringLiteral("info.txt"), QStringLiteral("#url=%1\r\n#date=01/02/2020\r\n")
                                                  .arg(m_server->url(QStringLiteral("upgradeprobe")))
                                                  .toUtf8());
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
    m_server->put(QStringLiteral("data.txt"), "new data");
    m_server->put(QStringLiteral("big.bin"), secondFile);
    m_server->put(QStringLiteral("info.txt"), QStringLiteral("#url=%1\r\n#url2=%2\r\n#date=01/02/2020\r\n")
                                                  .arg(m_server->url(QStringLiteral("data.txt")),
                                                       m_server->url(QStringLiteral("big.bin")))
                                                  .toUtf8());
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

QTEST_GUILESS_MAIN(TestUpgradeEndToEnd)
#include "tst_upgrade_e2e.moc"
