#pragma once

#include <QProcess>
#include <QString>
#include <QTemporaryDir>

// Real servers for the transfer client's tests, listening on 127.0.0.1 only.

// The scripted HTTP server (scripted_http_server.py): exact answers per path.
class ScriptedHttpServer
{
public:
    ScriptedHttpServer();
    ~ScriptedHttpServer();
    ScriptedHttpServer(const ScriptedHttpServer &) = delete;
    ScriptedHttpServer &operator=(const ScriptedHttpServer &) = delete;

    // Empty when the server is up, else what went wrong.
    QString error() const { return m_error; }
    int port() const { return m_port; }
    QString url(const QString &path) const;

private:
    QProcess m_process;
    int m_port = 0;
    QString m_error;
};

// tinyproxy with its own configuration in a temporary folder, on a free port.
class LoopbackProxy
{
public:
    // With a user name, the proxy demands these credentials (407 otherwise).
    explicit LoopbackProxy(const QString &user = {}, const QString &password = {});
    ~LoopbackProxy();
    LoopbackProxy(const LoopbackProxy &) = delete;
    LoopbackProxy &operator=(const LoopbackProxy &) = delete;

    QString error() const { return m_error; }
    int port() const { return m_port; }

private:
    QTemporaryDir m_dir;
    QProcess m_process;
    int m_port = 0;
    QString m_error;
};

// A loopback port on which nothing listens (it was free a moment ago).
int unusedLoopbackPort();
