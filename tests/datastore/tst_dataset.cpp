#include "apperror.h"
#include "connection.h"
#include "datamodule.h"
#include "dataset.h"
#include "openerror.h"
#include "rowcheck.h"
#include "schema.h"
#include "testworkspace.h"

#include <QCryptographicHash>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRandomGenerator>
#include <QtTest>
#include <thread>

namespace {

struct Sale
{
    QString category;
    QString name;
    QDate day;
    QString flag = QStringLiteral("1");
    QVariant profit = 1.0;
};

void insertSales(Connection &connection, const QList<Sale> &sales)
{
    for (const Sale &sale : sales)
        connection.execute(QStringLiteral("insert into data (a,b,\"4\",day1,o) values (?,?,?,?,?)"),
                           {sale.category, sale.name, sale.profit, sale.day, sale.flag});
}

// The names of the stored sales in the order they were added.
QString storedNames(Connection &connection)
{
    Statement rows = connection.prepare(QStringLiteral("select b from data"));
    QStringList names;
    while (rows.step())
        names << rows.value(0).toString();
    return names.join(QLatin1Char(','));
}

QStringList column(Dataset &dataset, const QString &field)
{
    QStringList values;
    for (int row = 0; row < dataset.recordCount(); ++row)
        values << dataset.displayTextAt(row, dataset.fieldIndex(field));
    return values;
}

// The ledger dataset opened on four sales whose names and profits sort apart (one
// profit null).
Dataset &openFourSales(Tdmfm &module)
{
    insertSales(*module.ADOConnection1, {{"a", "甲", {2014, 3, 1}, "1", 5.0},
                                         {"a", "乙", {2014, 3, 2}, "1", -2.5},
                                         {"a", "丙", {2014, 3, 3}, "1", 12.0},
                                         {"a", "丁", {2014, 3, 4}, "1", QVariant()}});
    Dataset &ledger = *module.ADOQuery15;
    ledger.setSql(QStringLiteral("select * from data"));
    ledger.open();
    return ledger;
}

QByteArray fileDigest(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QCryptographicHash::hash(file.readAll(), QCryptographicHash::Sha256);
}

} // namespace

class DatasetTest : public QObject
{
    Q_OBJECT

private slots:
    void appendedEmptyTextsStayEmptyAndNullsStayNull();
    void dateRangeIncludesBothEnds();
    void flagSelectsOnlyMarkedRecords();
    void boundValuesAreData_data();
    void boundValuesAreData();
    void sortKeepsCurrentRecord_data();
    void sortKeepsCurrentRecord();
    void statementTextIsReadWhereItComesIn_data();
    void statementTextIsReadWhereItComesIn();
    void sortTextIsReadAsFieldAndDirection_data();
    void sortTextIsReadAsFieldAndDirection();
    void sortOrdersNumbersOfEverySizeStably_data();
    void sortOrdersNumbersOfEverySizeStably();
    void deleteMovesToNextRow();
    void editWritesOnlyTheCurrentRow();
    void movingAbandonsPendingEdit();
    void closedAndEmptyDatasetsRefuseWork();
    void badFilesAreRefusedAndLeftUntouched_data();
    void badFilesAreRefusedAndLeftUntouched();
    void busyFileWaitsForWriter();
    void lostServerConnectionWritesNothingHalf();
    void statementCutOffWhileRunningIsNotSentAgain();
    void valuesReadCompareEqualToThemselves_data();
    void valuesReadCompareEqualToThemselves();
    void keyedWriteOfMoreThanOneRowIsRolledBack();
};

