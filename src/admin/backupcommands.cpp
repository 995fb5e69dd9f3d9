#include "backupcommands.h"

#include "datasource.h"
#include "ledgerbackup.h"

#include <QDir>
#include <QFileInfo>
#include <QTextStream>
#include <csignal>

namespace {

// The embedded file's folder; a server's backups go beside its database.conf.
LedgerBackup backupsOf(const DataSource &store)
{
    return LedgerBackup(store, store.isServer() ? QDir::currentPath() : QFileInfo(store.location()).absolutePath());
}

} // namespace

namespace BackupCommands {

bool names(const QStringList &arguments)
{
    return arguments == QStringList{QStringLiteral("backup")} || arguments == QStringList{QStringLiteral("backups")}
           || (arguments.size() == 2 && arguments[0] == QLatin1String("restore"));
}

int run(const QStringList &arguments, const DataSource &store, QTextStream &out, QTextStream &err)
{
    const QString command = arguments.value(0);
    if (command == QLatin1String("backup") && arguments.size() == 1) {
        // Past a file size limit a write fails instead of ending the program, so the
        // backup reports and removes its partial file.
        std::signal(SIGXFSZ, SIG_IGN);
        LedgerBackup backups = backupsOf(store);
        try {
            const QString made = backups.backup();
            out << "backed up " << store.displayName() << " to " << made << "\n";
        } catch (const BackupError &error) {
            err << "quillmora-admin: " << error.message() << "\n";
            return 1;
        }
        return 0;
    }
    if (command == QLatin1String("backups") && arguments.size() == 1) {
        LedgerBackup backups = backupsOf(store);
        out << "backups in " << backups.folder() << " (copy this folder to another disk from time to time):\n";
        for (const BackupInfo &info : backups.list()) {
            out << info.time.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")) << '\t' << info.size << " bytes\t"
                << (info.sales < 0 ? QStringLiteral("unusable") : QStringLiteral("%1 sales").arg(info.sales)) << '\t'
                << info.fileName << "\n";
        }
        return 0;
    }
    if (command == QLatin1String("restore") && arguments.size() == 2) {
        std::signal(SIGXFSZ, SIG_IGN);
        LedgerBackup backups = backupsOf(store);
        try {
            const QString kept = backups.restore(arguments[1]);
            out << "restored " << store.displayName() << " from " << arguments[1] << "\n";
            if (!kept.isEmpty())
                out << "the replaced ledger is kept as " << kept << "\n";
        } catch (const BackupError &error) {
            err << "quillmora-admin: " << error.message() << "\n";
            return 1;
        }
        return 0;
    }
    return 2;
}

} // namespace BackupCommands
