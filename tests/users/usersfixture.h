#pragma once

#include "connection.h"
#include "datamodule.h"
#include "passwordhash.h"

#include <QHash>
#include <QList>
#include <QPair>
#include <QStringList>
#include <QVariant>

using UserRows = QList<QPair<QString, QString>>;
Q_DECLARE_METATYPE(UserRows)

namespace UsersFixture {

// A stored hash for the password. Hashing is slow by design; a hash made once serves
// every row and every test that stores the same password.
inline QString hashOf(const QString &password)
{
    static QHash<QString, QString> made;
    auto found = made.find(password);
    if (found == made.end())
        found = made.insert(password, PasswordHash::hash(password));
    return *found;
}

// Replaces every row of userdb with these users (name, password), in this order.
inline void setUsers(Tdmfm &data, const UserRows &users)
{
    Connection &connection = *data.ADOConnection1;
    connection.execute(QStringLiteral("delete from userdb"));
    for (const auto &[name, password] : users)
        connection.execute(QStringLiteral("insert into userdb values (?, ?)"), {name, hashOf(password)});
}

// Every session row as "id|username|btime|jtime", the times as stored.
inline QStringList sessionRows(Tdmfm &data)
{
    Statement rows = data.ADOConnection1->prepare(
        QStringLiteral("select id, username, cast(btime as text), cast(jtime as text) from rz order by id"));
    QStringList result;
    while (rows.step()) {
        QStringList fields;
        for (int column = 0; column < 4; ++column)
            fields << (rows.isNull(column) ? QStringLiteral("<null>") : rows.value(column).toString());
        result << fields.join(QLatin1Char('|'));
    }
    return result;
}

// The names in userdb in table order.
inline QStringList userNames(Tdmfm &data)
{
    Statement rows = data.ADOConnection1->prepare(QStringLiteral("select username from userdb"));
    QStringList names;
    while (rows.step())
        names << rows.value(0).toString();
    return names;
}

// True when exactly the stored password of the named user verifies.
inline bool passwordIs(Tdmfm &data, const QString &name, const QString &password)
{
    const QVariant stored =
        data.ADOConnection1->scalar(QStringLiteral("select passwd from userdb where username = ?"), {name});
    return stored.isValid() && PasswordHash::verify(stored.toString(), password);
}

} // namespace UsersFixture
