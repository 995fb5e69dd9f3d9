#include "apperror.h"
#include "serverdialect.h"

#include <QtTest>

// How statements written for the embedded engine are said to the server: each row is
// a statement the application (or a test) runs, and what the server is sent.
class ServerDialectTest : public QObject
{
    Q_OBJECT

private slots:
    void translates_data();
    void translates();
    void refusesWhatItCannotSay_data();
    void refusesWhatItCannotSay();
};

namespace {

std::optional<ServerDialect::TableShape> shapeOf(const QString &table)
{
    if (table == QLatin1String("data"))
        return ServerDialect::TableShape{{"a", "b", "4", "day1", "o"}, "rowid"};
    if (table == QLatin1String("userdb"))
        return ServerDialect::TableShape{{"username", "passwd"}, "rowid"};
    if (table == QLatin1String("rz"))
        return ServerDialect::TableShape{{"id", "username", "btime", "jtime"}, "id"};
    return std::nullopt;
}

} // namespace

void ServerDialectTest::translates_data()
{
    QTest::addColumn<QString>("sql");
    QTest::addColumn<QString>("server");
    QTest::addColumn<int>("parameters");
    QTest::addColumn<bool>("returnsKey");

    QTest::newRow("star hides the key, table order")
        << "select * from data" << R"(select "a", "b", "4", "day1", "o" from data order by "rowid")" << 0 << false;
    QTest::newRow("key and star, own order kept")
        << "select rowid, * from data where rowid in (?,?) order by rowid"
        << R"(select rowid, "a", "b", "4", "day1", "o" from data where rowid in ($1,$2) order by rowid)"
        << 2 << false;
    // The key is never null: no null placement, so the key index can be walked backwards.
    QTest::newRow("key order descending, paged")
        << "select rowid from data where rowid<=? order by rowid desc limit ? offset ?"
        << "select rowid from data where rowid<=$1 order by rowid desc limit $2 offset $3" << 3 << false;
    QTest::newRow("key after another term")
        << "select b from data order by b desc, rowid" << "select b from data order by b desc nulls last, rowid" << 0
        << false;
    QTest::newRow("reading the key, no order added")
        << R"(select rowid, "4" from data where o='1')" << R"(select rowid, "4" from data where o='1')" << 0 << false;
    QTest::newRow("star inside count untouched")
        << "select count(*) from data where day1>=? and day1<=?" << "select count(*) from data where day1>=$1 and day1<=$2"
        << 2 << false;
    QTest::newRow("question mark in text is text")
        << "select b from data where b='?' and a=?" << R"(select b from data where b='?' and a=$1 order by "rowid")" << 1
        << false;
    QTest::newRow("like folds ASCII only")
        << "select * from data where o='1' and a like ?"
        << R"(select "a", "b", "4", "day1", "o" from data where o='1' and a ilike $1::text collate "C" order by "rowid")"
        << 1 << false;
    QTest::newRow("unary plus dropped")
        << "select * from data where o='1' and +day1>=? and +day1<=?"
        << R"(select "a", "b", "4", "day1", "o" from data where o='1' and day1>=$1 and day1<=$2 order by "rowid")" << 2
        << false;
    QTest::newRow("binary plus kept") << R"(select "4"+1 from data where rowid=?)"
                                      << R"(select "4"+1 from data where rowid=$1 order by "rowid")" << 1 << false;
    QTest::newRow("nocase equality")
        << "select username, passwd from userdb where username = ? collate nocase"
        << R"(select username, passwd from userdb where lower((username)::text collate "C") = lower(($1)::text collate "C") order by "rowid")"
        << 1 << false;
    QTest::newRow("date parts and nulls first")
        << R"(select month(day1) as 月份, sum("4") as 总量 from data where day1 between ? and ? group by month(day1) order by month(day1))"
        << R"(select cast(extract(month from day1) as integer) as 月份, sum("4") as 总量 from data where day1 between $1 and $2 group by cast(extract(month from day1) as integer) order by cast(extract(month from day1) as integer) nulls first)"
        << 2 << false;
    QTest::newRow("descending puts nulls last")
        << "select a from data group by a order by a desc, b"
        << "select a from data group by a order by a desc nulls last, b nulls first" << 0 << false;
    QTest::newRow("insert returns the key")
        << "insert into userdb values (?, ?)" << R"(insert into userdb values ($1, $2) returning "rowid")" << 2 << true;
    QTest::newRow("key of a table with a visible key")
        << "update rz set jtime=? where rowid=?" << R"(update rz set jtime=$1 where "id"=$2)" << 2 << false;
    QTest::newRow("insert into rz returns its id")
        << "insert into rz (username, btime) values (?, ?)"
        << R"(insert into rz (username, btime) values ($1, $2) returning "id")" << 2 << true;
    QTest::newRow("unknown table left alone") << "select * from gone" << "select * from gone" << 0 << false;
    QTest::newRow("aggregate without order") << R"(select count(*), sum("4") from data)"
                                             << R"(select count(*), sum("4") from data)" << 0 << false;
    QTest::newRow("trailing semicolon") << "delete from data where b=?;" << "delete from data where b=$1" << 1 << false;
}

void ServerDialectTest::translates()
{
    QFETCH(QString, sql);
    QFETCH(QString, server);
    QFETCH(int, parameters);
    QFETCH(bool, returnsKey);
    const ServerDialect::Translation translation = ServerDialect::translate(sql, shapeOf);
    QCOMPARE(QString::fromUtf8(translation.text), server);
    QCOMPARE(translation.parameters, parameters);
    QCOMPARE(translation.returnsKey, returnsKey);
}

void ServerDialectTest::refusesWhatItCannotSay_data()
{
    QTest::addColumn<QString>("sql");
    QTest::newRow("nocase on an expression") << "select * from userdb where lower(username) collate nocase";
    QTest::newRow("open quote") << "select * from data where b='x";
    QTest::newRow("open date part") << "select month(day1 from data";
}

void ServerDialectTest::refusesWhatItCannotSay()
{
    QFETCH(QString, sql);
    QVERIFY_THROWS_EXCEPTION(DatabaseError, ServerDialect::translate(sql, shapeOf));
}

QTEST_MAIN(ServerDialectTest)
#include "tst_serverdialect.moc"
