#include "replacer.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

namespace {

void writeFile(const QString &path, const QByteArray &bytes, QFileDevice::Permissions permissions = {})
{
    QFile file(path);
    QVERIFY2(file.open(QIODevice::WriteOnly | QIODevice::Truncate), qPrintable(path));
    file.write(bytes);
    file.close();
    if (permissions)
        QVERIFY(file.setPermissions(permissions));
}

QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

const QFileDevice::Permissions kExecutable = QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner
                                             | QFileDevice::ReadGroup | QFileDevice::ExeGroup
                                             | QFileDevice::ReadOther | QFileDevice::ExeOther;

QFileDevice::Permissions modeOf(const QString &path)
{
    // The "User" flags repeat the owner's for the current user; compare the mode bits only.
    return QFile::permissions(path) & ~(QFileDevice::ReadUser | QFileDevice::WriteUser | QFileDevice::ExeUser);
}

struct Recorded
{
    QStringList calls;
    Replacer::Launcher launcher()
    {
        Replacer::Launcher l;
        l.startDetached = [this](const QString &program, const QStringList &arguments) {
            calls << QStringLiteral("start %1 [%2]").arg(program, arguments.join(QLatin1Char('|')));
            return true;
        };
        l.runAndWait = [this](const QString &program, const QStringList &arguments) {
            calls << QStringLiteral("wait %1 [%2] exists=%3")
                         .arg(program, arguments.join(QLatin1Char('|')))
                         .arg(QFile::exists(program));
        };
        l.pause = [] {};
        return l;
    }
};

} // namespace

class TestReplacer : public QObject
{
    Q_OBJECT

private slots:
    void parseArguments_data();
    void parseArguments();
    void installsEveryTemporaryFile();
    void installsAllOrNothing();
    void setupProgramChoice_data();
    void setupProgramChoice();
    void busyWhileTheExecutableRuns();
    void realProgramReplacesAndRestarts();
};

void TestReplacer::parseArguments_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("argumentText");
    QTest::addColumn<bool>("setupMode");
    QTest::addColumn<QString>("runPath");
    QTest::addColumn<QString>("restartParams");
    QTest::addColumn<QString>("folder");

    QTest::newRow("self upgrade")
        << QStringList{"/opt/q/quillmora", "+/afterupgrade0"} << "/opt/q/quillmora +/afterupgrade0 " << false
        << "/opt/q/quillmora" << "/afterupgrade" << "/opt/q/";
    QTest::newRow("external setup")
        << QStringList{"/opt/q/quillmora", "+/afterupgrade1"} << "/opt/q/quillmora +/afterupgrade1 " << true
        << "/opt/q/quillmora" << "/afterupgrade" << "/opt/q/";
    QTest::newRow("path split at blanks arrives whole")
        << QStringList{"/opt/my", "shop/quillmora", "+/afterupgrade0"} << "/opt/my shop/quillmora +/afterupgrade0 "
        << false << "/opt/my shop/quillmora" << "/afterupgrade" << "/opt/my shop/";
    QTest::newRow("empty restart parameters became a blank")
        << QStringList{"/a/app", "+", "0"} << "/a/app + 0 " << false << "/a/app" << " " << "/a/";
    QTest::newRow("no restart part") << QStringList{"/a/app1"} << "/a/app1 " << false << "/a/app1" << "" << "/a/";
    QTest::newRow("plus inside the path")
        << QStringList{"/home/u/c++/app", "+/afterupgrade0"} << "/home/u/c++/app +/afterupgrade0 " << false
        << "/home/u/c++/app" << "/afterupgrade" << "/home/u/c++/";
    QTest::newRow("no folder") << QStringList{"app", "+/x0"} << "app +/x0 " << false << "app" << "/x" << "";
}

void TestReplacer::parseArguments()
{
    QFETCH(QStringList, arguments);
    const Replacer::Command command = Replacer::parseArguments(arguments);
    QTEST(command.argumentText, "argumentText");
    QTEST(command.setupMode, "setupMode");
    QTEST(command.runPath, "runPath");
    QTEST(command.restartParams, "restartParams");
    QTEST(command.folder, "folder");
}

