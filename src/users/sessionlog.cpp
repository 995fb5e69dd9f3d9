#include "sessionlog.h"

#include "clock.h"
#include "connection.h"
#include "datetext.h"
#include "dataset.h"
#include "mylib.h"

namespace SessionLog {

qint64 logIn(Dataset &query, const QString &userName)
{
    mylib::execSql(query, QStringLiteral("insert into rz (username, btime) values (?, ?)"),
                   {userName, DateText::dateTime(Clock::now())});
    // The id of the row this login inserted, not the largest id, which another copy
    // of the application may have written in the meantime.
    return query.connection().lastInsertRowId();
}

void logOut(Dataset &query, qint64 sessionId)
{
    if (sessionId == 0)
        return;
    mylib::execSql(query, QStringLiteral("update rz set jtime=? where id=?"),
                   {DateText::dateTime(Clock::now()), sessionId});
}

} // namespace SessionLog
