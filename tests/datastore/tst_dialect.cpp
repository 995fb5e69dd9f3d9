#include "connection.h"
#include "dialect.h"
#include "fieldtype.h"
#include "sqlnames.h"
#include "testworkspace.h"

#include <QtTest>
#include <memory>

Q_DECLARE_METATYPE(FieldType)

// What the engines' dialects say, checked against the engine itself: a table made from
// a dialect's words must hold what the program stores there and give it back as the
// type it was declared for.
class DialectTest : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        m_workspace = std::make_unique<TestWorkspace>();
        m_connection = std::make_unique<Connection>(m_workspace->dataSource());
    }
    void cleanup()
    {
        m_connection.reset();
        m_workspace.reset();
    }

    void columnTypesGiveTheirValuesBack_data();
    void columnTypesGiveTheirValuesBack();
    void writtenTimesStayAsWritten();
    void ownKeysContinueAfterCopiedOnes();
    void indexExistsOnceMade_data();
    void indexExistsOnceMade();
    void nullSafeEqualsMatchesNullsAndValues_data();
    void nullSafeEqualsMatchesNullsAndValues();
    void statementTakesAsManyValuesAsAllowed();
    void distinctValuesEstimatedWhereStatisticsAreKept();
    void sessionsAndCatalogueAsTheEngineKeepsThem();

private:
    QString probeTable(const QStringList &columns)
    {
        const Dialect &dialect = m_connection->dialect();
        QStringList definitions = columns;
        if (!dialect.keyColumn().isEmpty())
            definitions << dialect.keyColumn();
        m_connection->execute(QStringLiteral("create table probe (%1)").arg(definitions.join(QStringLiteral(", "))));
        return QStringLiteral("probe");
    }

    std::unique_ptr<TestWorkspace> m_workspace;
    std::unique_ptr<Connection> m_connection;
};

void DialectTest::columnTypesGiveTheirValuesBack_data()
{
    QTest::addColumn<FieldType>("type");
    QTest::addColumn<QVariant>("value");
    QTest::newRow("text") << FieldType::Text << QVariant(QStringLiteral("运动鞋 O'Neil"));
    QTest::newRow("number") << FieldType::Number << QVariant(29.975);
    QTest::newRow("integer beyond 32 bits") << FieldType::Integer << QVariant(qint64(5000000000));
    QTest::newRow("date") << FieldType::Date << QVariant(QDate(2024, 3, 1));
    QTest::newRow("date and time") << FieldType::DateTime << QVariant(QDateTime(QDate(2024, 3, 2), QTime(15, 45, 30)));
}

void DialectTest::columnTypesGiveTheirValuesBack()
{
    QFETCH(FieldType, type);
    QFETCH(QVariant, value);
    probeTable({QStringLiteral("v ") + m_connection->dialect().columnType(type)});
    m_connection->execute(QStringLiteral("insert into probe (v) values (?)"), {value});
    m_connection->execute(QStringLiteral("insert into probe (v) values (?)"), {QVariant()});

    Statement rows = m_connection->prepare(QStringLiteral("select v from probe order by rowid"));
    QVERIFY(rows.step());
    QCOMPARE(rows.declaredType(0), type);
    QCOMPARE(rows.value(0), value);
    QVERIFY(rows.step());
    QVERIFY(rows.isNull(0));
    QVERIFY(!rows.step());
}

void DialectTest::writtenTimesStayAsWritten()
{
    probeTable({QStringLiteral("t ") + m_connection->dialect().writtenTimeType()});
    const QStringList written = {QStringLiteral("2024-03-01 08:30:00"), QStringLiteral("2024-03-01"), QString("")};
    for (const QString &text : written)
        m_connection->execute(QStringLiteral("insert into probe (t) values (?)"), {text});

    Statement rows = m_connection->prepare(QStringLiteral("select t from probe order by rowid"));
    QStringList read;
    while (rows.step()) {
        QVERIFY(!rows.isNull(0)); // an open session's empty log-out time is not a null
        read << rows.exactValue(0).toString();
    }
    QCOMPARE(read, written);
}

