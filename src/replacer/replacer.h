#pragma once

#include <QString>
#include <QStringList>
#include <functional>

// The file replacement program's work, kept apart from its main() so it can be run
// and tested in-process. The application starts the program as
//   Replacer <executable path> +<restart parameters><method digit>
// once it is closing; the program waits until the executable is no longer running,
// moves every "<name>.uTMP" of the executable's folder over "<name>" and starts the
// application again.
namespace Replacer {

struct Command
{
    QString argumentText;   // all parameters joined by single blanks, one blank after the last
    bool setupMode = false; // the method digit is 1: run the downloaded setup program first
    QString runPath;        // the application's executable
    QString restartParams;  // handed to the restarted application
    QString folder;         // the run path's folder, with its trailing "/"
};

Command parseArguments(const QStringList &arguments);

// True while the executable at `path` is running: opening a running binary for
// writing fails with ETXTBSY. When the file cannot be opened for another reason
// (no write permission), the running processes are looked up instead.
bool executableBusy(const QString &path);
// Waits without a time limit until `path` is not busy; `pause` runs between tries.
void waitUntilFree(const QString &path, const std::function<void()> &pause);

struct Installation
{
    QStringList installed;  // target paths, in the order the files were moved
    QStringList failed;     // temporary files of an installation that could not be completed (deleted)
    QString setupProgram;   // setup mode: the installed setup program, else empty
};

// Moves each "*.uTMP" of `folder` over its target, all of them or none: when one
// cannot be moved, the files already replaced get their old content back and every
// "*.uTMP" is deleted (all are listed in `failed`). In setup mode the first target
// whose name ends in lower-case "exe" and is not the application itself becomes the
// setup program.
Installation installFiles(const QString &folder, bool setupMode, const QString &applicationPath);

// Starting programs; tests replace them to record the calls.
struct Launcher
{
    // Starts a program and returns at once.
    std::function<bool(const QString &program, const QStringList &arguments)> startDetached;
    // Runs a program and returns when it has ended.
    std::function<void(const QString &program, const QStringList &arguments)> runAndWait;
    std::function<void()> pause;
};

Launcher systemLauncher();

// The whole run for a non-empty parameter list.
Installation run(const QStringList &arguments, const Launcher &launcher);

} // namespace Replacer
