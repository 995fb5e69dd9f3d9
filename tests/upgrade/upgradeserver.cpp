#include "upgradeserver.h"

#include <QFile>
#include <QStandardPaths>

UpgradeServer::UpgradeServer(const QString &certificate, const QString &key)
    : m_secure(!certificate.isEmpty())
{
    const QString script =
        qEnvironmentVariable("QUILLMORA_SOURCE_DIR") + QStringLiteral("/tests/upgrade/upgrade_server.py");
    m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    QStringList arguments{script, m_root.path()};
    if (m_secure)
        arguments << certificate << key;
    m_process.start(QStandardPaths::findExecutable(QStringLiteral("python3")), arguments);
    if (!m_process.waitForStarted(10000))
        return;
    while (!m_process.canReadLine() && m_process.waitForReadyRead(10000)) {
    }
    m_port = m_process.readLine().trimmed().toInt();
}

UpgradeServer::~UpgradeServer()
{
    m_process.kill();
    m_process.waitForFinished(5000);
}

QString UpgradeServer::url(const QString &path) const
{
    return QStringLiteral("%1://127.0.0.1:%2/%3").arg(m_secure ? "https" : "http").arg(m_port).arg(path);
}

void UpgradeServer::put(const QString &name, const QByteArray &bytes, const QDateTime &modified)
{
    QFile file(m_root.filePath(name));
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        qFatal("cannot write %s", qPrintable(file.fileName()));
    file.write(bytes);
    file.flush();
    if (modified.isValid())
        file.setFileTime(modified, QFileDevice::FileModificationTime);
}
