#pragma once

#include <QByteArray>
#include <QString>
#include <memory>

class Connection;

// The file the application works on, and how a new one is laid out.
namespace Schema {

inline constexpr const char *kDatabaseFileName = "data.mdb";
// The data module's password for the encrypted file.
QByteArray databaseKey();

// Creates the three tables and their index in an empty database.
void createTables(Connection &connection);

// Opens an existing ledger: the one place that decides whether a file is one. A file
// that cannot be opened, an empty file, and a database without the three tables are
// all refused with DatabaseOpenError, and the file is left as it was. Whatever asks
// about a file of another kind must ask before this.
std::unique_ptr<Connection> openLedger(const QString &path);

} // namespace Schema
