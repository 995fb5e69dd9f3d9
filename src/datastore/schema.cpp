#include "schema.h"

#include "connection.h"

namespace Schema {

QByteArray databaseKey()
{
    return QByteArrayLiteral("kv3mrt.qzx");
}

void createTables(Connection &connection)
{
    connection.beginTransaction();
    try {
        // Dates are stored as "yyyy-MM-dd" texts, which compare in date order, so a
        // range ending on a record's date includes it.
        connection.execute(QStringLiteral(
            "create table data ("
            "a text, b text, c text, d text, "
            "\"1\" real, \"2\" real, \"3\" real, \"6\" real, \"4\" real, \"5\" real, "
            "e text, f text, h text, z text, day1 date, o text)"));
        // The profit rides along in the date index, so the charts' sums over a year
        // read the index alone instead of fetching scattered rows of the table.
        connection.execute(QStringLiteral("create index data_day1 on data (day1, \"4\")"));
        // Exactly two columns: users are inserted without a column list.
        connection.execute(QStringLiteral("create table userdb (username text, passwd text)"));
        connection.execute(QStringLiteral(
            "create table rz (id integer primary key autoincrement, username text, btime datetime, jtime datetime)"));
        connection.commit();
    } catch (...) {
        connection.rollback();
        throw;
    }
}

} // namespace Schema
