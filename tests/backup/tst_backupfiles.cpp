#include "backupfiles.h"

#include <QtTest>

class BackupFilesTest : public QObject
{
    Q_OBJECT

private slots:
    void namesReadBack_data();
    void namesReadBack();
    void keptBackups_data();
    void keptBackups();
};

void BackupFilesTest::namesReadBack_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<bool>("isBackup");
    QTest::addColumn<QDateTime>("time");
    QTest::addColumn<int>("sequence");
    QTest::addColumn<bool>("beforeRestore");
    const QDateTime time(QDate(2024, 5, 6), QTime(14, 30, 15));
    QTest::newRow("regular") << "data-20240506-143015.mdb" << true << time << 1 << false;
    QTest::newRow("second of the same second") << "data-20240506-143015-2.mdb" << true << time << 2 << false;
    QTest::newRow("kept before a restore") << "data-20240506-143015-before-restore.mdb" << true << time << 1 << true;
    QTest::newRow("server dump") << "data-20240506-143015.dump" << true << time << 1 << false;
    QTest::newRow("temporary of a killed backup") << ".data-20240506-143015.mdb.4242.partial" << false << QDateTime() << 0 << false;
    QTest::newRow("journal beside a backup") << "data-20240506-143015.mdb-journal" << false << QDateTime() << 0 << false;
    QTest::newRow("no such date") << "data-20240231-143015.mdb" << false << QDateTime() << 0 << false;
    QTest::newRow("sequence one spelt out") << "data-20240506-143015-1.mdb" << false << QDateTime() << 0 << false;
    QTest::newRow("copied by hand") << "data-20240506-143015 (copy).mdb" << false << QDateTime() << 0 << false;
}

void BackupFilesTest::namesReadBack()
{
    QFETCH(QString, file);
    QFETCH(bool, isBackup);
    QFETCH(QDateTime, time);
    QFETCH(int, sequence);
    QFETCH(bool, beforeRestore);
    const std::optional<BackupFiles::Name> name = BackupFiles::parse(file);
    QCOMPARE(name.has_value(), isBackup);
    if (!name)
        return;
    QCOMPARE(name->time, time);
    QCOMPARE(name->sequence, sequence);
    QCOMPARE(name->kind == BackupFiles::Kind::BeforeRestore, beforeRestore);
    QCOMPARE(BackupFiles::fileName(*name), file);
}

namespace {

QString backupOn(const QDate &day, const QTime &time = QTime(18, 0))
{
    BackupFiles::Name name;
    name.time = QDateTime(day, time);
    name.extension = QStringLiteral("mdb");
    return BackupFiles::fileName(name);
}

} // namespace

