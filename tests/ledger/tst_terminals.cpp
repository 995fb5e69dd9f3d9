#include "connection.h"
#include "datamodule.h"
#include "ledgeractions.h"
#include "ledgerqueries.h"
#include "mylib.h"
#include "testworkspace.h"

#include <QProcess>
#include <QtTest>

// Several terminals on one ledger, each a process of its own (tillprobe), and this
// test as one more terminal.
class TerminalsTest : public QObject
{
    Q_OBJECT

private slots:
    void salesOfOneTerminalAppearOnAnother();
    void twoTerminalsAddAtOnce();
    void aTerminalInTheMiddleOfAWriteHoldsNobodyUp();
};

namespace {

QString tillProbe()
{
    return QCoreApplication::applicationDirPath() + QStringLiteral("/tillprobe");
}

struct Finished
{
    int exitCode;
    QString output;
    QString errors;
};

Finished finish(QProcess &till)
{
    if (!till.waitForFinished(240000)) {
        till.kill();
        till.waitForFinished();
        return {-1, QString(), QStringLiteral("still running after four minutes")};
    }
    return {till.exitStatus() == QProcess::NormalExit ? till.exitCode() : -1,
            QString::fromUtf8(till.readAllStandardOutput()).trimmed(),
            QString::fromUtf8(till.readAllStandardError()).trimmed()};
}

QStringList customers(Dataset &ledger)
{
    QStringList names;
    for (int row = 0; row < ledger.recordCount(); ++row)
        names << ledger.displayTextAt(row, ledger.fieldIndex(QStringLiteral("e")));
    return names;
}

} // namespace

void TerminalsTest::salesOfOneTerminalAppearOnAnother()
{
    TestWorkspace workspace;
    Tdmfm here;
    showAllRecords(*here.ADOQuery15);
    QCOMPARE(here.ADOQuery15->recordCount(), 0);

    QProcess till;
    till.start(tillProbe(), {QStringLiteral("add"), QStringLiteral("3"), QStringLiteral("二号机")});
    const Finished done = finish(till);
    QVERIFY2(done.exitCode == 0, qPrintable(done.errors));
    QCOMPARE(done.output, QStringLiteral("added 3 failed 0"));

    // Nothing moves until this terminal asks again.
    QCOMPARE(here.ADOQuery15->recordCount(), 0);
    showAllRecords(*here.ADOQuery15);
    QCOMPARE(customers(*here.ADOQuery15), QStringList(3, QStringLiteral("二号机")));
    QuickQueryInput query;
    query.byName = true;
    query.name = QStringLiteral("篮球");
    const SqlStatement statement = LedgerQueries::quickQuery(query, false);
    mylib::openSql(*here.ADOQuery15, statement.text, statement.parameters);
    QCOMPARE(here.ADOQuery15->recordCount(), 3);
}

void TerminalsTest::twoTerminalsAddAtOnce()
{
    TestWorkspace workspace;
    QProcess first, second;
    first.start(tillProbe(), {QStringLiteral("add"), QStringLiteral("1000"), QStringLiteral("一号机")});
    second.start(tillProbe(), {QStringLiteral("add"), QStringLiteral("1000"), QStringLiteral("二号机")});
    for (QProcess *till : {&first, &second}) {
        const Finished done = finish(*till);
        QVERIFY2(done.exitCode == 0, qPrintable(done.errors));
        QCOMPARE(done.output, QStringLiteral("added 1000 failed 0"));
    }
    Connection connection(workspace.dataSource());
    for (const char *tag : {"一号机", "二号机"}) {
        const QVariantList tagged{QString::fromUtf8(tag)};
        QCOMPARE(connection.scalar(QStringLiteral("select count(*) from data where e=?"), tagged).toInt(), 1000);
        QCOMPARE(connection.scalar(QStringLiteral("select count(distinct z) from data where e=?"), tagged).toInt(), 1000);
    }
    QCOMPARE(connection.scalar(QStringLiteral("select sum(\"6\") from data")).toDouble(), 2000 * 241.0);
}

void TerminalsTest::aTerminalInTheMiddleOfAWriteHoldsNobodyUp()
{
    if (!TestWorkspace::onServer())
        QSKIP("the embedded file makes others wait for a writer: that is why shops with several terminals use a server");
    TestWorkspace workspace;
    QProcess holder;
    holder.start(tillProbe(), {QStringLiteral("hold"), QStringLiteral("一号机")});
    QVERIFY(holder.waitForReadyRead(60000));
    QCOMPARE(holder.readLine().trimmed(), QByteArray("holding"));

    // While the first terminal's sale is written but not committed, another adds,
    // shows all and queries, and sees only what is committed.
    QProcess other;
    other.start(tillProbe(), {QStringLiteral("add"), QStringLiteral("2"), QStringLiteral("二号机")});
    const Finished done = finish(other);
    QVERIFY2(done.exitCode == 0, qPrintable(done.errors));
    Tdmfm here;
    showAllRecords(*here.ADOQuery15);
    QCOMPARE(customers(*here.ADOQuery15), QStringList(2, QStringLiteral("二号机")));

    holder.write("commit\n");
    const Finished held = finish(holder);
    QVERIFY2(held.exitCode == 0, qPrintable(held.errors));
    showAllRecords(*here.ADOQuery15);
    QCOMPARE(customers(*here.ADOQuery15).count(QStringLiteral("一号机")), 1);
    QCOMPARE(here.ADOQuery15->recordCount(), 3);
}

QTEST_MAIN(TerminalsTest)
#include "tst_terminals.moc"
