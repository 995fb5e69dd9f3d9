#pragma once

#include <QString>

class Connection;
class DataSource;

// What quillmora-admin does, usable from tests and benchmarks without a process.
namespace DatabaseTool {

inline constexpr const char *kSuperAdministrator = "超级管理员";
inline constexpr const char *kDefaultPassword = "947";

// Creates a new database file with the three tables and the super administrator.
// Refuses (AppError) when the file exists already.
void createDatabase(const QString &path);

// The same for any data store: a new file, or a server database that holds none of
// the three tables (refused with AppError when it holds any).
void initialize(const DataSource &source);

// Moves a whole ledger: creates the tables in `to` and copies every sale, user and
// session row with exact values (session ids kept), and the recycle bin and history of
// changes with their links to the sales, all in one transaction of `to`.
// Refuses a target that holds any of the tables, and a source that lacks one.
void copyLedger(Connection &from, Connection &to);

// Appends `count` realistic sales in one transaction; `seed` makes runs repeatable.
void addDemoSales(Connection &connection, qint64 count, quint32 seed = 20140312);

} // namespace DatabaseTool
