#include "disksync.h"

#include <QTemporaryDir>
#include <QtTest>
#include <cerrno>

// A flush that did not reach the disk must come back as the error it was, never as
// success: conversions and key changes go on only after it.
class DiskSyncTest : public QObject
{
    Q_OBJECT

private slots:
    void reportsWhatHappened_data();
    void reportsWhatHappened();
};

void DiskSyncTest::reportsWhatHappened_data()
{
    QTest::addColumn<QString>("path"); // relative to a fresh folder holding "file"
    QTest::addColumn<bool>("folderOf");
    QTest::addColumn<int>("error");

    QTest::newRow("a file") << "file" << false << 0;
    QTest::newRow("a folder") << "." << false << 0;
    QTest::newRow("the folder of a file") << "file" << true << 0;
    QTest::newRow("missing") << "missing" << false << ENOENT;
    QTest::newRow("the folder of a missing folder's file") << "gone/file" << true << ENOENT;
    // The process file system takes no flush: a real fsync failure, not an open one.
    QTest::newRow("a file that cannot be flushed") << "/proc/self/status" << false << EINVAL;
}

void DiskSyncTest::reportsWhatHappened()
{
    QFETCH(QString, path);
    QFETCH(bool, folderOf);
    QFETCH(int, error);
    QTemporaryDir folder;
    QVERIFY(folder.isValid());
    QFile file(folder.filePath(QStringLiteral("file")));
    QVERIFY(file.open(QIODevice::WriteOnly));
    QVERIFY(file.write("sale") == 4);
    file.close();

    const QString target = QDir::isAbsolutePath(path) ? path : folder.filePath(path);
    QCOMPARE(folderOf ? DiskSync::flushFolderOf(target) : DiskSync::flush(target), error);
}

QTEST_GUILESS_MAIN(DiskSyncTest)
#include "tst_disksync.moc"
