#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

class Connection;
class DataSource;

// The file the application works on, and how a new one is laid out.
namespace Schema {

inline constexpr const char *kDatabaseFileName = "data.mdb";
// The data module's password for the encrypted file.
QByteArray databaseKey();

// The ledger's tables, in alphabetical order.
const QStringList &tables();

// Creates the three tables and their index in an empty database.
void createTables(Connection &connection);

// The same inside a transaction the caller holds.
void addTables(Connection &connection);
// After rows were copied in with their ids: new session rows continue after them.
void continueKeys(Connection &connection);

} // namespace Schema
