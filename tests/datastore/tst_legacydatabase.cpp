#include "apperror.h"
#include "legacydatabase.h"
#include "legacyfixtures.h"
#include "testworkspace.h"

#include <QtTest>
#include <cmath>
#include <limits>

namespace {

using Rows = QList<QVariantList>;

Rows readAll(const QString &path, const QString &tableName)
{
    LegacyDatabase database(path);
    const auto table = database.openTable(tableName);
    Rows rows;
    while (table->next()) {
        QVariantList row;
        for (int i = 0; i < table->columns().size(); ++i)
            row << table->value(i);
        rows << row;
    }
    return rows;
}

QString failure(const std::function<void()> &action)
{
    try {
        action();
    } catch (const AppError &error) {
        return error.message();
    }
    return QStringLiteral("(no error)");
}

} // namespace

class LegacyDatabaseTest : public QObject
{
    Q_OBJECT

private slots:
    void recognisesAccessFiles_data();
    void recognisesAccessFiles();
    void readsFilesOfTheDesktopProgram_data();
    void readsFilesOfTheDesktopProgram();
    void findsColumnsByNameAndKind();
    void readsExactValuesWithTimeOfDay();
    void nullAndEmptyTextBothReadEmpty();
    void damagedFilesNameTableAndRow_data();
    void damagedFilesNameTableAndRow();
};

void LegacyDatabaseTest::recognisesAccessFiles_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<bool>("access");
    QTest::newRow("shop ledger") << legacyFixture(QStringLiteral("legacy-small.mdb")) << true;
    QTest::newRow("desktop program's file") << legacyFixture(QStringLiteral("access2000-with-password.mdb")) << true;
    QTest::newRow("new ledger") << QStringLiteral("data.mdb") << false;
    QTest::newRow("empty file") << QStringLiteral("empty.mdb") << false;
    QTest::newRow("text file") << QStringLiteral("notes.mdb") << false;
    QTest::newRow("missing") << QStringLiteral("missing.mdb") << false;
}

void LegacyDatabaseTest::recognisesAccessFiles()
{
    QFETCH(QString, file);
    QFETCH(bool, access);
    TestWorkspace workspace; // holds a new ledger as data.mdb
    writeBytes(QStringLiteral("empty.mdb"), {});
    writeBytes(QStringLiteral("notes.mdb"), "Standard Jet DB, but as text\n");
    QCOMPARE(LegacyDatabase::isAccessFile(file), access);
    if (!access)
        QVERIFY(!failure([&] { LegacyDatabase database(file); }).isEmpty());
}

void LegacyDatabaseTest::readsFilesOfTheDesktopProgram_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<QString>("table");
    QTest::addColumn<QStringList>("texts");
    // A protected file opens without its database password.
    QTest::newRow("password") << QStringLiteral("access2000-with-password.mdb") << QStringLiteral("Table1")
                              << QStringList{"One", "Two", "Three"};
    QString everyLatin1;
    for (int code = 1; code <= 0xff; ++code)
        everyLatin1 += QChar(code);
    QTest::newRow("unicode") << QStringLiteral("access2003-unicode.mdb") << QStringLiteral("Table")
                             << QStringList{QStringLiteral("only ascii chars"),
                                            QStringLiteral("ääkkösiä"),
                                            QStringLiteral("Мир"),
                                            QString::fromUtf16(u"\u03F0\u03B1\u1F76 \u03C4\u1F79\u03C4' \u1F10\u03B3\u1F7C \u039A\u1F7B\u03F0\u03BB\u03C9\u03C0\u03B1"),
                                            QStringLiteral("漢字仮名交じり文"),
                                            QString::fromUtf8("3L9\x1d" "52\x02_AB(¥\x05!!V"),
                                            QStringLiteral("ümlaut"),
                                            everyLatin1};
}

void LegacyDatabaseTest::readsFilesOfTheDesktopProgram()
{
    QFETCH(QString, file);
    QFETCH(QString, table);
    QFETCH(QStringList, texts);
    const Rows rows = readAll(legacyFixture(file), table);
    QCOMPARE(rows.size(), texts.size());
    for (int i = 0; i < rows.size(); ++i) {
        QCOMPARE(rows[i][0].toLongLong(), qlonglong(i + 1));
        QCOMPARE(rows[i][1].toString(), texts[i]);
    }
}

void LegacyDatabaseTest::findsColumnsByNameAndKind()
{
    LegacyDatabase database(legacyFixture(QStringLiteral("legacy-variant.mdb")));
    QCOMPARE(database.tableNames(), (QStringList{"data", "userdb", "rz"}));
    QVERIFY(database.hasTable(QStringLiteral("USERDB")));
    const auto sales = database.openTable(QStringLiteral("Data"));
    QCOMPARE(sales->declaredRowCount(), 29);
    using Kind = LegacyColumn::Kind;
    const QList<QPair<QString, Kind>> expected = {{"z", Kind::Memo},   {"1", Kind::Single}, {"6", Kind::Double},
                                                  {"day1", Kind::DateTime}, {"a", Kind::Text}};
    for (const auto &[name, kind] : expected) {
        const int index = sales->columnIndex(name.toUpper());
        QVERIFY2(index >= 0, qPrintable(name));
        QCOMPARE(sales->columns()[index].name, name);
        QCOMPARE(int(sales->columns()[index].kind), int(kind));
    }
    QCOMPARE(sales->columnIndex(QStringLiteral("day1")), 13); // the variant's own order
    QCOMPARE(sales->columnIndex(QStringLiteral("nope")), -1);
    const auto sessions = database.openTable(QStringLiteral("rz"));
    QCOMPARE(int(sessions->columns()[sessions->columnIndex(QStringLiteral("id"))].kind), int(Kind::Long));
    QVERIFY(!failure([&] { database.openTable(QStringLiteral("sales")); }).contains(QStringLiteral("(no error)")));
}

