#include "upgradeserver.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

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

// One installation of the probe in a folder of its own, with a private temporary
// folder for its replacer.
struct Installation
{
    QTemporaryDir folder;
    QTemporaryDir temp;

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

    // Runs the probe until it exits by itself.
    bool run(const QString &infoUrl, const QString &answers = {}, const QMap<QString, QString> &extra = {})
    {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        for (const char *proxy : {"http_proxy", "HTTP_PROXY", "https_proxy", "HTTPS_PROXY", "all_proxy", "ALL_PROXY"})
            environment.remove(QString::fromLatin1(proxy));
        environment.insert(QStringLiteral("TMPDIR"), temp.path());
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
    QVERIFY(!QFile::exists(QDir(installed.temp.path()).filePath(QStringLiteral("Replacer"))));
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
    QVERIFY(!QFile::exists(QDir(installed.temp.path()).filePath(QStringLiteral("Replacer"))));
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

QTEST_GUILESS_MAIN(TestUpgradeEndToEnd)
#include "tst_upgrade_e2e.moc"
