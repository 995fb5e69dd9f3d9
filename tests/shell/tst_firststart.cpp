#include "apperror.h"
#include "connection.h"
#include "databasetool.h"
#include "firststart.h"
#include "firststartwindow.h"
#include "ledgerkey.h"
#include "ledgersetup.h"
#include "legacydatabase.h"
#include "passwordhash.h"
#include "schema.h"
#include "scriptedmessageboxes.h"
#include "testfiles.h"
#include "testworkspace.h"

#include <QApplication>
#include <QDir>
#include <QLabel>
#include <QPushButton>
#include <QStandardPaths>
#include <QTimer>
#include <QtTest>

namespace {

QString legacyFixture(const QString &name)
{
    return qEnvironmentVariable("QUILLMORA_SOURCE_DIR") + QStringLiteral("/tests/data/legacy/") + name;
}

QStringList folderEntries(const QString &folder)
{
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name);
}

// Clicks a button of the first-start window once it is up as a modal window.
void whenFirstStartShows(const QString &button, bool *shown)
{
    auto *timer = new QTimer(qApp);
    timer->setInterval(10);
    QObject::connect(timer, &QTimer::timeout, timer, [timer, button, shown] {
        if (auto *window = qobject_cast<FirstStartWindow *>(QApplication::activeModalWidget())) {
            timer->stop();
            timer->deleteLater();
            *shown = true;
            window->findChild<QPushButton *>(button)->click();
        }
    });
    timer->start();
}

} // namespace

// Setting up a ledger in a folder that has none, and the first start from the menu in
// the user's data folder. Real ledger files throughout.
class TestFirstStart : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void newLedgerHasTheSuperAdministrator();
    void copiesALedgerReadOnlyAtTheSource();
    void copiesTheWindowsVersionsFile();
    void refusesWhatIsNoLedger_data();
    void refusesWhatIsNoLedger();
    void asksForTheShopsKey();
    void neverReplacesALedger_data();
    void neverReplacesALedger();

    void windowCreates();
    void windowCopies();
    void windowReportsAFileThatIsNoLedgerAndStays();
    void windowQuits();

    void startedByHandStaysInItsFolder();
    void menuStartWorksInTheDataFolder_data();
    void menuStartWorksInTheDataFolder();
    void dataFolderThatCannotBeMade();

private:
    QString target() const { return m_target->path(); }

    QTemporaryDir m_sources;
    QString m_ledger;
    std::unique_ptr<TestWorkspace> m_workspace;
    std::unique_ptr<QTemporaryDir> m_target;
    ScriptedMessageBoxes *m_boxes = nullptr;
};

void TestFirstStart::initTestCase()
{
    // A shop's ledger with one sale, as it would be picked to be copied in.
    m_ledger = m_sources.filePath(QStringLiteral("shop.mdb"));
    DatabaseTool::createDatabase(m_ledger);
    Connection(m_ledger, Schema::databaseKey()).execute(QStringLiteral("insert into data (b) values ('跑步鞋')"));
    QVERIFY(QFile::setPermissions(m_ledger, QFileDevice::ReadOwner | QFileDevice::ReadGroup | QFileDevice::ReadOther));
}

void TestFirstStart::init()
{
    m_workspace = std::make_unique<TestWorkspace>(TestWorkspace::Database::None);
    m_target = std::make_unique<QTemporaryDir>();
    m_boxes = &ScriptedMessageBoxes::install();
}

void TestFirstStart::cleanup()
{
    QVERIFY(m_boxes->unexpected.isEmpty());
    QCOMPARE(m_boxes->pendingAnswers(), 0);
    MessageBoxService::install(nullptr);
    FirstStartWindow::setFileChooser(nullptr);
    m_workspace.reset();
}

void TestFirstStart::newLedgerHasTheSuperAdministrator()
{
    QVERIFY(!LedgerSetup::hasLedger(target()));
    LedgerSetup::createLedger(target());
    QVERIFY(LedgerSetup::hasLedger(target()));
    QCOMPARE(folderEntries(target()), QStringList{"data.mdb"});
    Connection db(LedgerSetup::ledgerPath(target()), Schema::databaseKey());
    QCOMPARE(db.scalar(QStringLiteral("select count(*) from userdb")).toInt(), 1);
    QCOMPARE(db.scalar(QStringLiteral("select username from userdb")).toString(), QStringLiteral("超级管理员"));
    QVERIFY(PasswordHash::verify(db.scalar(QStringLiteral("select passwd from userdb")).toString(), QStringLiteral("947")));
    QCOMPARE(db.scalar(QStringLiteral("select count(*) from data")).toInt(), 0);
}

