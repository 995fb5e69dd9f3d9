#pragma once

#include <QString>
#include <QStringList>

// Where a terminal's data store lives: the encrypted data.mdb in the working folder
// (a one-till shop, the default) or a database server that several terminals share.
class DataSource
{
public:
    enum class Engine { EmbeddedFile, Server };

    static DataSource embeddedFile(const QString &path);
    // A libpq connection address, e.g. postgresql://till1@shopserver/shop?sslmode=verify-full.
    // Raises DatabaseError for an address with a password in it or one that would reach
    // a server over a network without checking its certificate (ServerAddress::refusal).
    static DataSource server(const QString &uri);

    // The choice of the application and of quillmora-admin: `--database URI` among the
    // arguments, else database.conf in the working folder ([database], url=...), else
    // data.mdb in the working folder. Raises DatabaseError for a database.conf without
    // an address or with a password in it (passwords go to ~/.pgpass).
    static DataSource choose(const QStringList &arguments);
    // The arguments without `--database URI`.
    static QStringList withoutDatabaseOption(const QStringList &arguments);

    Engine engine() const { return m_engine; }
    bool isServer() const { return m_engine == Engine::Server; }
    // The file's path or the server's address.
    const QString &location() const { return m_location; }
    // The path, or the address with any password left out: fit for messages.
    QString displayName() const;
    // The folder the ledger's backups and settings belong to: the ledger file's
    // folder, or for a server the working folder, where its database.conf lies.
    QString dataFolder() const;

private:
    DataSource(Engine engine, const QString &location) : m_engine(engine), m_location(location) {}

    Engine m_engine;
    QString m_location;
};
