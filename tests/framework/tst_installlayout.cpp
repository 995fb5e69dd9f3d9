#include "installlayout.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

// Telling a system installation from a folder of its own, on real folders and links.
class TestInstallLayout : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void executablePlace_data();
    void executablePlace();
    void runningProgram();

private:
    std::unique_ptr<QTemporaryDir> m_root;
};

void TestInstallLayout::init()
{
    m_root = std::make_unique<QTemporaryDir>();
    QDir root(m_root->path());
    for (const char *folder : {"usr/bin/tools", "usr/bin2", "build/bin"})
        QVERIFY(root.mkpath(QString::fromLatin1(folder)));
    // A merged system: /bin is a link to /usr/bin.
    QVERIFY(QFile::link(root.filePath(QStringLiteral("usr/bin")), root.filePath(QStringLiteral("bin"))));
    QVERIFY(QFile::link(root.filePath(QStringLiteral("usr/bin/quillmora")),
                        root.filePath(QStringLiteral("build/bin/link-to-installed"))));
}

void TestInstallLayout::cleanup()
{
    InstallLayout::setBinaryFolder({});
}

void TestInstallLayout::executablePlace_data()
{
    QTest::addColumn<QString>("executable");
    QTest::addColumn<QString>("binaryFolder");
    QTest::addColumn<bool>("installed");

    QTest::newRow("in the binary folder") << "usr/bin/quillmora" << "usr/bin" << true;
    QTest::newRow("binary folder named with a trailing slash") << "usr/bin/quillmora" << "usr/bin/" << true;
    QTest::newRow("started through the merged /bin") << "bin/quillmora" << "usr/bin" << true;
    QTest::newRow("binary folder given as the merged /bin") << "usr/bin/quillmora" << "bin" << true;
    QTest::newRow("a build folder") << "build/bin/quillmora" << "usr/bin" << false;
    QTest::newRow("a folder below the binary folder") << "usr/bin/tools/quillmora" << "usr/bin" << false;
    QTest::newRow("a folder whose name starts like it") << "usr/bin2/quillmora" << "usr/bin" << false;
    // The link lies in the build folder; the program's place is where it was started.
    QTest::newRow("a link in a build folder") << "build/bin/link-to-installed" << "usr/bin" << false;
    QTest::newRow("binary folder missing") << "usr/bin/quillmora" << "usr/sbin" << false;
    QTest::newRow("both folders missing") << "opt/x/quillmora" << "opt/y" << false;
    QTest::newRow("no binary folder") << "usr/bin/quillmora" << "" << false;
    QTest::newRow("no executable") << "" << "usr/bin" << false;
}

void TestInstallLayout::executablePlace()
{
    QFETCH(QString, executable);
    QFETCH(QString, binaryFolder);
    QFETCH(bool, installed);
    const QDir root(m_root->path());
    const QString executablePath = executable.isEmpty() ? QString() : root.filePath(executable);
    const QString folderPath = binaryFolder.isEmpty() ? QString() : root.filePath(binaryFolder);
    QCOMPARE(InstallLayout::isInstalled(executablePath, folderPath), installed);
}

void TestInstallLayout::runningProgram()
{
    // This test program runs from the build folder, as scripts/run starts the
    // application: that is a folder of its own.
    QVERIFY(QDir::isAbsolutePath(InstallLayout::binaryFolder()));
    QVERIFY(!InstallLayout::runsInstalled());
    InstallLayout::setBinaryFolder(QCoreApplication::applicationDirPath());
    QVERIFY(InstallLayout::runsInstalled());
    QVERIFY(!InstallLayout::isInstalled(QDir(m_root->path()).filePath(QStringLiteral("usr/bin/quillmora"))));
    InstallLayout::setBinaryFolder({});
    QVERIFY(!InstallLayout::runsInstalled());
}

QTEST_GUILESS_MAIN(TestInstallLayout)
#include "tst_installlayout.moc"