void TestFirstStart::copiesALedgerReadOnlyAtTheSource()
{
    const QByteArray before = readFile(m_ledger);
    LedgerSetup::copyLedger(m_ledger, target());
    QCOMPARE(folderEntries(target()), QStringList{"data.mdb"});
    const QString copy = LedgerSetup::ledgerPath(target());
    QCOMPARE(readFile(copy), before);
    QCOMPARE(readFile(m_ledger), before);
    // The source was read-only; the ledger must take the shop's next sale all the same.
    QVERIFY(QFileInfo(copy).permissions().testFlag(QFileDevice::WriteOwner));
    Connection db(copy, Schema::databaseKey());
    db.execute(QStringLiteral("insert into data (b) values ('篮球')"));
    QCOMPARE(db.scalar(QStringLiteral("select group_concat(b, ',') from data")).toString(), QStringLiteral("跑步鞋,篮球"));
}

void TestFirstStart::copiesTheWindowsVersionsFile()
{
    // Start-up asks whether to convert it, as in any folder that holds one; the
    // conversion judges the rest of the file in a process of its own.
    const QString old = legacyFixture(QStringLiteral("legacy-small.mdb"));
    LedgerSetup::copyLedger(old, target());
    QCOMPARE(folderEntries(target()), QStringList{"data.mdb"});
    QCOMPARE(readFile(LedgerSetup::ledgerPath(target())), readFile(old));
    QVERIFY(LegacyDatabase::isAccessFile(LedgerSetup::ledgerPath(target())));
}

void TestFirstStart::refusesWhatIsNoLedger_data()
{
    QTest::addColumn<QString>("kind");
    QTest::newRow("empty file") << "empty";
    QTest::newRow("not a database") << "garbage";
    QTest::newRow("ledger tables, another password") << "otherkey";
    QTest::newRow("ledger tables, no password") << "plain";
    QTest::newRow("ledger key, a table missing") << "notables";
    QTest::newRow("no such file") << "missing";
    QTest::newRow("a folder") << "folder";
    // A ledger that carries code: it would run on every sale from then on.
    QTest::newRow("ledger with a trigger") << "trigger";
    QTest::newRow("ledger with a view") << "view";
}

void TestFirstStart::refusesWhatIsNoLedger()
{
    QFETCH(QString, kind);
    const QString source = m_sources.filePath(QStringLiteral("picked-%1.mdb").arg(kind));
    QFile::remove(source);
    if (kind == QLatin1String("empty")) {
        writeFile(source, {});
    } else if (kind == QLatin1String("garbage")) {
        writeFile(source, QByteArray("Standard Jet DB\0\0\0", 18).repeated(2000));
    } else if (kind == QLatin1String("otherkey")) {
        Connection db(source, QByteArrayLiteral("another shop"), Connection::OpenMode::CreateFile);
        Schema::createTables(db);
    } else if (kind == QLatin1String("plain")) {
        // A ledger exported without encryption.
        const QString keyed = m_sources.filePath(QStringLiteral("keyed.mdb"));
        QFile::remove(keyed);
        Connection db(keyed, Schema::databaseKey(), Connection::OpenMode::CreateFile);
        Schema::createTables(db);
        db.execute(QStringLiteral("attach database ? as plaintext key ''"), {source});
        db.scalar(QStringLiteral("select sqlcipher_export('plaintext')"));
        db.execute(QStringLiteral("detach database plaintext"));
        QVERIFY(readFile(source).startsWith("SQLite format 3"));
    } else if (kind == QLatin1String("notables")) {
        Connection(source, Schema::databaseKey(), Connection::OpenMode::CreateFile)
            .execute(QStringLiteral("create table data (a text)"));
    } else if (kind == QLatin1String("folder")) {
        QVERIFY(QDir().mkpath(source));
    } else if (kind == QLatin1String("trigger") || kind == QLatin1String("view")) {
        Connection db(source, Schema::databaseKey(), Connection::OpenMode::CreateFile);
        Schema::createTables(db);
        db.execute(kind == QLatin1String("trigger")
                       ? QStringLiteral("create trigger reset_password after insert on data "
                                        "begin update userdb set passwd = 'known'; end")
                       : QStringLiteral("create view owed as select e from data"));
    }
    const QByteArray before = readFile(source);

    try {
        LedgerSetup::copyLedger(source, target());
        QFAIL("a file that is no ledger was copied in");
    } catch (const AppError &error) {
        QVERIFY2(error.message().contains(QDir::toNativeSeparators(source)), qPrintable(error.message()));
        // The temporary copy is nothing the user knows of.
        QVERIFY2(!error.message().contains(QLatin1String(".data.mdb.")), qPrintable(error.message()));
        if (kind == QLatin1String("trigger") || kind == QLatin1String("view"))
            QVERIFY2(error.message().contains(kind == QLatin1String("trigger") ? QStringLiteral("trigger reset_password")
                                                                              : QStringLiteral("view owed")),
                     qPrintable(error.message()));
    }
    QCOMPARE(folderEntries(target()), QStringList());
    QVERIFY(!LedgerSetup::hasLedger(target()));
    QCOMPARE(readFile(source), before);
}

