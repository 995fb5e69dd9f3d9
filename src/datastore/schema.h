#pragma once

#include <QByteArray>
#include <QString>

class Connection;

// The file the application works on, and how a new one is laid out.
namespace Schema {

inline constexpr const char *kDatabaseFileName = "data.mdb";
// The data module's password for the encrypted file.
QByteArray databaseKey();

// Creates the three tables and their index in an empty database.
void createTables(Connection &connection);

} // namespace Schema
