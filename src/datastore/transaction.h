#pragma once

#include <type_traits>

class Connection;

// A transaction that rolls back unless it was committed: an exception or an early
// return on the way leaves nothing of it behind.
class Transaction
{
public:
    enum class Kind {
        Own,         // begins a transaction of its own
        JoinCallers, // inside a transaction the caller holds, that one is used (and its
                     // commit and rollback are the caller's); else as Own
    };

    explicit Transaction(Connection &connection, Kind kind = Kind::Own);
    ~Transaction();
    Transaction(const Transaction &) = delete;
    Transaction &operator=(const Transaction &) = delete;

    void commit();

private:
    Connection &m_connection;
    bool m_own;
    bool m_finished = false;
};

// Runs `work` in a transaction of its own and commits it; returns what `work` returns.
template<typename Work>
auto inTransaction(Connection &connection, Work &&work)
{
    Transaction transaction(connection);
    if constexpr (std::is_void_v<decltype(work())>) {
        work();
        transaction.commit();
    } else {
        auto result = work();
        transaction.commit();
        return result;
    }
}
