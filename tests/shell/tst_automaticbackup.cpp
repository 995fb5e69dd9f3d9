#include "automaticbackup.h"
#include "backupfiles.h"
#include "clock.h"
#include "connection.h"
#include "databasetool.h"
#include "datamodule.h"
#include "ledgerbackup.h"
#include "mainform.h"
#include "schema.h"
#include "scriptedmessageboxes.h"
#include "testworkspace.h"

#include <QDir>
#include <QProcess>
#include <QtTest>

namespace {

const QDateTime kMorning(QDate(2024, 5, 6), QTime(8, 30, 0));

QStringList backupsIn(const TestWorkspace &workspace)
{
    return QDir(workspace.filePath(QStringLiteral("backups"))).entryList(QDir::Files | QDir::Hidden, QDir::Name);
}

// Backups being written.
QStringList partialsIn(const TestWorkspace &workspace)
{
    return QDir(workspace.filePath(QStringLiteral("backups"))).entryList({QStringLiteral("*.partial")}, QDir::Files | QDir::Hidden);
}

} // namespace

class AutomaticBackupTest : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        m_boxes = &ScriptedMessageBoxes::install();
        Clock::setFixedNow(kMorning);
    }
    void cleanup()
    {
        QVERIFY(m_boxes->unexpected.isEmpty());
        Clock::setFixedNow(std::nullopt);
    }

    void firstLoginOfADayAndEveryClose();
    void loginBackupRunsBesideTheWindow();
    void realProgramBacksUpBehindTheLogin();
    void failureIsShownOnceAndClosingGoesOn();

private:
    ScriptedMessageBoxes *m_boxes = nullptr;
};

void AutomaticBackupTest::firstLoginOfADayAndEveryClose()
{
    TestWorkspace workspace;
    Tdmfm module(workspace.dataSource());
    module.ADOConnection1->execute(QStringLiteral("insert into rz (username, btime) values ('超级管理员', ?)"), {kMorning});
    AutomaticBackup backups(nullptr);
    backups.afterLogin(module);
    backups.wait();
    QCOMPARE(backupsIn(workspace), QStringList{QStringLiteral("data-20240506-083000.mdb")});
    // A second login that day finds today's backup.
    Clock::setFixedNow(kMorning.addSecs(3600));
    backups.afterLogin(module);
    backups.wait();
    QCOMPARE(backupsIn(workspace).size(), 1);
    Clock::setFixedNow(kMorning.addDays(1));
    backups.afterLogin(module);
    backups.wait();
    QCOMPARE(backupsIn(workspace).size(), 2);

    // Closing the main window: no backup without a login; after one, a backup that
    // holds the session's log-out.
    Clock::setFixedNow(kMorning.addDays(1).addSecs(600));
    {
        TMainForm form;
        form.closeStep();
    }
    QCOMPARE(backupsIn(workspace).size(), 2);
    TMainForm form;
    form.setSessionId(1);
    form.closeStep();
    const QStringList made = backupsIn(workspace);
    // The morning's backup stays beside the closing one: the ledger as the shop opened.
    QCOMPARE(made, (QStringList{QStringLiteral("data-20240506-083000.mdb"), QStringLiteral("data-20240507-083000.mdb"),
                                QStringLiteral("data-20240507-084000.mdb")}));
    Connection copy(workspace.filePath(QStringLiteral("backups/") + made.last()), Schema::databaseKey());
    QCOMPARE(copy.scalar(QStringLiteral("select jtime from rz where id=1")).toDateTime(), kMorning.addDays(1).addSecs(600));
    QVERIFY(m_boxes->asked.isEmpty());

    // A backup chosen for a restore outlives the keeping pass of the backup made as
    // the program closes for it, however old it is.
    const QString chosen = workspace.filePath(QStringLiteral("backups/data-20230101-090000.mdb"));
    // (An older one of its day: the newest of a day or month stays anyway.)
    QVERIFY(QFile::copy(workspace.filePath(QStringLiteral("backups/") + made.last()), chosen));
    QVERIFY(QFile::copy(chosen, workspace.filePath(QStringLiteral("backups/data-20230101-100000.mdb"))));
    AutomaticBackup closing(nullptr);
    closing.spare(chosen);
    closing.beforeClose(module);
    QVERIFY(QFile::exists(chosen));
    backups.beforeClose(module);
    QVERIFY(!QFile::exists(chosen));
}

