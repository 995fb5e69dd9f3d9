#include "privateserver.h"

#include <QFile>
#include <QProcess>

namespace {

QString script()
{
    return qEnvironmentVariable("QUILLMORA_SOURCE_DIR") + QStringLiteral("/tests/support/testserver.sh");
}

} // namespace

PrivateServer::PrivateServer()
{
    if (!run(QStringLiteral("start")))
        return;
    QFile url(m_state.filePath(QStringLiteral("url")));
    if (url.open(QIODevice::ReadOnly))
        m_address = QString::fromUtf8(url.readAll()).trimmed();
    else
        m_error = QStringLiteral("the server's address was not written");
}

PrivateServer::~PrivateServer()
{
    run(QStringLiteral("stop"));
}

bool PrivateServer::restart()
{
    return run(QStringLiteral("restart"));
}

bool PrivateServer::stop()
{
    return run(QStringLiteral("halt"));
}

bool PrivateServer::start()
{
    return run(QStringLiteral("resume"));
}

bool PrivateServer::run(const QString &action)
{
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(QStringLiteral("bash"), {script(), action, m_state.path()});
    if (!process.waitForFinished(120000)) {
        process.kill();
        process.waitForFinished();
        m_error = action + QStringLiteral(": did not finish");
        return false;
    }
    if (process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0) {
        m_error = action + QStringLiteral(": ") + QString::fromUtf8(process.readAll());
        return false;
    }
    return true;
}
