#pragma once

#include <QStringList>

class DataSource;
class QTextStream;

// quillmora-admin import-legacy OLD.mdb: a new ledger from the Windows version's Access
// file, checked against it before it is kept: data.mdb in the working folder (given
// its name only then), or the empty database of a server (committed only then).
namespace ImportLegacyCommand {

inline constexpr const char *kName = "import-legacy";
inline constexpr const char *kUsage =
    "quillmora-admin [--database URI] import-legacy OLD.mdb   make the ledger from the Windows version's data file";

// The old file is read by a second process of this program (the worker command), so a
// file that makes the reading library crash or hang ends in "the file is damaged" and
// status 1, with no ledger made.
inline constexpr const char *kWorkerName = "import-legacy-worker";

// `arguments` are those after the command's name; `store` is where the new ledger goes.
// Returns the exit status.
int run(const QStringList &arguments, const DataSource &store, QTextStream &out, QTextStream &err);

// The worker's side: `arguments` are the old file and the starting process's id.
// Reports on standard output, one line each: "reading TABLE ROW", "line TEXT",
// "error TEXT" (texts percent-encoded), then "done" when the ledger is made.
int runWorker(const QStringList &arguments, const DataSource &store);

} // namespace ImportLegacyCommand
