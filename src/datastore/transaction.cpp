#include "transaction.h"

#include "connection.h"

Transaction::Transaction(Connection &connection, Kind kind)
    : m_connection(connection), m_own(kind == Kind::Own || !connection.inTransaction())
{
    if (m_own)
        m_connection.beginTransaction();
}

Transaction::~Transaction()
{
    if (!m_own || m_finished)
        return;
    try {
        m_connection.rollback();
    } catch (...) {
        // Reached while an error unwinds: that error is the one to report. A rollback
        // fails only where the session is gone, and the server drops an unfinished
        // transaction with its session.
    }
}

void Transaction::commit()
{
    if (m_own)
        m_connection.commit();
    m_finished = true;
}
