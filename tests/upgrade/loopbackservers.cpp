#include "loopbackservers.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QStandardPaths>
#include <QThread>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

QString python()
{
    // Debian's interpreter first: the script needs only the standard library.
    if (QFile::exists(QStringLiteral("/usr/bin/python3")))
        return QStringLiteral("/usr/bin/python3");
    return QStandardPaths::findExecutable(QStringLiteral("python3"));
}

sockaddr_in loopback(int port)
{
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return address;
}

bool accepts(int port)
{
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    const sockaddr_in address = loopback(port);
    const bool connected = ::connect(fd, reinterpret_cast<const sockaddr *>(&address), sizeof address) == 0;
    close(fd);
    return connected;
}

void stop(QProcess &process)
{
    if (process.state() == QProcess::NotRunning)
        return;
    process.terminate();
    if (!process.waitForFinished(5000)) {
        process.kill();
        process.waitForFinished(5000);
    }
}

} // namespace

int unusedLoopbackPort()
{
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address = loopback(0);
    socklen_t size = sizeof address;
    int port = 0;
    if (bind(fd, reinterpret_cast<sockaddr *>(&address), size) == 0
        && getsockname(fd, reinterpret_cast<sockaddr *>(&address), &size) == 0)
        port = ntohs(address.sin_port);
    close(fd);
    return port;
}

ScriptedHttpServer::ScriptedHttpServer()
{
    const QString script = qEnvironmentVariable("QUILLMORA_SOURCE_DIR") + QStringLiteral("/tests/upgrade/scripted_http_server.py");
    m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    m_process.start(python(), {QStringLiteral("-u"), script});
    if (!m_process.waitForStarted(20000)) {
        m_error = QStringLiteral("cannot start %1: %2").arg(script, m_process.errorString());
        return;
    }
    QDeadlineTimer deadline(30000);
    while (!m_process.canReadLine() && !deadline.hasExpired() && m_process.state() == QProcess::Running)
        m_process.waitForReadyRead(500);
    bool ok = false;
    m_port = m_process.readLine().trimmed().toInt(&ok);
    if (!ok || m_port <= 0)
        m_error = QStringLiteral("the scripted server did not report its port");
}

ScriptedHttpServer::~ScriptedHttpServer()
{
    stop(m_process);
}

QString ScriptedHttpServer::url(const QString &path) const
{
    return QStringLiteral("http://127.0.0.1:%1%2").arg(m_port).arg(path);
}

LoopbackProxy::LoopbackProxy(const QString &user, const QString &password)
{
    const QString program = QStandardPaths::findExecutable(QStringLiteral("tinyproxy"), {QStringLiteral("/usr/bin"), QStringLiteral("/usr/sbin")});
    if (program.isEmpty()) {
        m_error = QStringLiteral("tinyproxy is not installed (scripts/setup installs it)");
        return;
    }
    m_port = unusedLoopbackPort();
    QFile config(m_dir.filePath(QStringLiteral("tinyproxy.conf")));
    if (!config.open(QIODevice::WriteOnly)) {
        m_error = QStringLiteral("cannot write the proxy configuration");
        return;
    }
    QByteArray text = "Port " + QByteArray::number(m_port) + "\n"
        "Listen 127.0.0.1\n"
        "Timeout 60\n"
        "MaxClients 20\n"
        "Allow 127.0.0.1\n"
        "LogLevel Error\n"
        "LogFile \"" + m_dir.filePath(QStringLiteral("tinyproxy.log")).toUtf8() + "\"\n"
        "PidFile \"" + m_dir.filePath(QStringLiteral("tinyproxy.pid")).toUtf8() + "\"\n";
    if (!user.isEmpty())
        text += "BasicAuth " + user.toUtf8() + " " + password.toUtf8() + "\n";
    config.write(text);
    config.close();

    m_process.setProcessChannelMode(QProcess::ForwardedChannels);
    m_process.start(program, {QStringLiteral("-d"), QStringLiteral("-c"), config.fileName()});
    if (!m_process.waitForStarted(20000)) {
        m_error = QStringLiteral("cannot start tinyproxy: %1").arg(m_process.errorString());
        return;
    }
    QDeadlineTimer deadline(30000);
    while (!accepts(m_port)) {
        if (deadline.hasExpired() || m_process.state() != QProcess::Running) {
            m_error = QStringLiteral("tinyproxy did not start listening on port %1").arg(m_port);
            return;
        }
        QThread::msleep(50);
    }
}

LoopbackProxy::~LoopbackProxy()
{
    stop(m_process);
}
