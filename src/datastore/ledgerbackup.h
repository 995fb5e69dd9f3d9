#pragma once

#include "apperror.h"
#include "datasource.h"

#include <QDateTime>
#include <QFileInfo>
#include <QString>
#include <functional>
#include <memory>
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
// What a backup is depends on the engine, and forSource picks the one kind for the
// ledger once: FileLedgerBackup copies the embedded file, DumpLedgerBackup drives the
// server's dump tools. What they share lives here: the folder and its file modes, the
// names and the keeping rule, the list, the copy to another disk and the wait for the
// ledger to be free before a restore.
//
// Every backup is written under a temporary name, checked (the rows of data, userdb
// and rz against the ledger's at the moment of the copy), flushed to the disk and only
// then given its name. A backup that dies halfway, by kill or a full disk, leaves a
// temporary file that the next backup removes; the ledger and every earlier backup are
// never written to. Named by date and time (BackupFiles); after each backup the keeping
// rule removes the old ones.
class LedgerBackup
{
public:
    // The backups of the ledger `source` names, whose data folder is `dataFolder`.
    static std::unique_ptr<LedgerBackup> forSource(const DataSource &source, const QString &dataFolder);

    virtual ~LedgerBackup();
    LedgerBackup(const LedgerBackup &) = delete;
    LedgerBackup &operator=(const LedgerBackup &) = delete;

    virtual QString folder() const;

    // Makes a backup now and returns its path. `open`: a connection to the ledger to
    // copy from (the program's own), else one is opened for the copy.
    QString backup(Connection *open = nullptr);

    // The backups, newest first, with the sales each holds. A folder shared with a
    // ledger of the other engine (a shop that moved to a server) lists both kinds.
    std::vector<BackupInfo> list() const;
    bool hasBackupOf(const QDate &day) const;

    // Opens a backup with the ledger's key and checks it as a restore does; returns the
    // number of sales it holds. Raises BackupError (Unusable) when it is no sound ledger.
    virtual int check(const QString &path) const = 0;

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
    virtual KeyChange changeKey(const QByteArray &key) = 0;

    // A backup the keeping rule must leave alone: one that a restore is about to use.
    void spare(const QString &path) { m_spared = QFileInfo(path).fileName(); }

    // Takes away what other accounts may do with the ledger's files: data.mdb and every
    // backup 0600, backups/ 0700. Files made before this rule held are mended here.
    void protectFiles() const;

    // What a ledger coming from outside holds beyond the ledger's own tables and their
    // indexes (a trigger, a view, another table), each as "<kind> <name>"; empty when
    // nothing. Such a file is never taken in: a trigger would run on the shop's sales.
    // (The embedded file's check; a server's dump is read by DumpLedgerBackup.)
    static QStringList foreignObjects(Connection &connection);

protected:
    LedgerBackup(const DataSource &source, const QString &dataFolder);

    // Writes a backup of the ledger under a new name in folder() and returns its path;
    // `beforeRestore`: the ledger a restore is about to replace.
    virtual QString makeBackup(Connection *open, bool beforeRestore) = 0;
    // Replaces the ledger with the backup at `path` (absolute); returns the path of the
    // backup the replaced ledger is kept as.
    virtual QString restoreFrom(const QString &path) = 0;
    // Takes the bits for other accounts off the ledger's own files, where it has them.
    virtual void protectLedger() const {}

    // Calls `takeAlone` until it has the ledger to itself, for as long as setWaitForFree
    // says; then raises BackupError (InUse) with `refusal`.
    void waitUntilAlone(const std::function<bool()> &takeAlone, const QString &refusal) const;
    // folder(), made when it is not there yet.
    QString makeFolder() const;

    const DataSource &source() const { return m_source; }
    const QString &dataFolder() const { return m_dataFolder; }

private:
    void removeLeftovers() const;
    void applyKeepingRule() const;

    DataSource m_source;
    QString m_dataFolder;
    int m_waitForFree = 0;
    QString m_spared;
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
