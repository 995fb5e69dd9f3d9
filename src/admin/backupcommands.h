#pragma once

#include <QStringList>

class DataSource;
class QTextStream;

// quillmora-admin's backup commands: `backup`, `backups` and `restore FILE`, on the
// ledger the other commands work on. Each returns the exit status.
namespace BackupCommands {

inline constexpr const char *kUsage =
    "quillmora-admin [--database URI] backup      back the ledger up now into backups/\n"
    "       quillmora-admin [--database URI] backups     list the backups: date, size, sales\n"
    "       quillmora-admin [--database URI] restore FILE\n"
    "                                           replace the ledger with a backup (a name in backups/ or a path)\n"
    "       quillmora-admin set-key [--key-file FILE]\n"
    "                                           encrypt data.mdb and its backups with a key of the shop's own\n"
    "                                           (typed twice, or read from FILE); kept in ~/.config/quillmora\n"
    "       quillmora-admin show-key    print the shop's key to write down and keep safe";

// True when `arguments` (without --database) are one of these commands.
bool names(const QStringList &arguments);
// Runs it and returns the exit status.
int run(const QStringList &arguments, const DataSource &store, QTextStream &out, QTextStream &err);

} // namespace BackupCommands
