#include "data/transaction.h"

namespace quillory {

// --- Transaction --------------------------------------------------------------

Transaction::Transaction(Connection& connection) : m_connection(connection) {
    if (m_connection.isDamaged()) {
        m_connection.fail(dataerror::notWrittenToDamagedFile());
        return;
    }
    m_active = m_connection.execute(QStringLiteral("BEGIN IMMEDIATE"));
    m_connection.m_inTransaction = m_active;
}

Transaction::~Transaction() {
    rollback();
}

bool Transaction::commit() {
    if (!m_active)
        return m_connection.fail(dataerror::objectClosed());
    if (!m_connection.execute(QStringLiteral("COMMIT")))
        return false;
    m_active = false;
    m_connection.m_inTransaction = false;
    return true;
}

void Transaction::rollback() {
    if (!m_active)
        return;
    m_active = false;
    const Error kept = m_connection.lastError();
    m_connection.execute(QStringLiteral("ROLLBACK"));
    m_connection.m_inTransaction = false;
    // Damage found meanwhile is reported now that the write lock is gone.
    m_connection.reportPendingDamage();
    // The failure that led here is the one to report, not the rollback's.
    if (kept.isError())
        m_connection.fail(kept);
}

} // namespace quillory