void LegacyDatabaseTest::readsExactValuesWithTimeOfDay()
{
    // Values picked from the expected rows: a single widened exactly, 0.1 × 3 kept as
    // stored, a time of day and a date before 2000.
    LegacyDatabase small(legacyFixture(QStringLiteral("legacy-small.mdb")));
    auto sales = small.openTable(QStringLiteral("data"));
    const int total = sales->columnIndex(QStringLiteral("6")), day = sales->columnIndex(QStringLiteral("day1")),
              owed = sales->columnIndex(QStringLiteral("5"));
    bool sawTenthsTimesThree = false, sawTime = false, saw1999 = false;
    while (sales->next()) {
        if (sales->number(owed) == 12345678.9) {
            QCOMPARE(sales->number(total), 0.1 * 3);
            QVERIFY(sales->number(total) != 0.3);
            sawTenthsTimesThree = true;
        }
        const QDateTime stamp = sales->dateTime(day);
        sawTime |= stamp == QDateTime(QDate(2015, 12, 31), QTime(14, 30, 5));
        saw1999 |= stamp == QDateTime(QDate(1999, 12, 31), QTime(0, 0));
    }
    QVERIFY(sawTenthsTimesThree && sawTime && saw1999);

    LegacyDatabase variant(legacyFixture(QStringLiteral("legacy-variant.mdb")));
    auto singles = variant.openTable(QStringLiteral("data"));
    const int price = singles->columnIndex(QStringLiteral("2"));
    bool sawSingle = false;
    while (singles->next())
        sawSingle |= singles->number(price) == double(42.4f) && singles->number(price) == 42.400001525878906;
    QVERIFY(sawSingle);
}

void LegacyDatabaseTest::nullAndEmptyTextBothReadEmpty()
{
    LegacyDatabase database(legacyFixture(QStringLiteral("legacy-small.mdb")));
    auto sales = database.openTable(QStringLiteral("data"));
    const int code = sales->columnIndex(QStringLiteral("c")), customer = sales->columnIndex(QStringLiteral("e")),
              remark = sales->columnIndex(QStringLiteral("z"));
    int nullCodes = 0, emptyCustomers = 0;
    while (sales->next()) {
        if (sales->isNull(code)) {
            ++nullCodes;
            QCOMPARE(sales->value(code), QVariant(QString()));
        }
        if (sales->text(customer).isEmpty())
            ++emptyCustomers;
        QCOMPARE(sales->value(remark).typeId(), QMetaType::QString);
    }
    QCOMPARE(nullCodes, 1);
    QCOMPARE(emptyCustomers, 10); // 9 stored empty and 1 null, from the expected rows
}

void LegacyDatabaseTest::damagedFilesNameTableAndRow_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<int>("cutAt");
    QTest::addColumn<QByteArray>("find");
    QTest::addColumn<QByteArray>("replaceBy");
    QTest::addColumn<QString>("message");
    const QByteArray nan = doubleBytes(std::numeric_limits<double>::quiet_NaN());
    QTest::newRow("cut at a page") << QStringLiteral("legacy-many.mdb") << 118 * 4096 << QByteArray() << QByteArray()
                                   << QStringLiteral("表 data 应有 1714 行，只读到 1628 行");
    QTest::newRow("cut in the catalogue") << QStringLiteral("legacy-many.mdb") << 20000 << QByteArray() << QByteArray()
                                          << QStringLiteral("已损坏或不完整");
    QTest::newRow("number not a number") << QStringLiteral("legacy-small.mdb") << -1 << doubleBytes(12345678.9) << nan
                                         << QStringLiteral("表 data 第 29 行的 5 列的数字无法读取");
    QTest::newRow("date out of range") << QStringLiteral("legacy-small.mdb") << -1
                                       << doubleBytes(42369.60422453703) << doubleBytes(1e300)
                                       << QStringLiteral("表 data 第 26 行的 day1 列的日期无法读取");
}

void LegacyDatabaseTest::damagedFilesNameTableAndRow()
{
    QFETCH(QString, file);
    QFETCH(int, cutAt);
    QFETCH(QByteArray, find);
    QFETCH(QByteArray, replaceBy);
    QFETCH(QString, message);
    TestWorkspace workspace(TestWorkspace::Database::None);
    QByteArray bytes = fileBytes(legacyFixture(file));
    if (cutAt >= 0)
        bytes.truncate(cutAt);
    if (!find.isEmpty()) {
        const qsizetype at = bytes.indexOf(find);
        QVERIFY2(at > 0 && bytes.indexOf(find, at + 1) < 0, "the value is stored once");
        bytes.replace(at, find.size(), replaceBy);
    }
    writeBytes(QStringLiteral("damaged.mdb"), bytes);
    const QString error = failure([] {
        for (const QString &table : {QStringLiteral("data"), QStringLiteral("userdb"), QStringLiteral("rz")})
            readAll(QStringLiteral("damaged.mdb"), table);
    });
    QVERIFY2(error.contains(message), qPrintable(error));
}

QTEST_GUILESS_MAIN(LegacyDatabaseTest)
#include "tst_legacydatabase.moc"
