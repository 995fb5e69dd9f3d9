#include "replacer.h"

#include <QDir>
#include <QDirIterator>
#include <QFileInfo>
#include <QProcess>
#include <QThread>

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <unistd.h>

namespace Replacer {

namespace {

const QString kSuffix = QStringLiteral(".uTMP");

bool isMethodDigit(QChar c)
{
    return c >= QLatin1Char('0') && c <= QLatin1Char('9');
}

// Where the restart text starts. The application passes it as the last parameter, so
// a "+" inside the executable's path does not cut the path; a command typed by hand
// falls back to the first "+".
qsizetype restartMarker(const QStringList &arguments, const QString &argumentText)
{
    if (arguments.size() >= 2 && arguments.last().startsWith(QLatin1Char('+')))
        return argumentText.size() - 1 - arguments.last().size();
    return argumentText.indexOf(QLatin1Char('+'));
}

bool runningAsProcess(const QString &path)
{
    const QString wanted = QFileInfo(path).canonicalFilePath();
    if (wanted.isEmpty())
        return false;
    QDirIterator processes(QStringLiteral("/proc"), QDir::Dirs | QDir::NoDotAndDotDot);
    while (processes.hasNext()) {
        const QString entry = processes.next();
        bool isPid = false;
        QFileInfo(entry).fileName().toLongLong(&isPid);
        if (!isPid)
            continue;
        const QString exe = QFileInfo(entry + QStringLiteral("/exe")).symLinkTarget();
        if (exe == wanted)
            return true;
    }
    return false;
}

} // namespace

Command parseArguments(const QStringList &arguments)
{
    Command command;
    command.argumentText = arguments.join(QLatin1Char(' ')) + QLatin1Char(' ');
    const QString &text = command.argumentText;
    const qsizetype plus = restartMarker(arguments, text);
    if (plus < 0) {
        command.runPath = text.trimmed();
    } else {
        command.runPath = text.left(plus).trimmed();
        // The method digit sits right before the final blank.
        QString rest = text.mid(plus + 1);
        rest.chop(1);
        if (!rest.isEmpty() && isMethodDigit(rest.back())) {
            command.setupMode = rest.back() == QLatin1Char('1');
            rest.chop(1);
        }
        command.restartParams = rest;
    }
    command.folder = command.runPath.left(command.runPath.lastIndexOf(QLatin1Char('/')) + 1);
    return command;
}

bool executableBusy(const QString &path)
{
    const QByteArray name = QFile::encodeName(path);
    const int fd = ::open(name.constData(), O_WRONLY | O_CLOEXEC);
    if (fd >= 0) {
        ::close(fd);
        return false;
    }
    if (errno == ETXTBSY)
        return true;
    return runningAsProcess(path);
}

void waitUntilFree(const QString &path, const std::function<void()> &pause)
{
    while (executableBusy(path)) {
        if (pause)
            pause();
    }
}

Installation installFiles(const QString &folder, bool setupMode, const QString &applicationPath)
{
    Installation result;
    const QDir dir(folder.isEmpty() ? QStringLiteral(".") : folder);
    const QString application = QFileInfo(applicationPath).absoluteFilePath();
    const QStringList found =
        dir.entryList({QStringLiteral("*") + kSuffix}, QDir::Files | QDir::Hidden | QDir::System, QDir::Unsorted);
    for (const QString &name : found) {
        if (!name.endsWith(kSuffix))
            continue; // the name filter ignores case
        const QString source = dir.filePath(name);
        const QString target = dir.filePath(name.left(name.size() - kSuffix.size()));
        const bool isApplication = QFileInfo(target).absoluteFilePath() == application;
        const bool setupProgram = setupMode && result.setupProgram.isEmpty() && !isApplication
                                  && target.endsWith(QStringLiteral("exe"));

        // Keep the permissions of the file being replaced (an executable stays
        // executable); a new file gets ordinary ones.
        QFileDevice::Permissions permissions = QFileInfo::exists(target)
            ? QFile::permissions(target)
            : QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadGroup | QFileDevice::ReadOther;
        permissions |= QFileDevice::ReadOwner | QFileDevice::WriteOwner;
        if (setupProgram)
            permissions |= QFileDevice::ExeOwner | QFileDevice::ExeGroup | QFileDevice::ExeOther;

        // rename() replaces the target in one step, so a file that cannot be moved
        // leaves the old one in place.
        if (std::rename(QFile::encodeName(source).constData(), QFile::encodeName(target).constData()) != 0) {
            result.failed << source;
            continue;
        }
        QFile::setPermissions(target, permissions);
        result.installed << target;
        if (setupProgram)
            result.setupProgram = target;
    }
    return result;
}

Launcher systemLauncher()
{
    Launcher launcher;
    launcher.startDetached = [](const QString &program, const QStringList &arguments) {
        return QProcess::startDetached(program, arguments);
    };
    launcher.runAndWait = [](const QString &program, const QStringList &arguments) {
        QProcess process;
        process.setProcessChannelMode(QProcess::ForwardedChannels);
        process.start(program, arguments);
        if (process.waitForStarted(-1))
            process.waitForFinished(-1);
    };
    launcher.pause = [] { QThread::msleep(100); };
    return launcher;
}

Installation run(const QStringList &arguments, const Launcher &launcher)
{
    const Command command = parseArguments(arguments);
    const QString application = command.runPath;
    if (QFileInfo::exists(application))
        waitUntilFree(application, launcher.pause);

    Installation installation = installFiles(command.folder, command.setupMode, application);
    const QStringList restart = QProcess::splitCommand(command.restartParams);
    if (!installation.setupProgram.isEmpty()) {
        // The setup program is started by us, so its end is known directly.
        launcher.runAndWait(installation.setupProgram, restart);
        QFile::remove(installation.setupProgram);
    }
    if (QFileInfo::exists(application))
        launcher.startDetached(application, restart);
    return installation;
}

} // namespace Replacer
