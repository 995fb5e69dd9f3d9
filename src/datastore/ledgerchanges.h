#pragma once

#include "datasource.h"

#include <QObject>
#include <QTimer>
#include <memory>

class Connection;

// Sales other terminals added, changed and removed.
struct LedgerChangeCounts
{
    int added = 0;
    int changed = 0;
    int removed = 0;

    bool any() const { return added != 0 || changed != 0 || removed != 0; }
    LedgerChangeCounts &operator+=(const LedgerChangeCounts &other);
    bool operator==(const LedgerChangeCounts &) const = default;
};
Q_DECLARE_METATYPE(LedgerChangeCounts)

// Tells a terminal that other terminals changed the ledger's sales since it last read
// them, without reading the sales again: the operator decides when to refresh, so the
// grid never moves under their hands.
//
// On a server every write of sales sends a notification in its own transaction
// (announce()), which arrives only when the write is committed; a connection of the
// watcher's own listens for them and leaves out those of this terminal's session. The
// embedded file has no notifications: the engine's change counter (data_version),
// which moves only for other connections' commits, is read on a timer, and when it
// moved, the rows the ledger, its history and its recycle bin gained since the last
// look are counted by their keys.
class LedgerChanges : public QObject
{
    Q_OBJECT

public:
    // `connection` is this terminal's own, the one its writes go through; `source` is
    // where it was opened from (the server's listening connection is opened from it).
    LedgerChanges(Connection &connection, const DataSource &source, QObject *parent = nullptr);
    ~LedgerChanges() override;

    // Looks every `interval` milliseconds from now on.
    void start(int interval = 1000);
    // This terminal has just read the sales: what others did before is in what it shows.
    void markRead();
    // Looks once (the timer does this); emits changed() when others changed something.
    // Never raises: a look that fails is tried again at the next one.
    void look();

    // What others did since the last read.
    const LedgerChangeCounts &counts() const { return m_counts; }

    // The status bar's note, empty when there is nothing to tell.
    static QString noteText(const LedgerChangeCounts &counts);

    // Lets the other terminals know of a write of sales, inside its transaction.
    static void announce(Connection &connection, const LedgerChangeCounts &counts);

signals:
    // The counts since the last read changed (after markRead(): all zero).
    void changed(const LedgerChangeCounts &counts);

private:
    struct Keys
    {
        qint64 sales = 0;
        qint64 changes = 0;
        qint64 bin = 0;
    };
    Keys largestKeys() const;
    LedgerChangeCounts countSince(const Keys &keys) const;
    void lookInFile();
    void lookOnServer();
    bool listening();

    Connection &m_connection;
    DataSource m_source;
    QTimer m_timer;
    LedgerChangeCounts m_counts;
    // Embedded file: the counter and the keys at the last look.
    qint64 m_version = -1;
    Keys m_keys;
    // Server: the listening connection and this terminal's session.
    std::unique_ptr<Connection> m_listener;
    int m_ownSession = 0;
    int m_ticksUntilRetry = 0;
};
