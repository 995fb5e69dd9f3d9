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
    QTest::addColumn<QString>("exec");
    QTest::addColumn<QString>("path");

    QTest::newRow("plain") << "/opt/quillmora/quillmora" << R"(Exec="/opt/quillmora/quillmora")"
                           << "Path=/opt/quillmora";
    QTest::newRow("blanks and Chinese") << "/home/王芳/my apps/quillmora" << R"(Exec="/home/王芳/my apps/quillmora")"
                                        << "Path=/home/王芳/my apps";
    // Inside quotes ", `, $ and \ are escaped, % is doubled, and then every backslash
    // is doubled once more as in any value of the file.
    QTest::newRow("characters special to the launcher")
        << R"(/tmp/a"b$c`d\e%f/quillmora)" << R"(Exec="/tmp/a\\"b\\$c\\`d\\\\e%%f/quillmora")"
        << R"(Path=/tmp/a"b$c`d\\e%f)";
}

void TestDesktopShortcut::execLine()
{
    QFETCH(QString, executable);
    QFETCH(QString, exec);
    QFETCH(QString, path);

    const QStringList lines = DesktopShortcut::entryText(executable, QStringLiteral("/icons/q.png")).split('\n');
    QVERIFY2(lines.contains(exec), qPrintable(lines.join('\n')));
    QVERIFY2(lines.contains(path), qPrintable(lines.join('\n')));
}

void TestDesktopShortcut::entryNamesApplicationAndIcon()
{
    const QStringList lines =
        DesktopShortcut::entryText(QStringLiteral("/opt/q/quillmora"), QStringLiteral("/icons/q.png")).split('\n');
    QCOMPARE(lines.first(), QStringLiteral("[Desktop Entry]"));
    for (const char *line : {"Type=Application", "Name=Quillmora", "Comment=Quillmora", "Icon=/icons/q.png"})
        QVERIFY2(lines.contains(QLatin1String(line)), line);
}

void TestDesktopShortcut::writeCreatesFolderAndLauncher()
{
    QTemporaryDir dir;
    const QString desktop = dir.filePath(QStringLiteral("home/桌面"));
    const QString icon = dir.filePath(QStringLiteral("data/quillmora.png"));
    QVERIFY(DesktopShortcut::writeTo(desktop, QStringLiteral("/opt/q/quillmora"), icon));

    const QString launcher = desktop + QStringLiteral("/Quillmora.desktop");
    QCOMPARE(read(launcher), DesktopShortcut::entryText(QStringLiteral("/opt/q/quillmora"), icon).toUtf8());
    QVERIFY(QFileInfo(launcher).permissions() & QFile::ExeOwner);
    QCOMPARE(read(icon), read(QStringLiteral(":/quillmora/quillmora.png")));
    QVERIFY(!applicationIcon().pixmap(32, 32).isNull());
}

void TestDesktopShortcut::rewritesOnlyWhenDifferent()
{
    QTemporaryDir dir;
    const QString icon = dir.filePath(QStringLiteral("quillmora.png"));
    const QString launcher = dir.filePath(QStringLiteral("Quillmora.desktop"));
    QVERIFY(DesktopShortcut::writeTo(dir.path(), QStringLiteral("/opt/q/quillmora"), icon));
    const QByteArray written = read(launcher);

    // Unchanged content is left alone, date and all.
    const QDateTime old = QDateTime::currentDateTime().addDays(-3);
    {
        QFile file(launcher);
        QVERIFY(file.open(QIODevice::ReadWrite));
        QVERIFY(file.setFileTime(old, QFileDevice::FileModificationTime));
    }
    QVERIFY(DesktopShortcut::writeTo(dir.path(), QStringLiteral("/opt/q/quillmora"), icon));
    QCOMPARE(QFileInfo(launcher).lastModified().toSecsSinceEpoch(), old.toSecsSinceEpoch());

    // Edited content, or a moved executable, is written anew.
    {
        QFile file(launcher);
        QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write("[Desktop Entry]\nExec=/somewhere/else\n");
    }
    QVERIFY(DesktopShortcut::writeTo(dir.path(), QStringLiteral("/opt/q/quillmora"), icon));
    QCOMPARE(read(launcher), written);
    QVERIFY(DesktopShortcut::writeTo(dir.path(), QStringLiteral("/srv/q/quillmora"), icon));
    QVERIFY(read(launcher).contains("Exec=\"/srv/q/quillmora\"\nPath=/srv/q\n"));
}

void TestDesktopShortcut::failureIsReportedNotRaised()
{
    QTemporaryDir dir;
    // A file where the desktop folder should be.
    const QString occupied = dir.filePath(QStringLiteral("Desktop"));
    QFile file(occupied);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.close();
    QVERIFY(!DesktopShortcut::writeTo(occupied, QStringLiteral("/opt/q/quillmora"),
                                      dir.filePath(QStringLiteral("quillmora.png"))));
    QVERIFY(!DesktopShortcut::writeTo(dir.filePath(QStringLiteral("ok")), QStringLiteral("/opt/q/quillmora"),
                                      occupied + QStringLiteral("/quillmora.png")));
}

QTEST_MAIN(TestDesktopShortcut)
#include "tst_desktopshortcut.moc"
