#include "useraccounts.h"

#include "connection.h"
#include "dataset.h"
#include "mylib.h"
#include "passwordhash.h"

namespace {

// Runs a statement on the query's connection and tells how many rows it changed.
int executeCounted(Dataset &query, const QString &sql, const QVariantList &parameters)
{
    query.close();
    query.setSql(sql, parameters);
    return query.connection().execute(sql, parameters);
}

} // namespace

namespace UserAccounts {

QString superAdministrator()
{
    return QStringLiteral("超级管理员");
}

QString defaultPassword()
{
    return QStringLiteral("947");
}

bool credentialsMatch(Dataset &query, const QString &userName, const QString &password, NameMatch nameMatch)
{
    mylib::openSql(query,
                   nameMatch == NameMatch::Exact
                       ? QStringLiteral("select username, passwd from userdb where username = ?")
                       : QStringLiteral("select username, passwd from userdb where username = ? collate nocase"),
                   {userName});
    int matches = 0;
    for (query.first(); !query.isEof(); query.next()) {
        if (PasswordHash::verify(query.value(QStringLiteral("passwd")).toString(), password))
            ++matches;
    }
    return matches == 1;
}

bool nameTaken(Dataset &query, const QString &userName)
{
    mylib::openSql(query, QStringLiteral("select username from userdb where username = ? collate nocase"), {userName});
    return !query.isEmpty();
}

QStringList listInTableOrder(Dataset &query)
{
    mylib::openSql(query, QStringLiteral("select username from userdb"));
    QStringList names;
    for (query.first(); !query.isEof(); query.next())
        names << query.textValue(QStringLiteral("username"));
    return names;
}

void addUser(Dataset &query, const QString &userName)
{
    mylib::execSql(query, QStringLiteral("insert into userdb values (?, ?)"),
                   {userName, PasswordHash::hash(defaultPassword())});
}

int setPassword(Dataset &query, const QString &userName, const QString &password)
{
    return executeCounted(query, QStringLiteral("update userdb set passwd = ? where username = ?"),
                          {PasswordHash::hash(password), userName});
}

int deleteUser(Dataset &query, const QString &userName)
{
    return executeCounted(query, QStringLiteral("delete from userdb where username = ?"), {userName});
}

} // namespace UserAccounts