void DatasetTest::appendedEmptyTextsStayEmptyAndNullsStayNull()
{
    TestWorkspace workspace;
    Tdmfm module;
    module.openAppendTable();
    Dataset &table = *module.ADOTable5;
    QCOMPARE(table.recordCount(), 0);
    table.append();
    for (const char *field : {"a", "b"})
        table.setValue(QString::fromLatin1(field), QStringLiteral("运动鞋"));
    for (const char *field : {"c", "d", "e", "f", "h", "z"})
        table.setValue(QString::fromLatin1(field), QString(""));
    table.setValue(QStringLiteral("day1"), QDate(2014, 3, 12));
    table.post();
    QCOMPARE(table.recordCount(), 1);

    module.ADOConnection1->execute(QStringLiteral("insert into data (a) values ('只有类别')"));

    Dataset &ledger = *module.ADOQuery15;
    ledger.setSql(QStringLiteral("select * from data"));
    ledger.open();
    QCOMPARE(ledger.recordCount(), 2);
    for (const char *field : {"c", "d", "e", "f", "h", "z"}) {
        const QVariant value = ledger.value(QString::fromLatin1(field));
        QVERIFY2(value.isValid() && value.toString().isEmpty(), field);
    }
    QCOMPARE(ledger.value(QStringLiteral("day1")).toDate(), QDate(2014, 3, 12));
    QCOMPARE(ledger.displayText(QStringLiteral("day1")), QStringLiteral("2014-03-12"));
    QCOMPARE(module.ADOConnection1->scalar(QStringLiteral("select count(*) from data where c is null")).toInt(), 1);

    ledger.next();
    QVERIFY(!ledger.value(QStringLiteral("c")).isValid());
    QVERIFY_THROWS_EXCEPTION(ConversionError, ledger.textValue(QStringLiteral("c")));
}

void DatasetTest::dateRangeIncludesBothEnds()
{
    TestWorkspace workspace;
    Tdmfm module;
    insertSales(*module.ADOConnection1, {{"鞋", "前一天", {2014, 2, 28}},
                                         {"鞋", "第一天", {2014, 3, 1}},
                                         {"鞋", "最后一天", {2014, 3, 12}},
                                         {"鞋", "后一天", {2014, 3, 13}}});
    Dataset &ledger = *module.ADOQuery15;
    ledger.setSql(QStringLiteral("select * from data where day1>=? and day1<=?"), {QDate(2014, 3, 1), QDate(2014, 3, 12)});
    ledger.open();
    QCOMPARE(column(ledger, QStringLiteral("b")), (QStringList{"第一天", "最后一天"}));

    ledger.setSql(QStringLiteral("select * from data where day1>=? and day1<=?"), {QDate(2014, 3, 12), QDate(2014, 3, 1)});
    ledger.open();
    QCOMPARE(ledger.recordCount(), 0);
}

void DatasetTest::flagSelectsOnlyMarkedRecords()
{
    TestWorkspace workspace;
    Tdmfm module;
    Sale unmarked{"鞋", "旧记录", {2014, 3, 1}};
    unmarked.flag = QStringLiteral("0");
    insertSales(*module.ADOConnection1, {{"鞋", "新记录", {2014, 3, 1}}, unmarked});
    Dataset &ledger = *module.ADOQuery15;
    ledger.setSql(QStringLiteral("select * from data where o='1' "));
    ledger.open();
    QCOMPARE(column(ledger, QStringLiteral("b")), QStringList{"新记录"});
    ledger.setSql(QStringLiteral("select * from data "));
    ledger.open();
    QCOMPARE(ledger.recordCount(), 2);
}

void DatasetTest::boundValuesAreData_data()
{
    QTest::addColumn<QString>("pattern");
    QTest::addColumn<QStringList>("found");
    QTest::newRow("quote is plain text") << "%O'Brien%" << QStringList{"O'Brien 鞋"};
    QTest::newRow("statement text is plain text") << "%'; drop table data; --%" << QStringList{};
    QTest::newRow("percent is a wildcard") << "%鞋" << QStringList{"O'Brien 鞋", "运动鞋"};
    QTest::newRow("underscore is a wildcard") << "运_鞋" << QStringList{"运动鞋"};
}

void DatasetTest::boundValuesAreData()
{
    QFETCH(QString, pattern);
    QFETCH(QStringList, found);
    TestWorkspace workspace;
    Tdmfm module;
    insertSales(*module.ADOConnection1, {{"a", "O'Brien 鞋", {2014, 3, 1}}, {"a", "运动鞋", {2014, 3, 2}}, {"a", "鞋垫", {2014, 3, 3}}});
    Dataset &ledger = *module.ADOQuery15;
    ledger.setSql(QStringLiteral("select * from data where b like ?"), {pattern});
    ledger.open();
    QCOMPARE(column(ledger, QStringLiteral("b")), found);
    QCOMPARE(module.ADOConnection1->scalar(QStringLiteral("select count(*) from data")).toInt(), 3);
}

