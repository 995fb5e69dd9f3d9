#pragma once

#include <QString>
#include <memory>

class Connection;

// Who has the ledger open. Every running program holds a shared lock on its ledger for
// as long as its data module exists; a restore needs the exclusive lock, so it never
// replaces a ledger under a running program, and no program opens the ledger while a
// restore is replacing it.
//
// The embedded file: an advisory lock (flock) on the folder that holds data.mdb. Not
// on data.mdb itself: closing a second descriptor of the database file would drop the
// engine's own record locks of this process. The lock goes with the process, so a
// program that is killed never leaves the ledger locked.
//
// A server: a session advisory lock of the connection, named after the ledger's schema.
class LedgerLock
{
public:
    enum class Mode { Shared, Exclusive };

    ~LedgerLock();
    LedgerLock(const LedgerLock &) = delete;
    LedgerLock &operator=(const LedgerLock &) = delete;

    // nullptr when another holder's lock is in the way.
    static std::unique_ptr<LedgerLock> tryLock(const QString &ledgerPath, Mode mode);
    // The connection must outlive the lock.
    static std::unique_ptr<LedgerLock> tryLock(Connection &connection, Mode mode);

private:
    LedgerLock() = default;

    int m_descriptor = -1;
    Connection *m_connection = nullptr;
    Mode m_mode = Mode::Shared;
};
