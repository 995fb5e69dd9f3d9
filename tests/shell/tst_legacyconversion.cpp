#include "datagrid.h"
#include "datamodule.h"
#include "legacyconversion.h"
#include "legacydatabase.h"
#include "login.h"
#include "mainform.h"
#include "scriptedmessageboxes.h"
#include "testworkspace.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QTimer>
#include <QtTest>

namespace {

QByteArray fileBytes(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QByteArray fixture(const QString &name)
{
    return fileBytes(qEnvironmentVariable("QUILLMORA_SOURCE_DIR") + QStringLiteral("/tests/data/legacy/") + name);
}

void putDataFile(const QByteArray &bytes)
{
    QFile file(QStringLiteral("data.mdb"));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

QStringList filesHere()
{
    QStringList files = QDir::current().entryList(QDir::Files);
    files.sort();
    return files;
}

// The real program serves the conversion worker.
QString program()
{
    return qEnvironmentVariable("QUILLMORA_BIN_DIR") + QStringLiteral("/quillmora");
}

const QString kQuestion = QStringLiteral("发现旧版本的数据文件 data.mdb，是否转换为新格式？原文件将保留为 data.mdb.old。");

} // namespace

// Starting in a folder that still holds the Windows version's data.mdb.
class TestLegacyConversion : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void noLeavesTheFileAndEnds();
    void terminalOfAServerIsNotAsked();
    void yesConvertsAndTheOldUsersLogIn();
    void failureIsReportedAndChangesNothing_data();
    void failureIsReportedAndChangesNothing();

private:
    std::unique_ptr<TestWorkspace> m_workspace;
    ScriptedMessageBoxes *m_boxes = nullptr;
};

void TestLegacyConversion::init()
{
    m_workspace = std::make_unique<TestWorkspace>(TestWorkspace::Database::None);
    m_boxes = &ScriptedMessageBoxes::install();
}

void TestLegacyConversion::cleanup()
{
    MessageBoxService::install(nullptr);
    m_workspace.reset();
}

void TestLegacyConversion::noLeavesTheFileAndEnds()
{
    const QByteArray original = fixture(QStringLiteral("legacy-small.mdb"));
    putDataFile(original);
    m_boxes->expect(QMessageBox::No);
    QCOMPARE(LegacyConversion::offer(QStringLiteral("data.mdb"), program()), LegacyConversion::Outcome::Declined);
    QCOMPARE(m_boxes->asked.size(), 1);
    const MessageBoxRequest &asked = m_boxes->asked[0].request;
    QCOMPARE(asked.caption, QStringLiteral("Quillmora"));
    QCOMPARE(asked.text, kQuestion);
    QCOMPARE(asked.icon, QMessageBox::Question);
    QCOMPARE(asked.buttons, QMessageBox::Yes | QMessageBox::No);
    QCOMPARE(filesHere(), QStringList{QStringLiteral("data.mdb")});
    QCOMPARE(fileBytes(QStringLiteral("data.mdb")), original);
}

void TestLegacyConversion::terminalOfAServerIsNotAsked()
{
    const QByteArray original = fixture(QStringLiteral("legacy-small.mdb"));
    putDataFile(original);
    QFile conf(QStringLiteral("database.conf"));
    QVERIFY(conf.open(QIODevice::WriteOnly));
    conf.write("[database]\nurl=postgresql://till1@shopserver/shop?sslmode=verify-full\n");
    conf.close();
    QCOMPARE(LegacyConversion::offer(QStringLiteral("data.mdb"), program()), LegacyConversion::Outcome::NotNeeded);
    QVERIFY(m_boxes->asked.isEmpty());
    QCOMPARE(filesHere(), (QStringList{"data.mdb", "database.conf"}));
    QCOMPARE(fileBytes(QStringLiteral("data.mdb")), original);
}

void TestLegacyConversion::yesConvertsAndTheOldUsersLogIn()
{
    const QByteArray original = fixture(QStringLiteral("legacy-small.mdb"));
    putDataFile(original);
    m_boxes->expect(QMessageBox::Yes);
    // What the progress window says while the conversion runs.
    QStringList shown;
    QTimer watch;
    connect(&watch, &QTimer::timeout, this, [&shown] {
        for (QWidget *window : QApplication::topLevelWidgets()) {
            if (window->objectName() == QLatin1String("LegacyConversionWindow") && window->isVisible()) {
                const QString text = window->findChild<QLabel *>()->text();
                if (shown.isEmpty() || shown.last() != text)
                    shown << text;
            }
        }
    });
    watch.start(0);
    QCOMPARE(LegacyConversion::offer(QStringLiteral("data.mdb"), program()), LegacyConversion::Outcome::Converted);
    watch.stop();
    QVERIFY2(shown.contains(QStringLiteral("正在转换销售记录：0 / 29")), qPrintable(shown.join(" / ")));
    QVERIFY2(shown.contains(QStringLiteral("正在转换销售记录：29 / 29")), qPrintable(shown.join(" / ")));
    QCOMPARE(filesHere(), (QStringList{"data.mdb", "data.mdb.old"}));
    QCOMPARE(fileBytes(QStringLiteral("data.mdb.old")), original);

    // The normal start: 小王 logs in with the old password in other letter case and
    // sees every sale with the totals of the old ledger.
    auto main = std::make_unique<TMainForm>();
    auto *login = new Tloginfm(main.get());
    auto data = std::make_unique<Tdmfm>();
    main->setLoginWindow(login);
    auto *poll = new QTimer(main.get());
    connect(poll, &QTimer::timeout, main.get(), [login, poll] {
        if (!login->isVisible())
            return;
        poll->stop();
        login->ComboBox1->setEditText(QStringLiteral("小王"));
        QTest::keyClicks(login->Edit1, QStringLiteral("abc123"));
        QTest::keyClick(login->Edit1, Qt::Key_Return);
    });
    poll->start(10);
    main->show();
    QTRY_VERIFY(main->sessionId() != 0);
    QCOMPARE(main->sessionId(), 7); // after the six sessions of the old log
    QCOMPARE(data->ADOQuery15->recordCount(), 29);
    QCOMPARE(main->DBGridEh1->footerTextAt(1), QStringLiteral("29"));
    QCOMPARE(main->DBGridEh1->footerTextAt(7), QStringLiteral("7447.25"));
    QCOMPARE(main->DBGridEh1->footerTextAt(8), QStringLiteral("774.1"));
    QCOMPARE(main->DBGridEh1->footerTextAt(9), QStringLiteral("12346020.9"));
    QCOMPARE(m_boxes->unexpected.size(), 0);
    main.reset();
    data.reset();

    // The next start asks nothing.
    QCOMPARE(LegacyConversion::offer(QStringLiteral("data.mdb"), program()), LegacyConversion::Outcome::NotNeeded);
    QCOMPARE(m_boxes->asked.size(), 1);
}

void TestLegacyConversion::failureIsReportedAndChangesNothing_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QString>("message");
    const QByteArray many = fixture(QStringLiteral("legacy-many.mdb"));
    QTest::newRow("truncated") << many.left(118 * 4096) << QStringLiteral("表 data 应有 1714 行，只读到 1628 行");
    // One byte in the catalogue's table definition makes the reading library crash.
    QByteArray crashing = many;
    crashing[8247] = char(248);
    QTest::newRow("reader crashes") << crashing << QStringLiteral("转换程序意外终止，旧数据文件可能已损坏。");
}

void TestLegacyConversion::failureIsReportedAndChangesNothing()
{
    QFETCH(QByteArray, file);
    QFETCH(QString, message);
    putDataFile(file);
    m_boxes->expect(QMessageBox::Yes);
    m_boxes->expect(QMessageBox::Ok);
    QCOMPARE(LegacyConversion::offer(QStringLiteral("data.mdb"), program()), LegacyConversion::Outcome::Failed);
    QCOMPARE(m_boxes->asked.size(), 2);
    const MessageBoxRequest &report = m_boxes->asked[1].request;
    QCOMPARE(report.icon, QMessageBox::Critical);
    QVERIFY2(report.text.startsWith(QStringLiteral("旧数据文件没有转换，原文件未作改动。")), qPrintable(report.text));
    QVERIFY2(report.text.contains(message), qPrintable(report.text));
    QCOMPARE(filesHere(), QStringList{QStringLiteral("data.mdb")});
    QCOMPARE(fileBytes(QStringLiteral("data.mdb")), file);
}

QTEST_MAIN(TestLegacyConversion)
#include "tst_legacyconversion.moc"