void TestReplacer::installsEveryTemporaryFile()
{
    QTemporaryDir dir;
    const QString app = dir.filePath(QStringLiteral("quillmora"));
    writeFile(app, "old program", kExecutable);
    writeFile(app + QStringLiteral(".uTMP"), "new program");
    writeFile(dir.filePath(QStringLiteral("data.txt")), "old data");
    writeFile(dir.filePath(QStringLiteral("data.txt.uTMP")), "new data");
    writeFile(dir.filePath(QStringLiteral("added.txt.uTMP")), "added");
    writeFile(dir.filePath(QStringLiteral("other.txt")), "untouched");

    Recorded recorded;
    const Replacer::Installation installation =
        Replacer::run({app, QStringLiteral("+/afterupgrade0")}, recorded.launcher());

    QStringList installed = installation.installed;
    installed.sort();
    QCOMPARE(installed, (QStringList{dir.filePath(QStringLiteral("added.txt")), dir.filePath(QStringLiteral("data.txt")), app}));
    QVERIFY(installation.failed.isEmpty());
    QVERIFY(installation.setupProgram.isEmpty());
    QCOMPARE(readFile(app), QByteArray("new program"));
    QCOMPARE(modeOf(app), kExecutable);
    QCOMPARE(readFile(dir.filePath(QStringLiteral("data.txt"))), QByteArray("new data"));
    QCOMPARE(readFile(dir.filePath(QStringLiteral("added.txt"))), QByteArray("added"));
    QCOMPARE(readFile(dir.filePath(QStringLiteral("other.txt"))), QByteArray("untouched"));
    QCOMPARE(QDir(dir.path()).entryList({QStringLiteral("*.uTMP")}, QDir::Files | QDir::Hidden), QStringList());
    QCOMPARE(recorded.calls, QStringList{QStringLiteral("start %1 [/afterupgrade]").arg(app)});
}

void TestReplacer::installsAllOrNothing()
{
    // One file of the release cannot be put in place (a folder stands where it goes):
    // none is installed, the old files stay, and the release's files go.
    QTemporaryDir dir;
    const QString app = dir.filePath(QStringLiteral("quillmora"));
    writeFile(app, "old program", kExecutable);
    writeFile(app + QStringLiteral(".uTMP"), "new program");
    writeFile(dir.filePath(QStringLiteral("data.txt")), "old data");
    writeFile(dir.filePath(QStringLiteral("data.txt.uTMP")), "new data");
    writeFile(dir.filePath(QStringLiteral("added.txt.uTMP")), "added");
    QVERIFY(QDir(dir.path()).mkpath(QStringLiteral("images/kept")));
    writeFile(dir.filePath(QStringLiteral("images.uTMP")), "a file where a folder is");

    Recorded recorded;
    const Replacer::Installation installation =
        Replacer::run({app, QStringLiteral("+/afterupgrade0")}, recorded.launcher());

    QCOMPARE(installation.installed, QStringList());
    QStringList failed = installation.failed;
    failed.sort();
    QCOMPARE(failed, (QStringList{dir.filePath(QStringLiteral("added.txt.uTMP")), dir.filePath(QStringLiteral("data.txt.uTMP")),
                                  dir.filePath(QStringLiteral("images.uTMP")), app + QStringLiteral(".uTMP")}));
    QCOMPARE(readFile(app), QByteArray("old program"));
    QCOMPARE(modeOf(app), kExecutable);
    QCOMPARE(readFile(dir.filePath(QStringLiteral("data.txt"))), QByteArray("old data"));
    QVERIFY(QFileInfo(dir.filePath(QStringLiteral("images/kept"))).isDir());
    QCOMPARE(QDir(dir.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name),
             (QStringList{"data.txt", "images", "quillmora"}));
    // The old release starts again.
    QCOMPARE(recorded.calls, QStringList{QStringLiteral("start %1 [/afterupgrade]").arg(app)});
}

