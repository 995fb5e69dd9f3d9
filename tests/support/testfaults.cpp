#include "testfaults.h"

#include "connection.h"

namespace TestFaults {

void refuseWrites(Connection &connection, const QString &table, const QString &event, const QString &message,
                  const QString &userName)
{
    auto literal = [](QString text) { return QLatin1Char('\'') + text.replace(QLatin1Char('\''), QStringLiteral("''")) + QLatin1Char('\''); };
    if (connection.engine() == Connection::Engine::EmbeddedFile) {
        const QString when = userName.isEmpty() ? QString() : QStringLiteral("when new.username = %1 ").arg(literal(userName));
        connection.execute(QStringLiteral("create trigger refuse_%1 before %1 on %2 %3begin select raise(abort, %4); end")
                               .arg(event, table, when, literal(message)));
        return;
    }
    const QString condition = userName.isEmpty() ? QStringLiteral("true") : QStringLiteral("new.username = %1").arg(literal(userName));
    connection.execute(QStringLiteral("create function refuse_%1() returns trigger language plpgsql as "
                                      "'begin if %2 then raise exception %3; end if; return new; end'")
                           .arg(event, QString(condition).replace(QLatin1Char('\''), QStringLiteral("''")),
                                QString(literal(message)).replace(QLatin1Char('\''), QStringLiteral("''"))));
    connection.execute(QStringLiteral("create trigger refuse_%1 before %1 on %2 for each row execute function refuse_%1()")
                           .arg(event, table));
}

} // namespace TestFaults
