#pragma once

#include "apperror.h"
#include "datasource.h"

#include <QDateTime>
#include <QFileInfo>
#include <QString>
#include <functional>
#include <vector>

class Connection;

// A backup that could not be made or restored. The ledger and every earlier backup are
// as they were.
class BackupError : public AppError
{
public:
    enum class Kind {
        Failed,   // the backup or restore itself failed (full disk, no permission, ...)
        Unusable, // the backup to restore does not open with the key or fails its check
        InUse,    // another program has the ledger open
        NoRoom,   // the disk a copy goes to is full
    };

    BackupError(Kind kind, const QString &message) : AppError(message), m_kind(kind) {}
    Kind kind() const { return m_kind; }

private:
    Kind m_kind;
};

// What a copy of backups to another disk did.
struct BackupCopyReport
{
    QStringList copied;       // file names copied and checked there
    QStringList alreadyThere; // a sound copy of the same name was there already
    QStringList unusable;     // backups that do not open as a ledger, not copied
};

struct BackupInfo
{
    QString path;
    QString fileName;
    QDateTime time;
    qint64 size = 0;
    int sales = -1; // -1: the backup does not open as a ledger
    bool keyUnknown = false; // it does not open with any key known here (or is no database)
    bool beforeRestore = false;
};

// The ledger's backups in `backups/` beside data.mdb. A server's go to the folder that
// database.conf names ([backup] folder=, relative to database.conf's folder), else to
// `backups/` beside database.conf.
//
// A backup of the embedded file is a copy made with the engine's online backup, never
// a copy of the file's bytes, so a program writing meanwhile cannot tear it. It is
// written under a temporary name, checked (integrity check, and the rows of data,
// userdb and rz against the ledger's at the moment of the copy), flushed to the disk
// and only then given its name. A backup that dies halfway, by kill or a full disk,
// leaves a temporary file that the next backup removes; the ledger and every earlier
// backup are never written to. Named by date and time (BackupFiles); after each backup
// the keeping rule removes the old ones.
class LedgerBackup
{
public:
    LedgerBackup(const DataSource &source, const QString &dataFolder);

    QString folder() const;

    // Makes a backup now and returns its path. `open`: a connection to the ledger to
    // copy from (the program's own), else one is opened for the copy.
    QString backup(Connection *open = nullptr);

    // The backups, newest first, with the sales each holds.
    std::vector<BackupInfo> list() const;
    bool hasBackupOf(const QDate &day) const;

    // Opens a backup with the ledger's key and checks it as a restore does; returns the
    // number of sales it holds. Raises BackupError (Unusable) when it is no sound ledger.
    int check(const QString &path) const;

    // Replaces the ledger with a backup (a file name in folder() or a path). The backup
    // is checked first; the replaced ledger is kept as a backup of its own
    // ("...-before-restore"), whose path is returned. Refused (InUse) while another
    // program has the ledger open, after waiting for it as long as setWaitForFree says.
    // A data.mdb that is a symbolic link is restored at the file it points to.
    QString restore(const QString &backup);
    void setWaitForFree(int milliseconds) { m_waitForFree = milliseconds; }

    // Copies the newest usable backup (or every one) into `folder`, a USB stick for
    // instance, each under its own name. Each copy is written under a temporary name,
    // flushed, checked as a restore checks (the key, the integrity check) and only then
    // named; a copy that fails (a full or removed disk) leaves nothing under a backup's
    // name and raises BackupError (NoRoom for a full disk) naming what was copied
    // before it.
    BackupCopyReport copyTo(const QString &folder, bool all) const;

    // Makes `key` the shop's own key (LedgerKey) and re-encrypts data.mdb and every
    // backup of it with it, each through a checked copy renamed into place. Refused
    // (InUse) while a program has the ledger open. A backup that opens with no known key
    // is left as it is and named in `unusable`.
    struct KeyChange
    {
        bool ledger = false;  // data.mdb was re-encrypted
        QStringList backups;  // backups re-encrypted
        QStringList unusable; // backups left as they were
    };
    KeyChange changeKey(const QByteArray &key);

    // A backup the keeping rule must leave alone: one that a restore is about to use.
    void spare(const QString &path) { m_spared = QFileInfo(path).fileName(); }

    // Asked, from the thread making it, while a backup of the embedded file is made;
    // false stops it (BackupError), and its temporary file is removed. Nothing under a
    // backup's name is left by a stopped backup.
    void setGoOn(std::function<bool()> goOn) { m_goOn = std::move(goOn); }

    // Takes away what other accounts may do with the ledger's files: data.mdb and every
    // backup 0600, backups/ 0700. Files made before this rule held are mended here.
    void protectFiles() const;

    // What a ledger coming from outside holds beyond the ledger's own tables and their
    // indexes (a trigger, a view, another table), each as "<kind> <name>"; empty when
    // nothing. Such a file is never taken in: a trigger would run on the shop's sales.
    static QStringList foreignObjects(Connection &connection);

private:
    QString embeddedBackup(Connection *open, bool beforeRestore);
    QString serverBackup(bool beforeRestore);
    QString embeddedRestore(const QString &path);
    QString serverRestore(const QString &path);
    int checkDump(const QString &path) const;
    void removeLeftovers() const;
    void applyKeepingRule() const;
    QString ledgerPath() const;
    QString makeFolder() const;

    DataSource m_source;
    QString m_dataFolder;
    int m_waitForFree = 0;
    QString m_spared;
    std::function<bool()> m_goOn;
};

// A new ledger file (made by init or copied by copy) is written under a temporary name
// beside its final one and takes that name only when it is complete, so a program
// killed halfway never leaves a half-made ledger under the name the program opens.
namespace NewLedgerFile {

// ".<name>.<process id>.partial" in the final path's folder. Temporary files of
// programs that died are removed here.
QString temporaryFor(const QString &finalPath);

// Flushes the finished temporary file, makes it 0600 and gives it the final name.
// Never replaces a file: when the final name exists meanwhile the temporary file is
// removed and AppError raised.
void publish(const QString &temporary, const QString &finalPath);

} // namespace NewLedgerFile