// The backup after a login does not hold the window up: here the window's own write
// holds the file, so the copy cannot even begin, and the login is over all the same.
// The backup ends once the write has, and holds it; one stopped as the program closes
// leaves nothing behind that a restore would offer.
void AutomaticBackupTest::loginBackupRunsBesideTheWindow()
{
    TestWorkspace workspace;
    Tdmfm module(workspace.dataSource());
    Connection &window = *module.ADOConnection1;
    window.execute(QStringLiteral("begin exclusive"));
    window.execute(QStringLiteral("insert into data (b) values ('登录时卖的')"));
    AutomaticBackup backups(nullptr);
    backups.afterLogin(module);
    QVERIFY(backups.inProgress());
    QTRY_COMPARE(partialsIn(workspace).size(), 1);
    // A change of user meanwhile neither waits for it nor starts another.
    backups.afterLogin(module);
    QCOMPARE(partialsIn(workspace).size(), 1);
    window.execute(QStringLiteral("commit"));
    QTRY_VERIFY(!backups.inProgress());
    QCOMPARE(backupsIn(workspace), QStringList{QStringLiteral("data-20240506-083000.mdb")});
    const QString first = workspace.filePath(QStringLiteral("backups/data-20240506-083000.mdb"));
    QCOMPARE(backups.lastBackup(), first);
    {
        Connection copy(first, Schema::databaseKey());
        QCOMPARE(copy.scalar(QStringLiteral("select count(*) from data where b='登录时卖的'")).toInt(), 1);
    }

    // The next day's is stopped while the copy waits, as the closing window stops it.
    Clock::setFixedNow(kMorning.addDays(1));
    window.execute(QStringLiteral("begin exclusive"));
    window.execute(QStringLiteral("insert into data (b) values ('第二天卖的')"));
    backups.afterLogin(module);
    QTRY_COMPARE(partialsIn(workspace).size(), 1);
    backups.stop();
    window.execute(QStringLiteral("commit"));
    backups.wait();
    QCOMPARE(backupsIn(workspace), QStringList{QStringLiteral("data-20240506-083000.mdb")});
    QCOMPARE(LedgerBackup::forSource(module.dataSource(), module.dataFolder())->list().size(), size_t(1));
    QCOMPARE(backups.lastBackup(), first);
    QCOMPARE(window.scalar(QStringLiteral("select count(*) from data where b in ('登录时卖的', '第二天卖的')")).toInt(), 2);
    // A stop is no failure.
    QVERIFY(m_boxes->asked.isEmpty());
}

// The real program, logged in through its scripted login: the last row is current
// after the login, and the day's backup is published behind it while the program
// goes on running.
void AutomaticBackupTest::realProgramBacksUpBehindTheLogin()
{
    TestWorkspace workspace;
    {
        Connection ledger(workspace.dataSource());
        DatabaseTool::addDemoSales(ledger, 50);
    }
    QProcess program;
    program.setWorkingDirectory(workspace.path());
    program.setReadChannel(QProcess::StandardError);
    program.start(qEnvironmentVariable("QUILLMORA_BIN_DIR") + QStringLiteral("/quillmora"), {QStringLiteral("--login-from-stdin")});
    program.write("超级管理员\n947\n");
    QByteArray said;
    QTRY_VERIFY_WITH_TIMEOUT((said += program.readAllStandardError()).contains("quillmora: logged in"), 60000);
    QVERIFY2(said.contains("quillmora: logged in, row 50 of 50 current"), said.constData());
    const QDir backups(workspace.filePath(QStringLiteral("backups")));
    QTRY_VERIFY_WITH_TIMEOUT(!backups.entryList({QStringLiteral("data-*.mdb")}, QDir::Files).isEmpty(), 60000);
    QCOMPARE(program.state(), QProcess::Running);
    program.kill();
    program.waitForFinished();
    const QString made = backups.filePath(backups.entryList({QStringLiteral("data-*.mdb")}, QDir::Files).value(0));
    Connection copy(made, Schema::databaseKey());
    QCOMPARE(copy.scalar(QStringLiteral("select count(*) from data")).toInt(), 50);
    // The session the login opened is in it.
    QCOMPARE(copy.scalar(QStringLiteral("select count(*) from rz")).toInt(), 1);
}

void AutomaticBackupTest::failureIsShownOnceAndClosingGoesOn()
{
    TestWorkspace workspace;
    Tdmfm module(workspace.dataSource());
    module.ADOConnection1->execute(QStringLiteral("insert into rz (username, btime) values ('超级管理员', ?)"), {kMorning});
    // Something that is no folder where the backups go.
    QFile blocker(workspace.filePath(QStringLiteral("backups")));
    QVERIFY(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    const QByteArray ledgerBefore = [&] {
        QFile file(workspace.databasePath());
        file.open(QIODevice::ReadOnly);
        return file.readAll();
    }();

    TMainForm form;
    form.setSessionId(1);
    m_boxes->expect(QMessageBox::Ok);
    AutomaticBackup backups(&form);
    backups.afterLogin(module);
    // Reported when the backup in the background ends, on the window's thread.
    QTRY_COMPARE(m_boxes->asked.size(), 1);
    QVERIFY(!backups.inProgress());
    QCOMPARE(m_boxes->asked[0].request.icon, QMessageBox::Warning);
    QVERIFY2(m_boxes->asked[0].request.text.startsWith(QStringLiteral("自动备份数据失败，账本数据没有受到影响。")),
             qPrintable(m_boxes->asked[0].request.text));
    QFile file(workspace.databasePath());
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), ledgerBefore);

    // The window's own backup at closing fails the same way: one box of its own, and
    // the log-out is written all the same.
    m_boxes->expect(QMessageBox::Ok);
    form.closeStep();
    QCOMPARE(m_boxes->asked.size(), 2);
    QVERIFY(module.ADOConnection1->scalar(QStringLiteral("select jtime from rz where id=1")).isValid());
    // The same backup object reports no second time.
    backups.beforeClose(module);
    QCOMPARE(m_boxes->asked.size(), 2);
    QVERIFY(backups.lastBackup().isEmpty());
}

QTEST_MAIN(AutomaticBackupTest)
#include "tst_automaticbackup.moc"
