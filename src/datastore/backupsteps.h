#pragma once

// What both kinds of backup do alike: files only this account reads, a name taken only
// by a finished and checked file, the row counts a copy is compared with, and the one
// wording of a failed backup. Used by the LedgerBackup implementations only.

#include "backupfiles.h"
#include "ledgerbackup.h"

#include <QFile>
#include <QString>
#include <sys/types.h>

class Connection;

namespace BackupSteps {

inline constexpr const char *kPartialSuffix = ".partial";
inline constexpr mode_t kFileMode = 0600;
inline constexpr mode_t kFolderMode = 0700;

QString errorText(int error);

// Flushes a file or a folder (the names in it) to the disk; raises BackupError.
void flushToDisk(const QString &path);

// Gives a file this program made the ledger's mode: the shop's account alone reads it.
void restrictFile(const QString &path);

// Takes the bits for other accounts off an existing file or folder (one made by an
// earlier version). A file this account does not own is left as it is.
void tightenMode(const QString &path, mode_t mode);

// Makes an empty file only this account can read, for a copy to be written into: the
// rows never lie in a file that others may open, not even while it is being written.
void createPrivate(const QString &path);

// Copies `from` to `to` (a new file, 0600) block by block; errno of the failure, 0 when
// whole and flushed.
int copyFile(const QString &from, const QString &to);

// The row counts a backup is compared with.
struct Counts
{
    qint64 data = 0, userdb = 0, rz = 0;
    bool operator==(const Counts &) const = default;
};

Counts countRows(Connection &connection);
QString describe(const Counts &counts);

// A backup that cannot be restored, named by its file name.
BackupError unusableBackup(const QString &path, const QString &why);
void requireBackupFile(const QString &path);

// A backup's name: now, with the next free sequence number of this second.
BackupFiles::Name nameForNow(const QString &folder, const QString &extension, BackupFiles::Kind kind);

// Where a backup of that name is written before it is checked and named.
QString temporaryName(const QString &folder, const BackupFiles::Name &name);

// Gives a finished temporary file its backup name. Never replaces a file: a backup made
// by another program in the same second keeps its name, and this one takes the next.
QString publish(const QString &temporary, const QString &folder, BackupFiles::Name name);

// A backup's failure worded already as the whole backup's ("the backup of … failed"):
// passed on as it is, also through a backup made inside another one.
class WholeBackupFailure : public BackupError
{
public:
    using BackupError::BackupError;
};

// Runs `make`, which writes the backup into `temporary` and raises `failed(why)` for
// what it finds wrong itself. Any failure removes the temporary file and is reported
// once as "the backup of <ledger> failed: <why>".
template<typename Make>
QString backupOrFailure(const QString &ledger, const QString &temporary, Make &&make)
{
    auto failed = [&](const QString &why) {
        QFile::remove(temporary);
        return WholeBackupFailure(BackupError::Kind::Failed,
                                  QStringLiteral("the backup of %1 failed: %2").arg(ledger, why));
    };
    try {
        return make(failed);
    } catch (const WholeBackupFailure &) {
        throw;
    } catch (const BackupError &error) {
        throw failed(error.message());
    } catch (const AppError &error) {
        throw failed(error.message());
    }
}

} // namespace BackupSteps