void DatasetTest::sortKeepsCurrentRecord_data()
{
    QTest::addColumn<QString>("sort");
    QTest::addColumn<QStringList>("names");
    QTest::newRow("number descending") << "4 DESC" << QStringList{"丙", "甲", "乙", "丁"};
    QTest::newRow("number ascending, null first") << "4" << QStringList{"丁", "乙", "甲", "丙"};
    // Chinese texts sort in pinyin order: bing, ding, jia, yi.
    QTest::newRow("text in pinyin order") << "b" << QStringList{"丙", "丁", "甲", "乙"};
}

void DatasetTest::sortKeepsCurrentRecord()
{
    QFETCH(QString, sort);
    QFETCH(QStringList, names);
    TestWorkspace workspace;
    Tdmfm module;
    Dataset &ledger = openFourSales(module);
    ledger.setCurrentRow(1);
    ledger.setSort(sort);
    QCOMPARE(column(ledger, QStringLiteral("b")), names);
    QCOMPARE(ledger.value(QStringLiteral("b")).toString(), QStringLiteral("乙"));
    QCOMPARE(ledger.sort(), sort);
}

// A sort given as text is read once into a field and a direction; the text is kept as
// given. An earlier sort "b" stands before each row, so a refused text must leave it.
// A statement given as text is read once: "select * from <table> [where|order by …]"
// becomes a query of the table (rows held by key, editable), with or without an order
// of its own; any other statement is read whole and read-only. Sales are added as
// 乙, 甲, 丙 with profits 2, 1, 3 and one category, so a sort by category shows
// which order equal values keep.
void DatasetTest::statementTextIsReadWhereItComesIn_data()
{
    QTest::addColumn<QString>("sql");
    QTest::addColumn<QVariantList>("parameters");
    QTest::addColumn<bool>("editable");
    QTest::addColumn<QStringList>("opened");
    QTest::addColumn<QStringList>("sorted");
    const QStringList added{"乙", "甲", "丙"};
    const QStringList byProfit{"甲", "乙", "丙"};
    QTest::newRow("whole table") << "select * from data" << QVariantList{} << true << added << added;
    QTest::newRow("any case and blanks, a condition") << "  SELECT  *  FROM data  WHERE \"4\"<>?" << QVariantList{1.0}
                                                      << true << QStringList{"乙", "丙"} << QStringList{"乙", "丙"};
    QTest::newRow("condition on a second line") << "select * from data\nwhere \"4\">=?" << QVariantList{2.0} << true
                                                << QStringList{"乙", "丙"} << QStringList{"乙", "丙"};
    QTest::newRow("an order of its own stays among equals")
        << "select * from data order by \"4\"" << QVariantList{} << true << byProfit << byProfit;
    QTest::newRow("some columns: read whole") << "select b, a from data" << QVariantList{} << false << added << added;
    QTest::newRow("two tables: read whole") << "select * from data, data_count" << QVariantList{} << false
                                            << QStringList{} << QStringList{};
}

void DatasetTest::statementTextIsReadWhereItComesIn()
{
    QFETCH(QString, sql);
    QFETCH(QVariantList, parameters);
    QFETCH(bool, editable);
    QFETCH(QStringList, opened);
    QFETCH(QStringList, sorted);
    TestWorkspace workspace;
    Tdmfm module;
    insertSales(*module.ADOConnection1, {{"a", "乙", {2014, 3, 1}, "1", 2.0},
                                         {"a", "甲", {2014, 3, 2}, "1", 1.0},
                                         {"a", "丙", {2014, 3, 3}, "1", 3.0}});
    if (sql.contains(QStringLiteral("data_count")))
        module.ADOConnection1->execute(QStringLiteral("create table data_count (n integer)"));
    Dataset &ledger = *module.ADOQuery15;
    ledger.setSql(sql, parameters);
    ledger.open();
    QCOMPARE(ledger.tableQuery().has_value(), editable);
    QCOMPARE(column(ledger, QStringLiteral("b")), opened);
    QCOMPARE(ledger.currentVersion().isValid(), editable && !opened.isEmpty());
    if (opened.isEmpty())
        return;
    ledger.setSort(QStringLiteral("a"));
    QCOMPARE(column(ledger, QStringLiteral("b")), sorted);
    if (!editable) {
        ledger.edit();
        ledger.setValue(QStringLiteral("b"), QStringLiteral("改"));
        QVERIFY_THROWS_EXCEPTION(DatabaseError, ledger.post());
    }
}