void TestReplacer::setupProgramChoice_data()
{
    QTest::addColumn<QString>("applicationName");
    QTest::addColumn<QStringList>("downloaded");
    QTest::addColumn<QString>("setupProgram");

    QTest::newRow("setup program runs first") << "quillmora" << QStringList{"setup.exe"} << "setup.exe";
    QTest::newRow("upper-case EXE is not a setup program") << "quillmora" << QStringList{"SETUP.EXE"} << "";
    QTest::newRow("no setup program") << "quillmora" << QStringList{"readme.txt"} << "";
    QTest::newRow("the application itself is never the setup program")
        << "quillmora.exe" << QStringList{"quillmora.exe"} << "";
}

void TestReplacer::setupProgramChoice()
{
    QFETCH(QString, applicationName);
    QFETCH(QStringList, downloaded);
    QFETCH(QString, setupProgram);

    QTemporaryDir dir;
    const QString app = dir.filePath(applicationName);
    writeFile(app, "old program", kExecutable);
    for (const QString &name : downloaded)
        writeFile(dir.filePath(name + QStringLiteral(".uTMP")), name.toUtf8());

    Recorded recorded;
    const Replacer::Installation installation =
        Replacer::run({app, QStringLiteral("+/afterupgrade1")}, recorded.launcher());

    QStringList expectedCalls;
    if (!setupProgram.isEmpty()) {
        const QString setup = dir.filePath(setupProgram);
        QCOMPARE(installation.setupProgram, setup);
        expectedCalls << QStringLiteral("wait %1 [/afterupgrade] exists=1").arg(setup);
        QVERIFY(!QFile::exists(setup)); // removed once it has run
    } else {
        QVERIFY(installation.setupProgram.isEmpty());
        for (const QString &name : downloaded)
            QCOMPARE(readFile(dir.filePath(name)), name.toUtf8());
    }
    expectedCalls << QStringLiteral("start %1 [/afterupgrade]").arg(app);
    QCOMPARE(recorded.calls, expectedCalls);
    QVERIFY(QFile::exists(app));
}

void TestReplacer::busyWhileTheExecutableRuns()
{
    QTemporaryDir dir;
    const QString copy = dir.filePath(QStringLiteral("sleeper"));
    QVERIFY(QFile::copy(QStringLiteral("/bin/sleep"), copy));
    QVERIFY(!Replacer::executableBusy(copy));

    QProcess process;
    process.start(copy, {QStringLiteral("1")});
    QVERIFY(process.waitForStarted());
    QVERIFY(Replacer::executableBusy(copy));

    int pauses = 0;
    Replacer::waitUntilFree(copy, [&] {
        ++pauses;
        QThread::msleep(20);
    });
    QVERIFY(pauses > 0);
    QVERIFY(process.waitForFinished());
    QVERIFY(!Replacer::executableBusy(copy));
}

void TestReplacer::realProgramReplacesAndRestarts()
{
    // The application here is a script that records how it was started; the new
    // release writes a different word.
    QTemporaryDir dir;
    const QString app = dir.filePath(QStringLiteral("my shop"));
    QVERIFY(QDir(dir.path()).mkpath(QStringLiteral("my shop")));
    const QString exe = app + QStringLiteral("/app");
    const QString log = app + QStringLiteral("/started.txt");
    writeFile(exe, "#!/bin/sh\necho old \"$@\" > \"$(dirname \"$0\")/started.txt\"\n", kExecutable);
    writeFile(exe + QStringLiteral(".uTMP"), "#!/bin/sh\necho new \"$@\" > \"$(dirname \"$0\")/started.txt\"\n");

    const QString replacer = qEnvironmentVariable("QUILLMORA_BIN_DIR") + QStringLiteral("/Replacer");
    QProcess process;
    process.start(replacer, {exe, QStringLiteral("+/afterupgrade0")});
    QVERIFY(process.waitForFinished(10000));
    QCOMPARE(process.exitCode(), 0);
    QTRY_COMPARE_WITH_TIMEOUT(readFile(log), QByteArray("new /afterupgrade\n"), 10000);
    QVERIFY(!QFile::exists(exe + QStringLiteral(".uTMP")));
}

QTEST_GUILESS_MAIN(TestReplacer)
#include "tst_replacer.moc"
