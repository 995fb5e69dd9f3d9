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
// A server restart ends every session and so drops every lock: each terminal makes its
// session again within a second or so (Connection::keepSession on a timer) and takes its
// lock again first. A restore therefore waits until the server has been up long enough
// for that, and also counts the terminals' sessions the server lists, by their name.
class LedgerLock
{
public:
    enum class Mode { Shared, Exclusive };

    // How long a terminal may take to hold its ledger again after a server restart.
    static constexpr int kReclaimSeconds = 5;

    ~LedgerLock();
    LedgerLock(const LedgerLock &) = delete;
    LedgerLock &operator=(const LedgerLock &) = delete;

    // nullptr when another holder's lock is in the way.
    static std::unique_ptr<LedgerLock> tryLock(const QString &ledgerPath, Mode mode);
    // The connection must outlive the lock. A shared lock names the connection's
    // sessions as a terminal's.
    static std::unique_ptr<LedgerLock> tryLock(Connection &connection, Mode mode);

    // The server only: sessions of terminals of the connection's ledger other than the
    // connection's own, whether or not they hold their lock at the moment.
    static int otherTerminals(Connection &connection);
    // The server only: waits until the server has been up for kReclaimSeconds, so that
    // terminals cut off by a restart have taken their locks again.
    static void waitForReclaims(Connection &connection);

private:
    LedgerLock() = default;

    int m_descriptor = -1;
    Connection *m_connection = nullptr;
    Mode m_mode = Mode::Shared;
};