void DatasetTest::sortTextIsReadAsFieldAndDirection_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("refused");
    QTest::addColumn<QString>("field"); // empty: no sort held afterwards
    QTest::addColumn<bool>("descending");
    QTest::addColumn<QString>("kept");
    QTest::addColumn<QStringList>("names");
    const QStringList byName{"丙", "丁", "甲", "乙"};
    QTest::newRow("number descending") << "4 DESC" << false << "4" << true << "4 DESC" << QStringList{"丙", "甲", "乙", "丁"};
    QTest::newRow("text ascending") << "b" << false << "b" << false << "b" << byName;
    QTest::newRow("date descending") << "day1 DESC" << false << "day1" << true << "day1 DESC"
                                     << QStringList{"丁", "丙", "乙", "甲"};
    QTest::newRow("desc in any case") << "4 dEsC" << false << "4" << true << "4 dEsC" << QStringList{"丙", "甲", "乙", "丁"};
    QTest::newRow("blanks around and between") << "  4   DESC \t" << false << "4" << true << "4   DESC"
                                               << QStringList{"丙", "甲", "乙", "丁"};
    QTest::newRow("blank keeps the rows, forgets the sort") << "   " << false << "" << false << "" << byName;
    QTest::newRow("empty") << "" << false << "" << false << "" << byName;
    QTest::newRow("unknown field") << "x DESC" << true << "b" << false << "b" << byName;
    QTest::newRow("field names keep their case") << "B" << true << "b" << false << "b" << byName;
    QTest::newRow("DESC alone is no direction") << "DESC" << true << "b" << false << "b" << byName;
    QTest::newRow("direction needs a blank before it") << "4DESC" << true << "b" << false << "b" << byName;
}

void DatasetTest::sortTextIsReadAsFieldAndDirection()
{
    QFETCH(QString, text);
    QFETCH(bool, refused);
    QFETCH(QString, field);
    QFETCH(bool, descending);
    QFETCH(QString, kept);
    QFETCH(QStringList, names);
    TestWorkspace workspace;
    Tdmfm module;
    Dataset &ledger = openFourSales(module);
    ledger.setSort(SortKey{QStringLiteral("b"), false});
    QCOMPARE(ledger.sort(), QStringLiteral("b"));
    if (refused)
        QVERIFY_THROWS_EXCEPTION(DatabaseError, ledger.setSort(text));
    else
        ledger.setSort(text);
    QCOMPARE(column(ledger, QStringLiteral("b")), names);
    QCOMPARE(ledger.sort(), kept);
    if (field.isEmpty()) {
        QVERIFY(!ledger.sortKey());
    } else {
        QVERIFY(ledger.sortKey());
        QCOMPARE(ledger.sortKey()->field, field);
        QCOMPARE(ledger.sortKey()->descending, descending);
        // The typed sort and its text form say the same.
        QCOMPARE(SortKey::fromText(ledger.sortKey()->text()), ledger.sortKey());
    }
}

void DatasetTest::sortOrdersNumbersOfEverySizeStably_data()
{
    QTest::addColumn<QString>("sort");
    QTest::addColumn<QStringList>("names");
    // Equal numbers (two 0.5, a zero and a negative zero) keep the order they were added in.
    QTest::newRow("ascending") << "4"
                               << QStringList{"空", "负大", "负半", "零", "负零", "极小", "半1", "半2",
                                              "65536", "65537", "四十亿", "大"};
    QTest::newRow("descending") << "4 DESC"
                                << QStringList{"大", "四十亿", "65537", "65536", "半1", "半2", "极小",
                                               "零", "负零", "负半", "负大", "空"};
}

