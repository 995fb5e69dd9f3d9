#pragma once

#include "serverkeys.h"
#include "tenthousandths.h"

#include <QString>
#include <QStringList>
#include <vector>

class Connection;
class Statement;

// What a paged keyset asks of the server. At the open, one aggregate gives the count,
// the largest key and the sums; keys are then read a page at a time, counted from the
// end, as the grid draws the rows. Rows other terminals add later have larger keys
// and stay out of the positions until the next open, as with keys read at the open.
class ServerPages
{
public:
    ServerPages(Connection &connection, QString table, QStringList sumFields);

    int serverRows() const { return m_serverRows; }
    qint64 bound() const { return m_bound; }

    // Sums again after this terminal's own changes, over the same rows.
    std::vector<TenThousandths::Units> sums() const;

    // A row removed; its summed fields held `amounts` (nothing: not known).
    void removed(int row, const std::vector<TenThousandths::Units> *amounts = nullptr);
    void changed() { m_stale = true; }
    // One row's summed fields changed by these amounts (in field order): the sums
    // follow without counting every row again.
    void adjusted(const std::vector<TenThousandths::Units> &delta, int sign = 1);
    bool keysPending() const { return !m_keysComplete; }
    void keysComplete() { m_keysComplete = true; }
    // A row appended; its summed fields hold `amounts` (nothing: not known).
    void appended(qint64 key, const std::vector<TenThousandths::Units> *amounts = nullptr);

    // Fills positions [from, to) (all below serverRows()) with their keys.
    void readKeys(std::vector<qint64> &keys, int from, int to) const;
    // Fills the unread keys of a stretch of a few screens around `row` in one statement.
    void readKeysAround(std::vector<qint64> &keys, int row) const;

    // The rows of the open, and those this terminal appended since.
    KeyedRows openedRows() const;

private:
    QString sumColumns() const;
    void readSums(const Statement &statement, int firstColumn) const;

    Connection &m_connection;
    QString m_table;
    QStringList m_sumFields;
    int m_serverRows = 0;
    qint64 m_bound = 0;
    std::vector<qint64> m_appended;
    mutable std::vector<TenThousandths::Units> m_sums;
    mutable bool m_stale = true;
    bool m_keysComplete = false;
};
