#include "datamodule.h"
#include "dataset.h"
#include "ledgerchanges.h"
#include "ledgerfixture.h"
#include "salejournal.h"
#include "testworkspace.h"

#include <QProcess>
#include <QtTest>

// A terminal learns, without reading the sales again, that other terminals changed them
// since it last read them: how many were added, changed and removed; its own writes are
// not counted.
class LedgerChangesTest : public QObject
{
    Q_OBJECT

private slots:
    void noteText_data();
    void noteText();
    void countsWhatOtherTerminalsDid();
    void anotherProcessesSalesAreNoted();
};

namespace {

QString shown(const LedgerChangeCounts &counts)
{
    return QStringLiteral("%1 added, %2 changed, %3 removed").arg(counts.added).arg(counts.changed).arg(counts.removed);
}

Sale sale(const QString &name)
{
    return Sale{QStringLiteral("类"), name, 10.0, 1.0, 0.0};
}

// Adds a sale as the entry panel does: through the data module's append table.
void appendSale(Tdmfm &module, const QString &name)
{
    Dataset &table = *module.ADOTable5;
    table.append();
    table.setValue(QStringLiteral("b"), name);
    table.setValue(QStringLiteral("6"), 10.0);
    table.post();
}

void goTo(Dataset &ledger, const QString &name)
{
    for (int row = 0; row < ledger.recordCount(); ++row) {
        ledger.setCurrentRow(row);
        if (ledger.value(QStringLiteral("b")).toString() == name)
            return;
    }
    QFAIL(qPrintable(QStringLiteral("no sale ") + name));
}

} // namespace

void LedgerChangesTest::noteText_data()
{
    QTest::addColumn<int>("added");
    QTest::addColumn<int>("changed");
    QTest::addColumn<int>("removed");
    QTest::addColumn<QString>("note");
    QTest::newRow("nothing") << 0 << 0 << 0 << QString();
    QTest::newRow("added") << 2 << 0 << 0 << "其他终端新增 2 笔，点此刷新";
    QTest::newRow("changed and removed") << 0 << 1 << 3 << "其他终端修改 1 笔，删除 3 笔，点此刷新";
    QTest::newRow("all three") << 5 << 1 << 1 << "其他终端新增 5 笔，修改 1 笔，删除 1 笔，点此刷新";
}

void LedgerChangesTest::noteText()
{
    QFETCH(int, added);
    QFETCH(int, changed);
    QFETCH(int, removed);
    QFETCH(QString, note);
    QCOMPARE(LedgerChanges::noteText({added, changed, removed}), note);
}

void LedgerChangesTest::countsWhatOtherTerminalsDid()
{
    TestWorkspace workspace;
    Tdmfm here(workspace.dataSource());
    Tdmfm there(workspace.dataSource());
    for (Tdmfm *module : {&here, &there})
        module->openAppendTable();
    for (const char *name : {"甲", "乙", "丙"})
        addSale(*here.ADOConnection1, sale(QString::fromUtf8(name)));
    here.ADOQuery15->open();
    there.ADOQuery15->open();

    LedgerChanges changes(*here.ADOConnection1, here.dataSource());
    QSignalSpy noted(&changes, &LedgerChanges::changed);
    changes.start(200);

    // This terminal's own add, modify and delete are no news to it.
    appendSale(here, QStringLiteral("丁"));
    Dataset &ledger = *here.ADOQuery15;
    goTo(ledger, QStringLiteral("甲"));
    ledger.edit();
    ledger.setValue(QStringLiteral("z"), QStringLiteral("改"));
    ledger.post();
    goTo(ledger, QStringLiteral("乙"));
    ledger.deleteCurrent();
    QTest::qWait(700);
    QCOMPARE(shown(changes.counts()), shown({}));
    QCOMPARE(noted.count(), 0);

    // The other terminal's: two added, one changed, one removed.
    appendSale(there, QStringLiteral("戊"));
    appendSale(there, QStringLiteral("己"));
    Dataset &theirs = *there.ADOQuery15;
    goTo(theirs, QStringLiteral("丙"));
    theirs.edit();
    theirs.setValue(QStringLiteral("6"), 11.0);
    theirs.post();
    goTo(theirs, QStringLiteral("甲"));
    theirs.deleteCurrent();
    QTRY_COMPARE_WITH_TIMEOUT(shown(changes.counts()), shown({2, 1, 1}), 3000);
    QVERIFY(noted.count() >= 1);
    QCOMPARE(shown(noted.last().at(0).value<LedgerChangeCounts>()), shown({2, 1, 1}));

    // Reading the sales again takes the note away; the next change starts a new one,
    // leaving out what this terminal did meanwhile.
    changes.markRead();
    QCOMPARE(shown(noted.last().at(0).value<LedgerChangeCounts>()), shown({}));
    appendSale(here, QStringLiteral("庚"));
    QTest::qWait(500);
    SaleJournal::updateSales(*there.ADOConnection1, QStringLiteral("z=?"), {QStringLiteral("结")}, QStringLiteral("b<>?"),
                             {QStringLiteral("无")}, {QStringLiteral("店长"), QDateTime::currentDateTime()});
    QTRY_COMPARE_WITH_TIMEOUT(shown(changes.counts()), shown({0, 5, 0}), 3000);
}

void LedgerChangesTest::anotherProcessesSalesAreNoted()
{
    TestWorkspace workspace;
    Tdmfm here(workspace.dataSource());
    LedgerChanges changes(*here.ADOConnection1, here.dataSource());
    changes.start(200);
    QProcess till;
    till.start(QCoreApplication::applicationDirPath() + QStringLiteral("/tillprobe"),
               {QStringLiteral("add"), QStringLiteral("3"), QStringLiteral("二号台")});
    QVERIFY(till.waitForFinished(60000));
    QCOMPARE(till.exitCode(), 0);
    QVERIFY2(till.readAllStandardOutput().contains("added 3 failed 0"), "the other till did not add its sales");
    QTRY_COMPARE_WITH_TIMEOUT(shown(changes.counts()), shown({3, 0, 0}), 3000);
}

QTEST_MAIN(LedgerChangesTest)
#include "tst_ledgerchanges.moc"
