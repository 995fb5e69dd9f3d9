#include "serveraddress.h"

#include "apperror.h"

#include <QStringList>
#include <QUrl>
#include <QUrlQuery>
#include <arpa/inet.h>
#include <libpq-fe.h>

#include <algorithm>
#include <map>
#include <string>

namespace ServerAddress {

namespace {

using Parameters = std::map<std::string, QString>;

Parameters parse(const QString &uri)
{
    char *error = nullptr;
    PQconninfoOption *options = PQconninfoParse(uri.toUtf8().constData(), &error);
    if (!options) {
        const QString message = error ? QString::fromUtf8(error).trimmed() : QStringLiteral("out of memory");
        PQfreemem(error);
        throw DatabaseError(message);
    }
    Parameters values;
    for (PQconninfoOption *option = options; option->keyword; ++option) {
        if (option->val)
            values[option->keyword] = QString::fromUtf8(option->val);
    }
    PQconninfoFree(options);
    return values;
}

// A parameter from the address, else from the variable the client library reads for it.
QString effective(const Parameters &given, const char *name, const QProcessEnvironment &environment,
                  const char *variable)
{
    const auto found = given.find(name);
    if (found != given.end() && !found->second.isEmpty())
        return found->second;
    return environment.value(QString::fromLatin1(variable));
}

bool isLoopback(const QString &host)
{
    if (host.compare(QLatin1String("localhost"), Qt::CaseInsensitive) == 0)
        return true;
    const QByteArray text = host.toLatin1();
    unsigned char bytes[16];
    if (inet_pton(AF_INET, text.constData(), bytes) == 1)
        return bytes[0] == 127;
    if (inet_pton(AF_INET6, text.constData(), bytes) != 1)
        return false;
    static constexpr unsigned char kLoopback[16] = {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1};
    static constexpr unsigned char kMappedV4[12] = {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0xff, 0xff};
    return std::equal(bytes, bytes + 16, kLoopback) || (std::equal(bytes, bytes + 12, kMappedV4) && bytes[12] == 127);
}

// A host entry that is a Unix socket's folder (or an abstract socket's name) or this
// machine itself: nothing on the way can read it.
bool staysOnThisMachine(const QString &host, const QString &hostAddress)
{
    if (!hostAddress.isEmpty())
        return isLoopback(hostAddress);
    return host.isEmpty() || host.startsWith(QLatin1Char('/')) || host.startsWith(QLatin1Char('@')) || isLoopback(host);
}

// The address as it should be written: the same with sslmode=verify-full.
QString withVerifiedTls(const QString &uri)
{
    const bool isUri = uri.startsWith(QLatin1String("postgresql://")) || uri.startsWith(QLatin1String("postgres://"));
    if (!isUri) {
        QStringList words = uri.split(QLatin1Char(' '), Qt::SkipEmptyParts);
        words.removeIf([](const QString &word) { return word.startsWith(QLatin1String("sslmode=")); });
        words << QStringLiteral("sslmode=verify-full");
        return words.join(QLatin1Char(' '));
    }
    QUrl url(uri);
    QUrlQuery query(url);
    query.removeAllQueryItems(QStringLiteral("sslmode"));
    query.addQueryItem(QStringLiteral("sslmode"), QStringLiteral("verify-full"));
    url.setQuery(query);
    return url.toString();
}

} // namespace

QString parameter(const QString &uri, const char *name)
{
    const Parameters values = parse(uri);
    const auto found = values.find(name);
    return found == values.end() ? QString() : found->second;
}

QString refusal(const QString &uri, const QProcessEnvironment &environment)
{
    const Parameters given = parse(uri);
    const auto password = given.find("password");
    if (password != given.end() && !password->second.isEmpty())
        return QStringLiteral("数据库地址中含有密码，它会出现在备份工具的命令行上，本机的每个账户都能看到。"
                              "请从地址中删去密码，把它写进 ~/.pgpass（或环境变量 PGPASSFILE 所指的文件），"
                              "例如：服务器:5432:数据库:登录名:密码");

    const QStringList hosts = effective(given, "host", environment, "PGHOST").split(QLatin1Char(','));
    const QStringList addresses = effective(given, "hostaddr", environment, "PGHOSTADDR").split(QLatin1Char(','));
    // A service file may name any host, which this check cannot see: such an address is
    // taken as one that goes over a network.
    const bool service = !effective(given, "service", environment, "PGSERVICE").isEmpty();
    bool local = !service || given.count("host") || given.count("hostaddr");
    for (qsizetype i = 0; local && i < std::max(hosts.size(), addresses.size()); ++i)
        local = staysOnThisMachine(hosts.value(i).trimmed(), addresses.value(i).trimmed());
    if (local)
        return {};

    const QString mode = effective(given, "sslmode", environment, "PGSSLMODE");
    if (mode == QLatin1String("verify-full") || mode == QLatin1String("verify-ca"))
        return {};
    const QString shown = hosts.join(QLatin1Char(','));
    return QStringLiteral("数据库服务器 %1 经网络连接，必须用 TLS 并校验服务器的证书%2。"
                          "请在地址中写上 sslmode=verify-full（或 sslmode=verify-ca），例如：\n%3")
        .arg(shown.isEmpty() ? QStringLiteral("（服务文件所指）") : shown,
             mode.isEmpty() ? QString() : QStringLiteral("（现为 sslmode=%1）").arg(mode), withVerifiedTls(uri));
}

} // namespace ServerAddress