void DatasetTest::sortOrdersNumbersOfEverySizeStably()
{
    QFETCH(QString, sort);
    QFETCH(QStringList, names);
    TestWorkspace workspace;
    Tdmfm module;
    const QDate day(2014, 3, 1);
    insertSales(*module.ADOConnection1, {{"a", "半1", day, "1", 0.5},
                                         {"a", "大", day, "1", 1e15},
                                         {"a", "零", day, "1", 0.0},
                                         {"a", "65537", day, "1", 65537.0},
                                         {"a", "负大", day, "1", -1e15},
                                         {"a", "空", day, "1", QVariant()},
                                         {"a", "负零", day, "1", -0.0},
                                         {"a", "四十亿", day, "1", 4294967296.5},
                                         {"a", "极小", day, "1", 1e-9},
                                         {"a", "负半", day, "1", -0.5},
                                         {"a", "65536", day, "1", 65536.0},
                                         {"a", "半2", day, "1", 0.5}});
    Dataset &ledger = *module.ADOQuery15;
    ledger.setSql(QStringLiteral("select * from data"));
    ledger.open();
    ledger.setSort(sort);
    QCOMPARE(column(ledger, QStringLiteral("b")), names);
}

void DatasetTest::deleteMovesToNextRow()
{
    TestWorkspace workspace;
    Tdmfm module;
    insertSales(*module.ADOConnection1, {{"a", "一", {2014, 3, 1}}, {"a", "二", {2014, 3, 2}}, {"a", "三", {2014, 3, 3}}});
    Dataset &ledger = *module.ADOQuery15;
    ledger.setSql(QStringLiteral("select * from data"));
    ledger.open();
    ledger.setCurrentRow(1);
    ledger.deleteCurrent();
    QCOMPARE(ledger.value(QStringLiteral("b")).toString(), QStringLiteral("三"));
    ledger.deleteCurrent();
    QCOMPARE(ledger.value(QStringLiteral("b")).toString(), QStringLiteral("一"));
    QCOMPARE(module.ADOConnection1->scalar(QStringLiteral("select b from data")).toString(), QStringLiteral("一"));
    ledger.deleteCurrent();
    QCOMPARE(ledger.recordCount(), 0);
    QVERIFY_THROWS_EXCEPTION(DatabaseError, ledger.deleteCurrent());
}

void DatasetTest::editWritesOnlyTheCurrentRow()
{
    TestWorkspace workspace;
    Tdmfm module;
    insertSales(*module.ADOConnection1, {{"a", "一", {2014, 3, 1}}, {"a", "二", {2014, 3, 2}}});
    Dataset &ledger = *module.ADOQuery15;
    ledger.setSql(QStringLiteral("select * from data"));
    ledger.open();
    ledger.setCurrentRow(1);
    ledger.edit();
    ledger.setValue(QStringLiteral("b"), QStringLiteral("二改"));
    ledger.post();
    QCOMPARE(ledger.value(QStringLiteral("b")).toString(), QStringLiteral("二改"));
    QCOMPARE(ledger.value(QStringLiteral("o")).toString(), QStringLiteral("1"));
    QCOMPARE(storedNames(*module.ADOConnection1),
             QStringLiteral("一,二改"));
}

void DatasetTest::movingAbandonsPendingEdit()
{
    TestWorkspace workspace;
    Tdmfm module;
    insertSales(*module.ADOConnection1, {{"a", "一", {2014, 3, 1}}, {"a", "二", {2014, 3, 2}}});
    Dataset &ledger = *module.ADOQuery15;
    ledger.setSql(QStringLiteral("select * from data"));
    ledger.open();
    ledger.edit();
    ledger.setValue(QStringLiteral("b"), QStringLiteral("半改"));
    ledger.next();
    QCOMPARE(ledger.state(), Dataset::State::Browse);
    ledger.post();

    module.openAppendTable();
    module.ADOTable5->append();
    module.ADOTable5->setValue(QStringLiteral("b"), QStringLiteral("半新"));
    module.ADOTable5->append(); // a new append starts afresh
    module.ADOTable5->setValue(QStringLiteral("b"), QStringLiteral("新"));
    module.ADOTable5->post();
    QCOMPARE(storedNames(*module.ADOConnection1),
             QStringLiteral("一,二,新"));
}

void DatasetTest::closedAndEmptyDatasetsRefuseWork()
{
    TestWorkspace workspace;
    Tdmfm module;
    Dataset &ledger = *module.ADOQuery15;
    try {
        ledger.setSort(QStringLiteral("4 DESC"));
        QFAIL("sorting a closed dataset must fail");
    } catch (const DatabaseError &error) {
        QCOMPARE(error.message(), QStringLiteral("ADOQuery15: Cannot perform this operation on a closed dataset"));
    }
    ledger.setSql(QStringLiteral("select * from data"));
    ledger.open();
    ledger.setSort(QStringLiteral("4 DESC")); // an empty set sorts without complaint
    try {
        ledger.deleteCurrent();
        QFAIL("deleting from an empty dataset must fail");
    } catch (const DatabaseError &error) {
        QCOMPARE(error.message(), QStringLiteral("ADOQuery15: Cannot perform this operation on an empty dataset"));
    }
    ledger.setSql(QStringLiteral("select * from data where"));
    QVERIFY_THROWS_EXCEPTION(DatabaseError, ledger.open());
    QVERIFY(!ledger.isOpen());
}

