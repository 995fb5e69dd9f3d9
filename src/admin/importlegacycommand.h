#pragma once

#include <QStringList>

class QTextStream;

// quillmora-admin import-legacy OLD.mdb: a new data.mdb in the working folder from the
// Windows version's Access file, checked against it before it gets its name.
namespace ImportLegacyCommand {

inline constexpr const char *kName = "import-legacy";
inline constexpr const char *kUsage = "quillmora-admin import-legacy OLD.mdb   make data.mdb from the Windows version's data file";

// `arguments` are those after the command's name. Returns the exit status.
int run(const QStringList &arguments, QTextStream &out, QTextStream &err);

} // namespace ImportLegacyCommand
