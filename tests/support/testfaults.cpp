#include "testfaults.h"

#include "connection.h"

namespace TestFaults {

namespace {

QString literal(QString text)
{
    return QLatin1Char('\'') + text.replace(QLatin1Char('\''), QStringLiteral("''")) + QLatin1Char('\'');
}

// `condition` is said over the row as `new` or `old` in both engines' trigger words.
void refuse(Connection &connection, const QString &table, const QString &event, const QString &message,
            const QString &condition)
{
    if (connection.engine() == Connection::Engine::EmbeddedFile) {
        const QString when = condition.isEmpty() ? QString() : QStringLiteral("when %1 ").arg(condition);
        connection.execute(QStringLiteral("create trigger refuse_%1 before %1 on %2 %3begin select raise(abort, %4); end")
                               .arg(event, table, when, literal(message)));
        return;
    }
    connection.execute(QStringLiteral("create function refuse_%1() returns trigger language plpgsql as "
                                      "'begin if %2 then raise exception %3; end if; return new; end'")
                           .arg(event, QString(condition.isEmpty() ? QStringLiteral("true") : condition)
                                           .replace(QLatin1Char('\''), QStringLiteral("''")),
                                QString(literal(message)).replace(QLatin1Char('\''), QStringLiteral("''"))));
    connection.execute(QStringLiteral("create trigger refuse_%1 before %1 on %2 for each row execute function refuse_%1()")
                           .arg(event, table));
}

} // namespace

void refuseWrites(Connection &connection, const QString &table, const QString &event, const QString &message,
                  const QString &userName)
{
    refuse(connection, table, event, message,
           userName.isEmpty() ? QString() : QStringLiteral("new.username = %1").arg(literal(userName)));
}

void refuseWritesWhere(Connection &connection, const QString &table, const QString &event, const QString &message,
                       const QString &column, const QString &value)
{
    const QString row = event == QLatin1String("insert") ? QStringLiteral("new") : QStringLiteral("old");
    refuse(connection, table, event, message, QStringLiteral("%1.%2 = %3").arg(row, column, literal(value)));
}

} // namespace TestFaults
