#pragma once

#include "fieldtype.h"
#include "sqlnames.h"

#include <QString>
#include <QStringList>
#include <optional>
#include <vector>

class Connection;

// What a statement may say, and what it must say differently, on the engine a
// connection talks to (Connection::dialect()). Code outside the engines asks it instead
// of asking which engine it runs on, so any SQL that only one engine understands is
// written in that engine's dialect (sqlitedialect.cpp, serverdialect.cpp) and nowhere
// else. Statements themselves are still written once, in the words Connection
// describes; the dialect covers what those words cannot: table definitions, catalog
// look-ups and the engines' limits.
class Dialect
{
public:
    virtual ~Dialect() = default;

    // The declared type of a column that holds values of `type`; the engine reads a
    // column so declared back as `type`. Texts compare by their bytes on both engines.
    // Unknown: a column without a fixed type (texts on the server).
    virtual QString columnType(FieldType type) const = 0;
    // A date and time kept as the text the program wrote (log-in and log-out times,
    // some of which hold a date alone or nothing).
    virtual QString writtenTimeType() const = 0;
    // The definition of the hidden row key, `rowid`, that ends a table's columns so that
    // inserts without a column list still fit; empty where the engine keeps a row key of
    // its own.
    virtual QString keyColumn() const = 0;
    // The definition of a key column `name` that numbers new rows by itself and keeps a
    // value given to it (a copied ledger keeps its keys).
    virtual QString ownKeyColumn(const QString &name) const = 0;
    // After rows were written with their own keys into the key column `column` of
    // `table`: the next row numbered by the engine follows the largest key.
    virtual void continueKey(Connection &connection, const QString &table, const QString &column) const = 0;

    // Whether an index of this name exists.
    virtual bool hasIndex(Connection &connection, const QString &name) const = 0;
    // "create index if not exists" on `columns` of `table` that also carries `carried`,
    // so that a read of those columns needs the index alone; `condition`, when not
    // empty, limits the index to the rows that meet it. Names and expressions come as
    // they go into the statement.
    virtual QString coveringIndex(const QString &name, const QString &table, const QStringList &columns,
                                  const QStringList &carried, const QString &condition) const = 0;
    // Whether an index entry must fit a bounded size (the server: a third of a page).
    // An index over a text of any length then holds the short texts only, and another
    // one finds the long ones.
    virtual bool boundsIndexEntries() const = 0;
    // The indexes of `table` whose names are like `namePattern` (a `like` pattern), whose
    // first column is a text column and that hold every row: where index entries are
    // bounded, such an index refuses a row with a long text. Empty where they are not.
    virtual QStringList unboundedTextIndexes(Connection &connection, const QString &table,
                                             const QString &namePattern) const = 0;
    // The engine's estimate of the distinct values of `field` in `table`, or nullopt
    // when it keeps no statistics of them.
    virtual std::optional<double> distinctValues(Connection &connection, const QString &table,
                                                 const QString &field) const = 0;
    // Whether a whole table is opened as keys read a page at a time as the grid draws,
    // rather than every key at the open: where keys travel over a network and cost
    // several times what the engine takes to count and sum them.
    virtual bool readsKeysInPages() const = 0;
    // Whether a whole table is sorted in runs of equal values counted by the engine
    // (SortedRuns) rather than by reading every row's key: where keys travel over a
    // network, and the engine keeps statistics that say when runs pay.
    virtual bool sortsInRuns() const = 0;

    // The most values a statement may bind (a batch insert writes as many rows at once
    // as fit).
    virtual int mostBoundValues() const = 0;
    // The comparison that counts two nulls as equal values, and a null as unlike any
    // value: "a <op> ?".
    virtual QString nullSafeEquals() const = 0;
    // Whether other sessions' commits reach a listening connection as notifications
    // (Connection::listen); where they do not, othersCommits() counts them.
    virtual bool announcesCommits() const = 0;
    // The notification channel `prefix` followed by the name of this connection's
    // ledger, so that ledgers sharing a server do not hear each other.
    virtual QString ledgerChannel(Connection &connection, const QString &prefix) const = 0;
    // Sends `payload` on the ledger's channel (as ledgerChannel names it), delivered when
    // the transaction that sends it commits; nothing where commits are not announced.
    virtual void announce(Connection &connection, const QString &prefix, const QString &payload) const = 0;
    // This connection's session as notifications name their sender.
    virtual int sessionId(Connection &connection) const = 0;
    // A number that moves whenever another connection commits to the ledger, or nullopt
    // where the engine announces commits instead.
    virtual std::optional<qint64> othersCommits(Connection &connection) const = 0;

    // Whether the engine copies a whole ledger while it is open (Connection::backupInto);
    // a server's ledgers are backed up with the server's own tools instead.
    virtual bool copiesLedgerOnline() const = 0;

    // Whether the ledger's lock (LedgerLock) is held by the session, so that terminals
    // anywhere see it; where not, a file ledger is locked through its folder.
    virtual bool locksLedgerInSession() const = 0;
    // The call that takes (`take`, answering true when it could) or gives back the
    // session's lock on the ledger, shared or exclusive; where locksLedgerInSession().
    virtual QString sessionLockCall(bool shared, bool take) const = 0;
    // A statement answering a non-null value while `table` stands (a session taken again
    // after a lost connection asks it to see whether a restore replaced the ledger).
    virtual QString tableStandsQuery(const QString &table) const = 0;
    // How many other sessions on this ledger carry `name` (Connection::setSessionName);
    // 0 where sessions have no names.
    virtual int otherSessionsNamed(Connection &connection, const QString &name) const = 0;
    // Seconds since the engine started, where it runs apart from this program.
    virtual std::optional<double> secondsSinceStart(Connection &connection) const = 0;

    // What a ledger file holds in its catalogue, for the check of a file coming from
    // outside; the engine's own bookkeeping tables are left out. Empty where ledgers
    // come in as dumps, whose statements are read instead.
    struct SchemaObject
    {
        QString type; // "table", "index", "trigger", "view", "virtual table"
        QString name;
        QString table; // the table an index or trigger belongs to
    };
    virtual std::vector<SchemaObject> schemaObjects(Connection &connection) const = 0;

    // A table or column name as a quoted identifier; both engines quote alike.
    QString quotedName(const QString &name) const { return ::quotedName(name); }
};
