#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QProcess>
#include <QString>
#include <QTemporaryDir>

// The upgrade tests' web server (upgrade_server.py) on a free 127.0.0.1 port,
// serving the files of its own temporary folder; HTTPS with a certificate and key.
class UpgradeServer
{
public:
    explicit UpgradeServer(const QString &certificate = {}, const QString &key = {});
    ~UpgradeServer();
    UpgradeServer(const UpgradeServer &) = delete;
    UpgradeServer &operator=(const UpgradeServer &) = delete;

    bool isRunning() const { return m_port != 0; }
    int port() const { return m_port; }
    // "http://127.0.0.1:<port>/<path>", or https://
    QString url(const QString &path) const;
    // Puts a file into the served folder; a valid `modified` becomes its Last-Modified.
    void put(const QString &name, const QByteArray &bytes, const QDateTime &modified = {});
    QString folder() const { return m_root.path(); }

private:
    QTemporaryDir m_root;
    QProcess m_process;
    int m_port = 0;
    bool m_secure = false;
};
