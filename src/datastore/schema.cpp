#include "schema.h"

#include "connection.h"
#include "openerror.h"

#include <QFileInfo>

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

std::unique_ptr<Connection> openLedger(const QString &path)
{
    auto connection = std::make_unique<Connection>(path, databaseKey());
    // Without this an empty file opens as a new, empty database and start-up stumbles
    // later over "no such table" with a half-built main window.
    for (const char *table : {"data", "userdb", "rz"}) {
        try {
            connection->prepare(QStringLiteral("select * from %1 limit 0").arg(QLatin1String(table)));
        } catch (const DatabaseError &error) {
            throw DatabaseOpenError(DatabaseOpenError::Reason::UnrecognizedFormat,
                                    QFileInfo(path).absoluteFilePath(), error.message());
        }
    }
    return connection;
}

} // namespace Schema
