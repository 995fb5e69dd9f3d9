#include "desktopshortcut.h"

#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QtTest>

class TestDesktopShortcut : public QObject
{
    Q_OBJECT

private slots:
    void execLine_data();
    void execLine();
    void entryNamesApplicationAndIcon();
    void writeCreatesFolderAndLauncher();
    void rewritesOnlyWhenDifferent();
    void failureIsReportedNotRaised();

private:
    static QByteArray read(const QString &path);
};

QByteArray TestDesktopShortcut::read(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void TestDesktopShortcut::execLine_data()
{
    QTest::addColumn<QString>("executable");
    QTest::addColumn<QString>("workingFolder");
    QTest::addColumn<QString>("exec");
    QTest::addColumn<QString>("path");

    // The program starts where its data is, not where it is installed.
    QTest::newRow("plain") << "/opt/quillmora/quillmora" << "/srv/shop" << R"(Exec="/opt/quillmora/quillmora")"
                           << "Path=/srv/shop";
    QTest::newRow("blanks and Chinese") << "/home/王芳/my apps/quillmora" << "/home/王芳/店 铺"
                                        << R"(Exec="/home/王芳/my apps/quillmora")" << "Path=/home/王芳/店 铺";
    // Inside quotes ", `, $ and \ are escaped, % is doubled, and then every backslash
    // is doubled once more as in any value of the file.
    QTest::newRow("characters special to the launcher")
        << R"(/tmp/a"b$c`d\e%f/quillmora)" << R"(/tmp/a"b$c`d\e%f)" << R"(Exec="/tmp/a\\"b\\$c\\`d\\\\e%%f/quillmora")"
        << R"(Path=/tmp/a"b$c`d\\e%f)";
}

void TestDesktopShortcut::execLine()
{
    QFETCH(QString, executable);
    QFETCH(QString, workingFolder);
    QFETCH(QString, exec);
    QFETCH(QString, path);

    const QStringList lines =
        DesktopShortcut::entryText(executable, workingFolder, QStringLiteral("/icons/q.png")).split('\n');
    QVERIFY2(lines.contains(exec), qPrintable(lines.join('\n')));
    QVERIFY2(lines.contains(path), qPrintable(lines.join('\n')));
}

void TestDesktopShortcut::entryNamesApplicationAndIcon()
{
    const QStringList lines =
        DesktopShortcut::entryText(QStringLiteral("/opt/q/quillmora"), QStringLiteral("/srv/shop"), QStringLiteral("/icons/q.png")).split('\n');
    QCOMPARE(lines.first(), QStringLiteral("[Desktop Entry]"));
    for (const char *line : {"Type=Application", "Name=Quillmora", "Comment=Quillmora", "Icon=/icons/q.png"})
        QVERIFY2(lines.contains(QLatin1String(line)), line);
}

void TestDesktopShortcut::writeCreatesFolderAndLauncher()
{
    QTemporaryDir dir;
    const QString desktop = dir.filePath(QStringLiteral("home/桌面"));
    const QString icon = dir.filePath(QStringLiteral("data/quillmora.png"));
    QVERIFY(DesktopShortcut::writeTo(desktop, QStringLiteral("/opt/q/quillmora"), QStringLiteral("/srv/shop"), icon));

    const QString launcher = desktop + QStringLiteral("/Quillmora.desktop");
    QCOMPARE(read(launcher), DesktopShortcut::entryText(QStringLiteral("/opt/q/quillmora"), QStringLiteral("/srv/shop"), icon).toUtf8());
    QVERIFY(QFileInfo(launcher).permissions() & QFile::ExeOwner);
    QCOMPARE(read(icon), read(QStringLiteral(":/quillmora/quillmora.png")));
    QVERIFY(!applicationIcon().pixmap(32, 32).isNull());
}

void TestDesktopShortcut::rewritesOnlyWhenDifferent()
{
    QTemporaryDir dir;
    const QString icon = dir.filePath(QStringLiteral("quillmora.png"));
    const QString launcher = dir.filePath(QStringLiteral("Quillmora.desktop"));
    QVERIFY(DesktopShortcut::writeTo(dir.path(), QStringLiteral("/opt/q/quillmora"), QStringLiteral("/srv/shop"), icon));
    const QByteArray written = read(launcher);

    // Unchanged content is left alone, date and all.
    const QDateTime old = QDateTime::currentDateTime().addDays(-3);
    {
        QFile file(launcher);
        QVERIFY(file.open(QIODevice::ReadWrite));
        QVERIFY(file.setFileTime(old, QFileDevice::FileModificationTime));
    }
    QVERIFY(DesktopShortcut::writeTo(dir.path(), QStringLiteral("/opt/q/quillmora"), QStringLiteral("/srv/shop"), icon));
    QCOMPARE(QFileInfo(launcher).lastModified().toSecsSinceEpoch(), old.toSecsSinceEpoch());

    // Edited content, a moved executable or another data folder is written anew.
    {
        QFile file(launcher);
        QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write("[Desktop Entry]\nExec=/somewhere/else\n");
    }
    QVERIFY(DesktopShortcut::writeTo(dir.path(), QStringLiteral("/opt/q/quillmora"), QStringLiteral("/srv/shop"), icon));
    QCOMPARE(read(launcher), written);
    QVERIFY(DesktopShortcut::writeTo(dir.path(), QStringLiteral("/srv/q/quillmora"), QStringLiteral("/srv/shop"), icon));
    QVERIFY(read(launcher).contains("Exec=\"/srv/q/quillmora\"\nPath=/srv/shop\n"));
    QVERIFY(DesktopShortcut::writeTo(dir.path(), QStringLiteral("/srv/q/quillmora"), QStringLiteral("/srv/shop2"), icon));
    QVERIFY(read(launcher).contains("Exec=\"/srv/q/quillmora\"\nPath=/srv/shop2\n"));
}

void TestDesktopShortcut::failureIsReportedNotRaised()
{
    QTemporaryDir dir;
    // A file where the desktop folder should be.
    const QString occupied = dir.filePath(QStringLiteral("Desktop"));
    QFile file(occupied);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.close();
    QVERIFY(!DesktopShortcut::writeTo(occupied, QStringLiteral("/opt/q/quillmora"), dir.path(),
                                      dir.filePath(QStringLiteral("quillmora.png"))));
    QVERIFY(!DesktopShortcut::writeTo(dir.filePath(QStringLiteral("ok")), QStringLiteral("/opt/q/quillmora"), dir.path(),
                                      occupied + QStringLiteral("/quillmora.png")));
}

QTEST_MAIN(TestDesktopShortcut)
#include "tst_desktopshortcut.moc"
