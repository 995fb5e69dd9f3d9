#pragma once

#include "ledgerbackup.h"

// The backups of the embedded file: each is a copy made with the engine's online
// backup, never a copy of the file's bytes, so a program writing meanwhile cannot tear
// it; checked with the integrity check and the row counts of the moment of the copy.
// A restore takes the exclusive lock of every folder the ledger is opened through and
// renames a checked copy over the ledger; a key change re-encrypts the ledger and its
// backups one checked copy at a time.
class FileLedgerBackup : public LedgerBackup
{
public:
    FileLedgerBackup(const DataSource &source, const QString &dataFolder);

    int check(const QString &path) const override;
    KeyChange changeKey(const QByteArray &key) override;

    // The sales a backup of the embedded file holds, without the restore's full check;
    // raises DatabaseOpenError or AppError when it does not open.
    static int salesIn(const QString &path);

    // Asked, from the thread making it, while a backup is made; false stops it
    // (BackupError), and its temporary file is removed. Nothing under a backup's name
    // is left by a stopped backup.
    void setGoOn(std::function<bool()> goOn) { m_goOn = std::move(goOn); }

protected:
    QString makeBackup(Connection *open, bool beforeRestore) override;
    QString restoreFrom(const QString &path) override;
    void protectLedger() const override;

private:
    // data.mdb, or the file it links to.
    QString ledgerPath() const;

    std::function<bool()> m_goOn;
};