// A ledger keyed with a shop's own key on another machine: copied in once the key is
// given, and the key is kept for this account; without it, refused and nothing kept.
void TestFirstStart::asksForTheShopsKey()
{
    qunsetenv("XDG_CONFIG_HOME");
    auto forgetKey = qScopeGuard([] { QFile::remove(LedgerKey::path()); });
    const QString source = m_sources.filePath(QStringLiteral("keyed.mdb"));
    QFile::remove(source);
    {
        Connection db(source, QByteArrayLiteral("our shop 2024"), Connection::OpenMode::CreateFile);
        Schema::createTables(db);
        db.execute(QStringLiteral("insert into data (b) values ('跑步鞋')"));
    }
    QList<bool> asked;
    QByteArrayList answers = {"a wrong key", ""};
    auto asker = [&](bool again) {
        asked << again;
        return answers.takeFirst();
    };
    QVERIFY_THROWS_EXCEPTION(AppError, LedgerSetup::copyLedger(source, target(), asker));
    QCOMPARE(asked, (QList<bool>{false, true}));
    QCOMPARE(folderEntries(target()), QStringList());
    QVERIFY(LedgerKey::shopKey().isEmpty());

    answers = {"a wrong key", "our shop 2024"};
    asked.clear();
    LedgerSetup::copyLedger(source, target(), asker);
    QCOMPARE(asked, (QList<bool>{false, true}));
    QCOMPARE(LedgerKey::shopKey(), QByteArrayLiteral("our shop 2024"));
    Connection copied(DataSource::embeddedFile(LedgerSetup::ledgerPath(target())));
    QCOMPARE(copied.scalar(QStringLiteral("select b from data")).toString(), QStringLiteral("跑步鞋"));
}

void TestFirstStart::neverReplacesALedger_data()
{
    QTest::addColumn<QString>("present");
    QTest::addColumn<bool>("copy");
    QTest::newRow("create over a ledger") << "data.mdb" << false;
    QTest::newRow("copy over a ledger") << "data.mdb" << true;
    QTest::newRow("create beside a server setting") << "database.conf" << false;
    QTest::newRow("copy beside a server setting") << "database.conf" << true;
}

void TestFirstStart::neverReplacesALedger()
{
    QFETCH(QString, present);
    QFETCH(bool, copy);
    const QString existing = QDir(target()).filePath(present);
    writeFile(existing, "the shop's own");
    QVERIFY(LedgerSetup::hasLedger(target()));
    QVERIFY_THROWS_EXCEPTION(AppError, copy ? LedgerSetup::copyLedger(m_ledger, target()) : LedgerSetup::createLedger(target()));
    QCOMPARE(folderEntries(target()), QStringList{present});
    QCOMPARE(readFile(existing), QByteArray("the shop's own"));
}

void TestFirstStart::windowCreates()
{
    FirstStartWindow window(target());
    QCOMPARE(window.folderLabel->text(), QDir::toNativeSeparators(target()));
    QVERIFY(window.createButton->isDefault());
    window.show();
    window.createButton->click();
    QCOMPARE(window.result(), int(QDialog::Accepted));
    QVERIFY(!window.isVisible());
    Connection db(LedgerSetup::ledgerPath(target()), Schema::databaseKey());
    QCOMPARE(db.scalar(QStringLiteral("select username from userdb")).toString(), QStringLiteral("超级管理员"));
    QVERIFY(m_boxes->asked.isEmpty());
}

void TestFirstStart::windowCopies()
{
    int asked = 0;
    FirstStartWindow::setFileChooser([&](QWidget *) {
        ++asked;
        return asked == 1 ? QString() : m_ledger; // cancelled first, then chosen
    });
    FirstStartWindow window(target());
    window.show();
    window.copyButton->click();
    QCOMPARE(asked, 1);
    QVERIFY(window.isVisible());
    QCOMPARE(folderEntries(target()), QStringList());
    window.copyButton->click();
    QCOMPARE(asked, 2);
    QCOMPARE(window.result(), int(QDialog::Accepted));
    QCOMPARE(readFile(LedgerSetup::ledgerPath(target())), readFile(m_ledger));
    QVERIFY(m_boxes->asked.isEmpty());
}