void DatasetTest::badFilesAreRefusedAndLeftUntouched_data()
{
    // How the file is made; what the operator reads (%1 stands for the file's full
    // path); what the engine said, which goes to the log.
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("message");
    QTest::addColumn<QString>("engineMessage");
    const QString unrecognized = QStringLiteral("Unrecognized database format '%1'.");
    const QString notADatabase = QStringLiteral("is not a database");
    QTest::newRow("missing") << "missing" << "Could not find file '%1'." << "unable to open database file";
    QTest::newRow("empty") << "empty" << unrecognized << "no such table: data";
    QTest::newRow("text") << "text" << unrecognized << notADatabase;
    QTest::newRow("unencrypted database") << "unencrypted" << unrecognized << notADatabase;
    QTest::newRow("keyed, no tables") << "keyed, no tables" << unrecognized << "no such table: data";
    QTest::newRow("keyed, two tables") << "keyed, two tables" << unrecognized << "no such table: rz";
    QTest::newRow("other password") << "other password" << "Not a valid password." << notADatabase;
    // Random bytes in whole pages are what a file under another password looks like:
    // without the key nothing tells them apart.
    QTest::newRow("random pages") << "random pages" << "Not a valid password." << notADatabase;
}

void DatasetTest::badFilesAreRefusedAndLeftUntouched()
{
    QFETCH(QString, kind);
    QFETCH(QString, message);
    QFETCH(QString, engineMessage);
    if (TestWorkspace::onServer())
        QSKIP("a file of the embedded engine");
    TestWorkspace workspace(TestWorkspace::Database::None);
    const QString path = workspace.databasePath();
    auto writeFile = [&](const QByteArray &content) {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        QCOMPARE(file.write(content), content.size());
    };
    auto keyedDatabase = [&](const QByteArray &key, const QStringList &tables) {
        Connection database(path, key, Connection::OpenMode::CreateFile);
        for (const QString &table : tables)
            database.execute(QStringLiteral("create table %1 (username text)").arg(table));
    };
    if (kind == QLatin1String("empty")) {
        writeFile({});
    } else if (kind == QLatin1String("text")) {
        writeFile(QByteArray("这不是数据库\n").repeated(400));
    } else if (kind == QLatin1String("unencrypted")) {
        // The engine's own shell, given no key, writes a plain database.
        QProcess shell;
        shell.start(QStringLiteral("sqlcipher"),
                    {path, QStringLiteral("create table data (a text); create table userdb (username text); "
                                          "create table rz (id integer)")});
        QVERIFY(shell.waitForFinished(30000));
        QCOMPARE(shell.exitCode(), 0);
    } else if (kind == QLatin1String("keyed, no tables")) {
        keyedDatabase(Schema::databaseKey(), {QStringLiteral("notes")});
    } else if (kind == QLatin1String("keyed, two tables")) {
        keyedDatabase(Schema::databaseKey(), {QStringLiteral("data"), QStringLiteral("userdb")});
    } else if (kind == QLatin1String("other password")) {
        Connection other(path, "another password", Connection::OpenMode::CreateFile);
        Schema::createTables(other);
    } else if (kind == QLatin1String("random pages")) {
        QByteArray pages;
        for (int i = 0; i < 2 * 4096 / 4; ++i) {
            const quint32 word = QRandomGenerator::global()->generate();
            pages.append(reinterpret_cast<const char *>(&word), sizeof word);
        }
        writeFile(pages);
    }
    const bool existed = QFile::exists(path);
    const QByteArray before = fileDigest(path);
    try {
        Tdmfm module;
        QFAIL("the data module must refuse the file");
    } catch (const DatabaseOpenError &error) {
        const QString fullPath = QFileInfo(path).absoluteFilePath();
        QCOMPARE(error.message(), message.contains(QLatin1String("%1")) ? message.arg(fullPath) : message);
        QCOMPARE(error.path(), fullPath);
        QVERIFY2(error.engineMessage().contains(engineMessage), qPrintable(error.engineMessage()));
    }
    QCOMPARE(fileDigest(path), before);
    QCOMPARE(QFile::exists(path), existed);
    QVERIFY(!QFile::exists(path + QStringLiteral("-journal")));
}

