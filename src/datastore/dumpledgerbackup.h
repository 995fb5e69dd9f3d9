#pragma once

#include "ledgerbackup.h"

// The backups of a server's ledger: dumps of its tables made with the server's own
// pg_dump in one snapshot, checked by reading them back whole with pg_restore, and
// restored in one transaction once no terminal has the ledger open. A dump holds the
// ledger's tables, their indexes and key sequences, in one schema, and nothing else.
class DumpLedgerBackup : public LedgerBackup
{
public:
    DumpLedgerBackup(const DataSource &source, const QString &dataFolder);

    // The folder database.conf names ([backup] folder=), else backups/ beside it.
    QString folder() const override;
    int check(const QString &path) const override;
    // Refused: a server's ledger is guarded by the server's logins, not by a key.
    KeyChange changeKey(const QByteArray &key) override;

    // The sales a dump holds, after the check a restore makes; raises BackupError.
    static int salesIn(const QString &path);

protected:
    QString makeBackup(Connection *open, bool beforeRestore) override;
    QString restoreFrom(const QString &path) override;
};
