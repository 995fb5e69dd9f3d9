#pragma once

#include <QStringList>

// "恢复数据" restarts the program with `--restore-backup PATH`: the new program waits
// until the old one has let go of the ledger, restores the backup before it opens
// anything, says how it went, and starts on the (restored, or on failure unchanged)
// ledger.
namespace RestoreAtStart {

inline constexpr const char *kOption = "--restore-backup";

// The arguments for the restarted program: these without argv[0] and any earlier
// restore request, with the request for `backupPath` first.
QStringList restartArguments(const QStringList &arguments, const QString &backupPath);
// The arguments without the restore request.
QStringList withoutRequest(const QStringList &arguments);

// Runs the restore the arguments ask for, if any. Returns false when they ask for one
// that failed (it has been reported; the ledger is as it was).
bool run(const QStringList &arguments, int waitMilliseconds = 30000);

// Starts the program again with the restore request, then ends this one.
void restart(const QString &backupPath);

} // namespace RestoreAtStart