void DialectTest::ownKeysContinueAfterCopiedOnes()
{
    const Dialect &dialect = m_connection->dialect();
    m_connection->execute(QStringLiteral("create table keyed (%1, name %2)")
                              .arg(dialect.ownKeyColumn(QStringLiteral("id")), dialect.columnType(FieldType::Text)));
    m_connection->execute(QStringLiteral("insert into keyed (id, name) values (?, ?)"), {5, QStringLiteral("copied")});
    m_connection->execute(QStringLiteral("insert into keyed (id, name) values (?, ?)"), {7, QStringLiteral("copied")});
    dialect.continueKey(*m_connection, QStringLiteral("keyed"), QStringLiteral("id"));
    m_connection->execute(QStringLiteral("insert into keyed (name) values (?)"), {QStringLiteral("new")});

    QCOMPARE(m_connection->scalar(QStringLiteral("select id from keyed where name=?"), {QStringLiteral("new")}).toLongLong(),
             8);
}

void DialectTest::indexExistsOnceMade_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("condition");
    QTest::newRow("plain") << "probe_by_a" << "";
    QTest::newRow("partial") << "probe_owing" << "\"5\"<>0";
    QTest::newRow("capitals and a blank") << "Probe By A" << "";
}

void DialectTest::indexExistsOnceMade()
{
    QFETCH(QString, name);
    QFETCH(QString, condition);
    const Dialect &dialect = m_connection->dialect();
    probeTable({QStringLiteral("a ") + dialect.columnType(FieldType::Text),
                QStringLiteral("b ") + dialect.columnType(FieldType::Text),
                QStringLiteral("\"5\" ") + dialect.columnType(FieldType::Number)});
    m_connection->execute(QStringLiteral("insert into probe (a, b, \"5\") values (?, ?, ?)"), {"x", "y", 2.5});

    QVERIFY(!m_connection->hasIndex(name));
    const QString statement =
        dialect.coveringIndex(quotedName(name), QStringLiteral("probe"), {QStringLiteral("a")}, {QStringLiteral("b")}, condition);
    m_connection->execute(statement);
    QVERIFY(m_connection->hasIndex(name));
    QVERIFY(!m_connection->hasIndex(name + QStringLiteral("_other")));
    m_connection->execute(statement); // made once; asked again, nothing happens
    QCOMPARE(m_connection->scalar(QStringLiteral("select b from probe where a=? and \"5\"<>0"), {"x"}).toString(),
             QStringLiteral("y"));
}

void DialectTest::nullSafeEqualsMatchesNullsAndValues_data()
{
    QTest::addColumn<QVariant>("value");
    QTest::addColumn<QStringList>("matched");
    QTest::newRow("null") << QVariant() << QStringList{"null"};
    QTest::newRow("text") << QVariant(QStringLiteral("鞋")) << QStringList{"text"};
    QTest::newRow("none") << QVariant(QStringLiteral("帽")) << QStringList{};
}

void DialectTest::nullSafeEqualsMatchesNullsAndValues()
{
    QFETCH(QVariant, value);
    QFETCH(QStringList, matched);
    const Dialect &dialect = m_connection->dialect();
    probeTable({QStringLiteral("label ") + dialect.columnType(FieldType::Text),
                QStringLiteral("v ") + dialect.columnType(FieldType::Text)});
    m_connection->execute(QStringLiteral("insert into probe (label, v) values (?, ?)"), {"null", QVariant()});
    m_connection->execute(QStringLiteral("insert into probe (label, v) values (?, ?)"), {"text", QStringLiteral("鞋")});

    Statement rows = m_connection->prepare(
        QStringLiteral("select label from probe where v %1 ? order by label").arg(dialect.nullSafeEquals()));
    rows.bind({value});
    QStringList read;
    while (rows.step())
        read << rows.value(0).toString();
    QCOMPARE(read, matched);
}

void DialectTest::statementTakesAsManyValuesAsAllowed()
{
    const int values = m_connection->dialect().mostBoundValues();
    QVERIFY(values > 0);
    probeTable({QStringLiteral("v ") + m_connection->dialect().columnType(FieldType::Integer)});
    QVariantList numbers;
    for (int i = 0; i < values; ++i)
        numbers << i;
    m_connection->execute(QStringLiteral("insert into probe (v) values %1")
                              .arg(QStringList(values, QStringLiteral("(?)")).join(QLatin1Char(','))),
                          numbers);
    QCOMPARE(m_connection->scalar(QStringLiteral("select count(*) from probe")).toInt(), values);
}

