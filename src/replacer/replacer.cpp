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
    struct Step
    {
        QString source;
        QString target;
        QString backup; // a second name of the old file while the new one moves in
        QFileDevice::Permissions permissions;
        bool setupProgram = false;
        bool moved = false;
    };

    Installation result;
    const QDir dir(folder.isEmpty() ? QStringLiteral(".") : folder);
    const QString application = QFileInfo(applicationPath).absoluteFilePath();
    const QStringList found =
        dir.entryList({QStringLiteral("*") + kSuffix}, QDir::Files | QDir::Hidden | QDir::System, QDir::Unsorted);
    QList<Step> steps;
    bool setupChosen = false;
    for (const QString &name : found) {
        if (!name.endsWith(kSuffix))
            continue; // the name filter ignores case
        Step step;
        step.source = dir.filePath(name);
        step.target = dir.filePath(name.left(name.size() - kSuffix.size()));
        const bool isApplication = QFileInfo(step.target).absoluteFilePath() == application;
        step.setupProgram = setupMode && !setupChosen && !isApplication && step.target.endsWith(QStringLiteral("exe"));
        setupChosen = setupChosen || step.setupProgram;
        // Keep the permissions of the file being replaced (an executable stays
        // executable); a new file gets ordinary ones.
        step.permissions = QFileInfo::exists(step.target)
            ? QFile::permissions(step.target)
            : QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadGroup | QFileDevice::ReadOther;
        step.permissions |= QFileDevice::ReadOwner | QFileDevice::WriteOwner;
        if (step.setupProgram)
            step.permissions |= QFileDevice::ExeOwner | QFileDevice::ExeGroup | QFileDevice::ExeOther;
        steps << step;
    }

    // All files or none: every old file keeps a second name until all new ones are in
    // place, and a file that cannot be moved puts the old ones back.
    auto encoded = [](const QString &path) { return QFile::encodeName(path); };
    auto undo = [&] {
        for (Step &step : steps) {
            if (step.moved) {
                if (step.backup.isEmpty())
                    ::unlink(encoded(step.target).constData());
                else
                    std::rename(encoded(step.backup).constData(), encoded(step.target).constData());
            } else if (!step.backup.isEmpty()) {
                ::unlink(encoded(step.backup).constData());
            }
            // What could not be installed is not left for a later run either.
            ::unlink(encoded(step.source).constData());
            result.failed << step.source;
        }
        result.installed.clear();
        result.setupProgram.clear();
    };
    for (Step &step : steps) {
        if (!QFileInfo(step.target).exists() && !QFileInfo(step.target).isSymLink())
            continue;
        const QString backup = step.target + QStringLiteral(".uOLD");
        ::unlink(encoded(backup).constData());
        if (::link(encoded(step.target).constData(), encoded(backup).constData()) != 0
            && !QFile::copy(step.target, backup)) {
            undo();
            return result;
        }
        step.backup = backup;
    }
    for (Step &step : steps) {
        // rename() replaces the target in one step.
        if (std::rename(encoded(step.source).constData(), encoded(step.target).constData()) != 0) {
            undo();
            return result;
        }
        step.moved = true;
        QFile::setPermissions(step.target, step.permissions);
        result.installed << step.target;
        if (step.setupProgram)
            result.setupProgram = step.target;
    }
    for (const Step &step : std::as_const(steps)) {
        if (!step.backup.isEmpty())
            ::unlink(encoded(step.backup).constData());
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
