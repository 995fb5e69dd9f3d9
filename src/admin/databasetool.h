#pragma once

#include <QString>

class Connection;

// What quillmora-admin does, usable from tests and benchmarks without a process.
namespace DatabaseTool {

inline constexpr const char *kSuperAdministrator = "超级管理员";
inline constexpr const char *kDefaultPassword = "947";

// Creates a new database file with the three tables and the super administrator.
// Refuses (AppError) when the file exists already.
void createDatabase(const QString &path);

// Appends `count` realistic sales in one transaction; `seed` makes runs repeatable.
void addDemoSales(Connection &connection, qint64 count, quint32 seed = 20140312);

} // namespace DatabaseTool
