#pragma once

#include "apperror.h"
#include "datasource.h"

#include <QDateTime>
#include <QString>
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
    };

    BackupError(Kind kind, const QString &message) : AppError(message), m_kind(kind) {}
    Kind kind() const { return m_kind; }

private:
    Kind m_kind;
};

struct BackupInfo
{
    QString path;
    QString fileName;
    QDateTime time;
    qint64 size = 0;
    int sales = -1; // -1: the backup does not open as a ledger
    bool beforeRestore = false;
};

// The ledger's backups in `backups/` beside data.mdb (a server's: beside database.conf).
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
    QString restore(const QString &backup);
    void setWaitForFree(int milliseconds) { m_waitForFree = milliseconds; }

private:
    QString embeddedBackup(Connection *open, bool beforeRestore);
    QString serverBackup(bool beforeRestore);
    QString embeddedRestore(const QString &path);
    QString serverRestore(const QString &path);
    int checkDump(const QString &path) const;
    void removeLeftovers() const;
    void applyKeepingRule() const;
    QString ledgerPath() const;

    DataSource m_source;
    QString m_dataFolder;
    int m_waitForFree = 0;
};