void BackupFilesTest::keptBackups_data()
{
    QTest::addColumn<QStringList>("files");
    QTest::addColumn<QStringList>("spared");
    QTest::addColumn<QStringList>("removed");

    // The keeping pass runs at 18:30 on May 6th.
    const QDate today(2024, 5, 6);
    QStringList everyDay;
    for (int day = 0; day < 20; ++day)
        everyDay << backupOn(today.addDays(-day));
    // 14 days kept; April's monthly copy is April 30, among them.
    const QStringList olderDays = everyDay.mid(14);
    QTest::newRow("twenty days in a row") << everyDay << QStringList{} << olderDays;

    // The morning's first backup (the ledger as the shop opened) survives the day's
    // later ones, and yesterday's too.
    QTest::newRow("several a day within 48 hours: all stay")
        << QStringList{backupOn(today, QTime(8, 0)), backupOn(today, QTime(18, 0)), backupOn(today, QTime(12, 0)),
                       backupOn(today.addDays(-1), QTime(8, 0)), backupOn(today.addDays(-1), QTime(19, 0))}
        << QStringList{} << QStringList{};

    const QDate earlier = today.addDays(-3);
    QTest::newRow("several a day, three days ago: the day's last one stays")
        << QStringList{backupOn(earlier, QTime(8, 0)), backupOn(earlier, QTime(18, 0)), backupOn(earlier, QTime(12, 0))}
        << QStringList{} << QStringList{backupOn(earlier, QTime(8, 0)), backupOn(earlier, QTime(12, 0))};

    // 48 hours back is 18:30 on May 4th: a second before it is out of the window.
    QTest::newRow("the window's edge")
        << QStringList{backupOn(today.addDays(-2), QTime(18, 29, 59)), backupOn(today.addDays(-2), QTime(18, 30, 1)),
                       backupOn(today.addDays(-2), QTime(20, 0))}
        << QStringList{} << QStringList{backupOn(today.addDays(-2), QTime(18, 29, 59))};

    // A backup every half hour for 30 hours: the newest 50 stay (back to 18:00 of
    // yesterday), and of the older ten none is the newest of its day.
    QStringList halfHours, beyondFifty;
    for (int i = 0; i < 60; ++i) {
        const QDateTime time = QDateTime(today, QTime(18, 30)).addSecs(-1800 * i);
        halfHours << backupOn(time.date(), time.time());
        if (i >= 50)
            beyondFifty << halfHours.last();
    }
    QTest::newRow("at most 50 of the last 48 hours") << halfHours << QStringList{} << beyondFifty;

    BackupFiles::Name same;
    same.time = QDateTime(earlier, QTime(18, 0));
    same.extension = QStringLiteral("mdb");
    same.sequence = 2;
    QTest::newRow("same second: the later sequence stays")
        << QStringList{backupOn(earlier), BackupFiles::fileName(same)} << QStringList{} << QStringList{backupOn(earlier)};

    // One backup on the 1st of each of 30 months: the last 14 days are 14 months here,
    // so 14 stay, not 12.
    QStringList months;
    for (int month = 0; month < 30; ++month)
        months << backupOn(QDate(2024, 5, 1).addMonths(-month));
    QTest::newRow("thirty months") << months << QStringList{} << months.mid(14);

    // A shop closed for months: its last 14 working days stay, however old.
    QStringList sparse;
    for (int i = 0; i < 16; ++i)
        sparse << backupOn(QDate(2023, 1, 1).addDays(i * 3));
    QTest::newRow("old backups of a shop that closed")
        << sparse << QStringList{} << QStringList{backupOn(QDate(2023, 1, 1)), backupOn(QDate(2023, 1, 4))};

    // Daily copies of the last 14 days, and before them one per month for 13 months.
    QStringList mixed;
    for (int day = 0; day < 14; ++day)
        mixed << backupOn(today.addDays(-day));
    for (int month = 1; month <= 13; ++month)
        mixed << backupOn(QDate(2024, 4, 15).addMonths(-month + 1).addDays(-20));
    // The 12 latest months with a backup run back to June 2023 (May and April 2024
    // count, their newest backups being daily ones): the three older monthlies go.
    QTest::newRow("dailies and monthlies")
        << mixed << QStringList{}
        << QStringList{backupOn(QDate(2023, 5, 26)), backupOn(QDate(2023, 4, 25)), backupOn(QDate(2023, 3, 26))};

    const QString kept = QStringLiteral("data-20240101-120000-before-restore.mdb");
    QStringList withOthers = everyDay;
    withOthers << kept << QStringLiteral("notes.txt") << QStringLiteral(".data-20240101-120000.mdb.77.partial");
    QTest::newRow("other files are never removed") << withOthers << QStringList{} << olderDays;

    // The backup a restore waits for stays whatever its age.
    QStringList olderButChosen = olderDays;
    olderButChosen.removeOne(everyDay[16]);
    QTest::newRow("the one chosen for a restore") << everyDay << QStringList{everyDay[16]} << olderButChosen;

    QTest::newRow("none") << QStringList{} << QStringList{} << QStringList{};
}

void BackupFilesTest::keptBackups()
{
    QFETCH(QStringList, files);
    QFETCH(QStringList, spared);
    QFETCH(QStringList, removed);
    QStringList actual = BackupFiles::toRemove(files, QDateTime(QDate(2024, 5, 6), QTime(18, 30)), spared);
    actual.sort();
    removed.sort();
    QCOMPARE(actual, removed);
}

QTEST_APPLESS_MAIN(BackupFilesTest)
#include "tst_backupfiles.moc"
