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

// `arguments` are those after the command's name; `store` is where the new ledger goes.
// Returns the exit status.
int run(const QStringList &arguments, const DataSource &store, QTextStream &out, QTextStream &err);

} // namespace ImportLegacyCommand
