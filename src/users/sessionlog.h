#pragma once

#include <QString>

class Dataset;

// The session log in table rz: one row per login, with login and logout times.
namespace SessionLog {

// Writes the session row and returns its own id.
qint64 logIn(Dataset &query, const QString &userName);
// Writes the logout time into the session's row; nothing when no session is open.
void logOut(Dataset &query, qint64 sessionId);

} // namespace SessionLog