void DialectTest::distinctValuesEstimatedWhereStatisticsAreKept()
{
    const Dialect &dialect = m_connection->dialect();
    probeTable({QStringLiteral("v ") + dialect.columnType(FieldType::Text)});
    QVariantList values;
    for (int i = 0; i < 300; ++i)
        values << QStringLiteral("v%1").arg(i % 3);
    m_connection->execute(QStringLiteral("insert into probe (v) values %1")
                              .arg(QStringList(values.size(), QStringLiteral("(?)")).join(QLatin1Char(','))),
                          values);
    m_connection->execute(QStringLiteral("analyze probe"));

    const std::optional<double> estimate = dialect.distinctValues(*m_connection, QStringLiteral("probe"), QStringLiteral("v"));
    if (!TestWorkspace::onServer()) {
        QVERIFY(!estimate); // no statistics of distinct values kept
        return;
    }
    QVERIFY(estimate);
    QCOMPARE(*estimate, 3.0);
    QVERIFY(!dialect.distinctValues(*m_connection, QStringLiteral("probe"), QStringLiteral("no_such_field")));
}

// The questions the ledger lock and the check of a file from outside ask: on the
// server, named sessions of this ledger and the session lock; on the file, the catalogue.
void DialectTest::sessionsAndCatalogueAsTheEngineKeepsThem()
{
    const Dialect &dialect = m_connection->dialect();
    const QString name = QStringLiteral("probe terminal");
    Connection other(m_workspace->dataSource());
    other.setSessionName(name);
    probeTable({QStringLiteral("v ") + dialect.columnType(FieldType::Integer)});
    if (!TestWorkspace::onServer()) {
        QVERIFY(!dialect.locksLedgerInSession());
        QCOMPARE(dialect.otherSessionsNamed(*m_connection, name), 0);
        QVERIFY(!dialect.secondsSinceStart(*m_connection));
        m_connection->execute(QStringLiteral("create trigger probe_t after insert on probe begin select 1; end"));
        m_connection->execute(QStringLiteral("create index probe_v on probe (v)"));
        m_connection->execute(QStringLiteral("insert into probe (v) values (1)"));
        m_connection->execute(QStringLiteral("analyze")); // makes the planner's sqlite_stat1
        QStringList listed;
        for (const Dialect::SchemaObject &object : dialect.schemaObjects(*m_connection))
            listed << object.type + QLatin1Char(' ') + object.name + QLatin1Char('/') + object.table;
        QVERIFY2(listed.contains(QStringLiteral("trigger probe_t/probe")), qPrintable(listed.join(u',')));
        QVERIFY2(listed.contains(QStringLiteral("table probe/probe")), qPrintable(listed.join(u',')));
        QVERIFY2(listed.contains(QStringLiteral("index probe_v/probe")), qPrintable(listed.join(u',')));
        QVERIFY2(!listed.join(u',').contains(QStringLiteral("sqlite_stat1")), qPrintable(listed.join(u',')));
        return;
    }
    QVERIFY(dialect.locksLedgerInSession());
    QCOMPARE(dialect.otherSessionsNamed(*m_connection, name), 1);
    QCOMPARE(dialect.otherSessionsNamed(other, name), 0); // itself is not counted
    QVERIFY(dialect.secondsSinceStart(*m_connection).value_or(-1) >= 0);
    QVERIFY(dialect.schemaObjects(*m_connection).empty());
    // The lock is the session's: a second session cannot take it exclusively while the
    // first holds it shared, and can once it is given back.
    auto taken = [&](Connection &connection, bool shared) {
        return connection.scalar(QStringLiteral("select case when %1 then 1 else 0 end")
                                     .arg(dialect.sessionLockCall(shared, true)))
                   .toInt()
               == 1;
    };
    QVERIFY(taken(*m_connection, true));
    QVERIFY(!taken(other, false));
    m_connection->scalar(QStringLiteral("select ") + dialect.sessionLockCall(true, false));
    QVERIFY(taken(other, false));
    other.scalar(QStringLiteral("select ") + dialect.sessionLockCall(false, false));
    QVERIFY(m_connection->scalar(dialect.tableStandsQuery(QStringLiteral("probe"))).isValid());
    QVERIFY(!m_connection->scalar(dialect.tableStandsQuery(QStringLiteral("no_such_table"))).isValid());
}

QTEST_MAIN(DialectTest)
#include "tst_dialect.moc"
