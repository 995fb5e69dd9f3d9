#include "datasource.h"

#include "apperror.h"
#include "inifile.h"
#include "schema.h"
#include "serveraddress.h"

#include <QDir>
#include <QFileInfo>
#include <QUrl>

namespace {

constexpr const char *kConfigFileName = "database.conf";

} // namespace

DataSource DataSource::embeddedFile(const QString &path)
{
    return DataSource(Engine::EmbeddedFile, path);
}

DataSource DataSource::server(const QString &uri)
{
    if (const QString refused = ServerAddress::refusal(uri); !refused.isEmpty())
        throw DatabaseError(refused);
    return DataSource(Engine::Server, uri);
}

DataSource DataSource::choose(const QStringList &arguments)
{
    const int option = int(arguments.indexOf(QStringLiteral("--database")));
    if (option >= 0) {
        if (option + 1 >= arguments.size() || arguments[option + 1].trimmed().isEmpty())
            throw DatabaseError(QStringLiteral("--database needs a connection address"));
        return server(arguments[option + 1].trimmed());
    }
    const QString config = QString::fromLatin1(kConfigFileName);
    if (QFileInfo::exists(config)) {
        const QString path = QFileInfo(config).absoluteFilePath();
        const auto url = IniFile::find(IniFile::readSection(config, QStringLiteral("database")), QStringLiteral("url"));
        if (!url || url->isEmpty())
            throw DatabaseError(QStringLiteral("%1 has no url= in its [database] section").arg(path));
        if (!ServerAddress::parameter(*url, "password").isEmpty())
            throw DatabaseError(
                QStringLiteral("%1 holds a password; keep it in ~/.pgpass (or the file PGPASSFILE names) instead").arg(path));
        return server(*url);
    }
    return embeddedFile(QString::fromLatin1(Schema::kDatabaseFileName));
}

QStringList DataSource::withoutDatabaseOption(const QStringList &arguments)
{
    QStringList rest = arguments;
    const int option = int(rest.indexOf(QStringLiteral("--database")));
    if (option >= 0)
        rest.remove(option, std::min<qsizetype>(2, rest.size() - option));
    return rest;
}

QString DataSource::dataFolder() const
{
    return isServer() ? QDir::currentPath() : QFileInfo(m_location).absolutePath();
}

QString DataSource::displayName() const
{
    if (m_engine == Engine::EmbeddedFile)
        return m_location;
    QString shown = m_location;
    try {
        const QString password = ServerAddress::parameter(m_location, "password");
        if (!password.isEmpty())
            shown.replace(password, QStringLiteral("***"));
        // The percent-encoded form of a password in a URI.
        const QString encoded = QString::fromLatin1(QUrl::toPercentEncoding(password));
        if (!password.isEmpty() && encoded != password)
            shown.replace(encoded, QStringLiteral("***"));
    } catch (const DatabaseError &) {
        // An address the client library cannot read names no password it would send;
        // it is shown as given, so the operator sees what is wrong with it.
    }
    return shown;
}
