#pragma once

#include <QString>

class Connection;

// Faults a test plants in the data store to see how a command reports a refused write,
// said in the engine's own words (a trigger on either engine).
namespace TestFaults {

// Makes every `event` ("insert" or "update") on `table` fail with `message`; with a
// user name, only rows of that user.
void refuseWrites(Connection &connection, const QString &table, const QString &event, const QString &message,
                  const QString &userName = {});

// The same for the rows whose text column `column` holds `value` (before the write on
// an update, as the row is found).
void refuseWritesWhere(Connection &connection, const QString &table, const QString &event, const QString &message,
                       const QString &column, const QString &value);

} // namespace TestFaults