void DatasetTest::busyFileWaitsForWriter()
{
    TestWorkspace workspace;
    Tdmfm first;
    Tdmfm second;
    first.ADOConnection1->beginTransaction();
    first.ADOConnection1->execute(QStringLiteral("insert into data (b) values ('第一')"));
    // The second copy's write waits for the first one's commit instead of failing.
    QTimer::singleShot(300, [&] { first.ADOConnection1->commit(); });
    QEventLoop loop;
    QTimer::singleShot(0, [&] {
        QThread *writer = QThread::create([&] {
            second.ADOConnection1->execute(QStringLiteral("insert into data (b) values ('第二')"));
        });
        connect(writer, &QThread::finished, &loop, &QEventLoop::quit);
        connect(writer, &QThread::finished, writer, &QObject::deleteLater);
        writer->start();
    });
    loop.exec();
    QCOMPARE(first.ADOConnection1->scalar(QStringLiteral("select count(*) from data")).toInt(), 2);
}

void DatasetTest::lostServerConnectionWritesNothingHalf()
{
    if (!TestWorkspace::onServer())
        QSKIP("a connection to a database server");
    TestWorkspace workspace;
    Tdmfm module;
    Connection &connection = *module.ADOConnection1;
    Connection admin(workspace.dataSource());
    auto loseConnection = [&] {
        const QVariant backend = connection.scalar(QStringLiteral("select pg_backend_pid()"));
        QVERIFY(admin.scalar(QStringLiteral("select pg_terminate_backend(?, 10000)"), {backend}).toBool());
    };

    // Lost in the middle of a transaction: the rest of it fails until the caller rolls
    // back, and nothing of it was stored.
    connection.beginTransaction();
    insertSales(connection, {{"a", "一", {2014, 3, 1}}, {"a", "二", {2014, 3, 2}}});
    loseConnection();
    QVERIFY_THROWS_EXCEPTION(DatabaseError, insertSales(connection, {{"a", "三", {2014, 3, 3}}}));
    QVERIFY_THROWS_EXCEPTION(DatabaseError, insertSales(connection, {{"a", "四", {2014, 3, 4}}}));
    QVERIFY_THROWS_EXCEPTION(DatabaseError, connection.commit());
    connection.rollback();
    QCOMPARE(admin.scalar(QStringLiteral("select count(*) from data")).toInt(), 0);

    // Outside a transaction a session the server ended while idle is made again before
    // the next statement is sent: nothing was lost, so nothing fails.
    loseConnection();
    QCOMPARE(connection.scalar(QStringLiteral("select count(*) from data")).toInt(), 0);
    insertSales(connection, {{"a", "五", {2014, 3, 5}}});
    QCOMPARE(storedNames(admin), QStringLiteral("五"));
    QCOMPARE(connection.lastInsertRowId(), admin.scalar(QStringLiteral("select max(rowid) from data")).toLongLong());
}

// A session lost while its statement runs leaves the statement's outcome unknown: it
// fails, in words the operator understands, and is never sent a second time.
void DatasetTest::statementCutOffWhileRunningIsNotSentAgain()
{
    if (!TestWorkspace::onServer())
        QSKIP("a connection to a database server");
    TestWorkspace workspace;
    Tdmfm module;
    Connection &connection = *module.ADOConnection1;
    const QVariant backend = connection.scalar(QStringLiteral("select pg_backend_pid()"));
    std::thread cut([&] {
        Connection admin(workspace.dataSource());
        // Once the insert is under way on the server.
        for (int i = 0; i < 100; ++i) {
            if (admin.scalar(QStringLiteral("select count(*) from pg_stat_activity where pid=? and state='active'"),
                             {backend})
                    .toInt()
                > 0)
                break;
            QThread::msleep(50);
        }
        admin.scalar(QStringLiteral("select pg_terminate_backend(?, 10000)"), {backend});
    });
    QString failure;
    try {
        connection.execute(QStringLiteral("insert into data (b) select '慢' from pg_sleep(3)"));
    } catch (const DatabaseError &error) {
        failure = error.message();
    }
    cut.join();
    QVERIFY2(failure.startsWith(QStringLiteral("无法连接数据库服务器，请检查网络和服务器后重试。\n")), qPrintable(failure));
    QCOMPARE(connection.scalar(QStringLiteral("select count(*) from data")).toInt(), 0);
    QCOMPARE(storedNames(connection), QString());
}

