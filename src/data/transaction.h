#pragma once

#include "data/connection.h"

namespace quillory {

// A write unit of work: it takes the store's write lock at once (SQLite's
// BEGIN IMMEDIATE; on a server, the program's own lock, see Dialect), so that
// reads made inside it (such as the largest id) cannot be overtaken by another
// copy of the program. Rolls back unless committed.
class Transaction {
public:
    explicit Transaction(Connection& connection);
    ~Transaction();
    Transaction(const Transaction&) = delete;
    Transaction& operator=(const Transaction&) = delete;

    bool isActive() const { return m_active; }
    bool commit();
    void rollback();

private:
    Connection& m_connection;
    bool m_active = false;
};

} // namespace quillory
