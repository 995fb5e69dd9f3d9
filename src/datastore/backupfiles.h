#pragma once

#include <QDateTime>
#include <QString>
#include <QStringList>
#include <optional>

// The names of the ledger's backups and the rule that decides which ones to keep.
//
//   data-20240506-143015.mdb                  a backup of the embedded file
//   data-20240506-143015-2.mdb                the second one made in the same second
//   data-20240506-143015-before-restore.mdb   the ledger a restore replaced
//   data-20240506-143015.dump                 a backup of a server's ledger
//
// Everything else in the folder (a backup being written, a copy made by hand) is not a
// backup by name and is never removed by the keeping rule.
namespace BackupFiles {

enum class Kind { Regular, BeforeRestore };

struct Name
{
    QDateTime time;
    int sequence = 1;
    Kind kind = Kind::Regular;
    QString extension; // "mdb" or "dump"
};

std::optional<Name> parse(const QString &fileName);
QString fileName(const Name &name);

// Which of `fileNames` the keeping rule removes at `now`. Of the regular backups, every
// one of the last 48 hours stays (the newest 50 of them at most), so the ledger as it
// was when the shop opened this morning or yesterday can be had again; older ones thin
// out to the newest of each of the last 14 days that have one and the newest of each
// of the last 12 months that have one. `spared` (a backup a restore is about to use)
// always stays, and so do backups kept before a restore and other files.
QStringList toRemove(const QStringList &fileNames, const QDateTime &now, const QStringList &spared = {});

} // namespace BackupFiles