void DatasetTest::valuesReadCompareEqualToThemselves_data()
{
    QTest::addColumn<QVariant>("profit");
    QTest::addColumn<QString>("day"); // as stored
    QTest::newRow("a sum with a binary tail") << QVariant(0.1 + 0.2) << QStringLiteral("2014-03-01");
    QTest::newRow("a third") << QVariant(1.0 / 3.0) << QStringLiteral("2014-03-01");
    QTest::newRow("large with cents") << QVariant(987654321098.37) << QStringLiteral("2014-03-01");
    QTest::newRow("tiny") << QVariant(1e-300) << QStringLiteral("2014-03-01");
    QTest::newRow("negative") << QVariant(-12.345) << QStringLiteral("2014-03-01");
    QTest::newRow("null, time of day") << QVariant() << QStringLiteral("2014-03-01 14:32:10");
}

// A modify or delete compares with the values read: each value must compare equal to
// itself after the round trip through this program, or no sale could be changed.
void DatasetTest::valuesReadCompareEqualToThemselves()
{
    QFETCH(QVariant, profit);
    QFETCH(QString, day);
    TestWorkspace workspace;
    Tdmfm module;
    Connection &connection = *module.ADOConnection1;
    for (const char *name : {"改", "删"})
        connection.execute(QStringLiteral("insert into data (b,\"4\",day1,o) values (?,?,?,'1')"),
                           {QString::fromUtf8(name), profit,
                            day.size() > 10 ? QVariant(QDateTime::fromString(day, QStringLiteral("yyyy-MM-dd HH:mm:ss")))
                                            : QVariant(QDate::fromString(day, Qt::ISODate))});
    Dataset &ledger = *module.ADOQuery15;
    ledger.setSql(QStringLiteral("select * from data"));
    ledger.open();
    ledger.first();
    ledger.edit();
    ledger.setValue(QStringLiteral("4"), 2.5);
    ledger.setValue(QStringLiteral("day1"), QDate(2015, 1, 1));
    ledger.post();
    ledger.last();
    ledger.deleteCurrent();
    QCOMPARE(storedNames(connection), QStringLiteral("改"));
    QCOMPARE(connection.scalar(QStringLiteral("select \"4\" from data")).toDouble(), 2.5);
}

// A write meant for one row that would change several is undone whole.
void DatasetTest::keyedWriteOfMoreThanOneRowIsRolledBack()
{
    TestWorkspace workspace;
    Tdmfm module;
    Connection &connection = *module.ADOConnection1;
    insertSales(connection, {{"a", "同名", {2014, 3, 1}}, {"a", "同名", {2014, 3, 2}}});
    QVERIFY_THROWS_EXCEPTION(DatabaseError,
                             RowCheck::writeOne(connection, QStringLiteral("update data set a=?"), {QStringLiteral("改")},
                                                {QStringLiteral("b=?"), {QStringLiteral("同名")}}));
    QVERIFY(!connection.inTransaction());
    QCOMPARE(connection.scalar(QStringLiteral("select count(*) from data where a='a'")).toInt(), 2);
    QVERIFY(!RowCheck::writeOne(connection, QStringLiteral("delete from data"), {},
                                RowCheck::unchanged(connection, 1, {QStringLiteral("b")}, {QStringLiteral("别的")})));
    QVERIFY(RowCheck::writeOne(connection, QStringLiteral("delete from data"), {},
                               RowCheck::unchanged(connection, connection.scalar(QStringLiteral("select min(rowid) from data")).toLongLong(),
                                                   {QStringLiteral("b"), QStringLiteral("c")}, {QStringLiteral("同名"), QVariant()})));
    QCOMPARE(connection.scalar(QStringLiteral("select count(*) from data")).toInt(), 1);
}

QTEST_MAIN(DatasetTest)
#include "tst_dataset.moc"