void TestFirstStart::windowReportsAFileThatIsNoLedgerAndStays()
{
    const QString garbage = m_sources.filePath(QStringLiteral("notes.mdb"));
    writeFile(garbage, "not a ledger at all");
    FirstStartWindow::setFileChooser([&](QWidget *) { return garbage; });
    FirstStartWindow window(target());
    window.show();
    m_boxes->expect(QMessageBox::Ok);
    window.copyButton->click();
    QCOMPARE(m_boxes->asked.size(), 1);
    const MessageBoxRequest box = m_boxes->asked.first().request;
    QCOMPARE(box.icon, QMessageBox::Critical);
    QCOMPARE(box.text, QStringLiteral("所选文件不是可用的账本：%1\n\nUnrecognized database format '%1'.")
                           .arg(QDir::toNativeSeparators(garbage)));
    QVERIFY(window.isVisible());
    QCOMPARE(folderEntries(target()), QStringList());
    // The user tries again with a new ledger.
    window.createButton->click();
    QCOMPARE(window.result(), int(QDialog::Accepted));
    QVERIFY(LedgerSetup::hasLedger(target()));
}

void TestFirstStart::windowQuits()
{
    FirstStartWindow window(target());
    window.show();
    window.quitButton->click();
    QCOMPARE(window.result(), int(QDialog::Rejected));
    QCOMPARE(folderEntries(target()), QStringList());
}

void TestFirstStart::startedByHandStaysInItsFolder()
{
    const QString folder = QDir::currentPath();
    QCOMPARE(FirstStart::prepare({QStringLiteral("quillmora")}), FirstStart::Outcome::Continue);
    // The option counts only as an argument, never as the program's own name.
    QCOMPARE(FirstStart::prepare({QStringLiteral("--data-folder")}), FirstStart::Outcome::Continue);
    QCOMPARE(QDir::currentPath(), folder);
    QVERIFY(!QFileInfo::exists(FirstStart::dataFolder()));
}

void TestFirstStart::menuStartWorksInTheDataFolder_data()
{
    QTest::addColumn<bool>("ledgerThere");
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<QString>("button");
    QTest::addColumn<int>("outcome");
    QTest::addColumn<bool>("ledgerAfter");
    const QStringList menu{QStringLiteral("--data-folder")};
    const auto continues = int(FirstStart::Outcome::Continue);
    QTest::newRow("ledger there: no window") << true << menu << "" << continues << true;
    QTest::newRow("new ledger") << false << menu << "createButton" << continues << true;
    QTest::newRow("quit") << false << menu << "quitButton" << int(FirstStart::Outcome::Quit) << false;
    // Start-up opens the server and says so if it cannot.
    QTest::newRow("a server named: no window")
        << false << (menu + QStringList{"--database", "postgresql://till1@shopserver/shop"}) << "" << continues << false;
}

void TestFirstStart::menuStartWorksInTheDataFolder()
{
    QFETCH(bool, ledgerThere);
    QFETCH(QStringList, options);
    QFETCH(QString, button);
    QFETCH(int, outcome);
    QFETCH(bool, ledgerAfter);
    const QString folder = FirstStart::dataFolder();
    QCOMPARE(folder, QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) + QStringLiteral("/quillmora"));
    if (ledgerThere) {
        QVERIFY(QDir().mkpath(folder));
        QVERIFY(QFile::copy(m_ledger, LedgerSetup::ledgerPath(folder)));
    }
    bool windowShown = false;
    if (!button.isEmpty())
        whenFirstStartShows(button, &windowShown);
    QCOMPARE(int(FirstStart::prepare(QStringList{QStringLiteral("quillmora")} + options)), outcome);
    QCOMPARE(QDir::currentPath(), QDir(folder).canonicalPath());
    QCOMPARE(LedgerSetup::hasLedger(folder), ledgerAfter);
    QCOMPARE(windowShown, !button.isEmpty());
    QCOMPARE(QApplication::activeModalWidget(), nullptr);
}

void TestFirstStart::dataFolderThatCannotBeMade()
{
    // The data folder's parent is a file.
    const QString parent = QFileInfo(FirstStart::dataFolder()).absolutePath();
    QVERIFY(QDir().mkpath(QFileInfo(parent).absolutePath()));
    writeFile(parent, "in the way");
    const QString folder = QDir::currentPath();
    m_boxes->expect(QMessageBox::Ok);
    QCOMPARE(FirstStart::prepare({QStringLiteral("quillmora"), QStringLiteral("--data-folder")}),
             FirstStart::Outcome::Failed);
    QCOMPARE(m_boxes->asked.size(), 1);
    QCOMPARE(m_boxes->asked.first().request.text,
             QStringLiteral("无法使用数据文件夹：%1").arg(QDir::toNativeSeparators(FirstStart::dataFolder())));
    QCOMPARE(QDir::currentPath(), folder);
}

QTEST_MAIN(TestFirstStart)
#include "tst_firststart.moc"
