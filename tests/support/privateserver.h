#pragma once

#include <QString>
#include <QTemporaryDir>

// A database server of one test's own, for what must not happen to the server the
// other tests share: restarts and outages. Started by the same script as the shared
// one (a Unix socket in a temporary folder, no TCP port); stopped and removed when
// the object goes.
class PrivateServer
{
public:
    PrivateServer();
    ~PrivateServer();
    PrivateServer(const PrivateServer &) = delete;
    PrivateServer &operator=(const PrivateServer &) = delete;

    // Empty when the server could not be started (see error()).
    const QString &address() const { return m_address; }
    const QString &error() const { return m_error; }

    // The server's own control program: each returns whether it succeeded, and waits
    // until the server is up (or down).
    bool restart();
    bool stop();
    bool start();

private:
    bool run(const QString &action);

    QTemporaryDir m_state;
    QString m_address;
    QString m_error;
};
