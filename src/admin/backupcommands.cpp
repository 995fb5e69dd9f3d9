#include "backupcommands.h"

#include "datasource.h"
#include "ledgerbackup.h"
#include "ledgerkey.h"

#include <termios.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTextStream>
#include <csignal>

namespace {

// The embedded file's folder; a server's backups go beside its database.conf.
std::unique_ptr<LedgerBackup> backupsOf(const DataSource &store)
{
    return LedgerBackup::forSource(store, store.dataFolder());
}

// A line of standard input, not echoed when it is a terminal.
QByteArray readSecretLine(QTextStream &err, const char *prompt)
{
    err << prompt << Qt::flush;
    termios saved{};
    const bool terminal = ::isatty(STDIN_FILENO) && ::tcgetattr(STDIN_FILENO, &saved) == 0;
    if (terminal) {
        termios quiet = saved;
        quiet.c_lflag &= ~tcflag_t(ECHO);
        ::tcsetattr(STDIN_FILENO, TCSANOW, &quiet);
    }
    QByteArray line;
    char c = 0;
    while (::read(STDIN_FILENO, &c, 1) == 1 && c != '\n')
        line += c;
    if (terminal) {
        ::tcsetattr(STDIN_FILENO, TCSANOW, &saved);
        err << "\n" << Qt::flush;
    }
    return line.trimmed();
}

constexpr int kShortestKey = 8;

int setKey(const QStringList &arguments, const DataSource &store, QTextStream &out, QTextStream &err)
{
    QByteArray key;
    if (arguments.size() == 3) {
        QFile file(arguments[2]);
        if (!file.open(QIODevice::ReadOnly)) {
            err << "quillmora-admin: cannot read " << arguments[2] << "\n";
            return 1;
        }
        key = file.readAll().trimmed();
    } else {
        key = readSecretLine(err, "new key: ");
        if (readSecretLine(err, "the same key again: ") != key) {
            err << "quillmora-admin: the two keys differ; nothing was changed\n";
            return 1;
        }
    }
    if (key.size() < kShortestKey || key.contains('\n') || key.contains('\0')) {
        err << "quillmora-admin: a key is one line of at least " << kShortestKey << " characters; nothing was changed\n";
        return 1;
    }
    std::signal(SIGXFSZ, SIG_IGN);
    try {
        const LedgerBackup::KeyChange change = backupsOf(store)->changeKey(key);
        out << "the shop's key is kept in " << LedgerKey::path() << " (never copy it beside data.mdb or backups/)\n";
        out << (change.ledger ? "re-encrypted " : "already encrypted with it: ") << store.displayName() << "\n";
        out << "re-encrypted " << change.backups.size() << " backups\n";
        for (const QString &file : change.unusable)
            out << "left as it was (opens with no key known here): " << file << "\n";
        out << "Write the key down now (quillmora-admin show-key) and keep it apart from the computer:\n"
               "without it neither the ledger nor its backups can be opened, by anyone.\n";
    } catch (const BackupError &error) {
        err << "quillmora-admin: " << error.message() << "\n";
        return 1;
    }
    return 0;
}

} // namespace

namespace BackupCommands {

bool names(const QStringList &arguments)
{
    return arguments == QStringList{QStringLiteral("backup")} || arguments == QStringList{QStringLiteral("backups")}
           || (arguments.size() == 2 && arguments[0] == QLatin1String("restore"))
           || arguments == QStringList{QStringLiteral("set-key")} || arguments == QStringList{QStringLiteral("show-key")}
           || (arguments.size() == 3 && arguments[0] == QLatin1String("set-key") && arguments[1] == QLatin1String("--key-file"));
}

int run(const QStringList &arguments, const DataSource &store, QTextStream &out, QTextStream &err)
{
    const QString command = arguments.value(0);
    if (command == QLatin1String("backup") && arguments.size() == 1) {
        // Past a file size limit a write fails instead of ending the program, so the
        // backup reports and removes its partial file.
        std::signal(SIGXFSZ, SIG_IGN);
        const std::unique_ptr<LedgerBackup> backups = backupsOf(store);
        try {
            const QString made = backups->backup();
            out << "backed up " << store.displayName() << " to " << made << "\n";
        } catch (const BackupError &error) {
            err << "quillmora-admin: " << error.message() << "\n";
            return 1;
        }
        return 0;
    }
    if (command == QLatin1String("backups") && arguments.size() == 1) {
        const std::unique_ptr<LedgerBackup> backups = backupsOf(store);
        out << "backups in " << backups->folder() << " (copy this folder to another disk from time to time):\n";
        for (const BackupInfo &info : backups->list()) {
            out << info.time.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")) << '\t' << info.size << " bytes\t"
                << (info.sales < 0 ? QStringLiteral("unusable") : QStringLiteral("%1 sales").arg(info.sales)) << '\t'
                << info.fileName << "\n";
        }
        return 0;
    }
    if (command == QLatin1String("restore") && arguments.size() == 2) {
        std::signal(SIGXFSZ, SIG_IGN);
        const std::unique_ptr<LedgerBackup> backups = backupsOf(store);
        try {
            const QString kept = backups->restore(arguments[1]);
            out << "restored " << store.displayName() << " from " << arguments[1] << "\n";
            if (!kept.isEmpty())
                out << "the replaced ledger is kept as " << kept << "\n";
        } catch (const BackupError &error) {
            err << "quillmora-admin: " << error.message() << "\n";
            return 1;
        }
        return 0;
    }
    if (command == QLatin1String("set-key"))
        return setKey(arguments, store, out, err);
    if (command == QLatin1String("show-key")) {
        const QByteArray key = LedgerKey::shopKey();
        if (key.isEmpty()) {
            out << "no key of the shop's own is set: data.mdb and its backups use the built-in key, which keeps them "
                   "from ordinary tools, not from anyone who has this program (quillmora-admin set-key)\n";
            return 0;
        }
        out << "the shop's key (from " << LedgerKey::path() << "):\n" << QString::fromUtf8(key) << "\n";
        return 0;
    }
    return 2;
}

} // namespace BackupCommands
