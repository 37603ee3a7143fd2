#include "data/transaction.h"

namespace quillory {

// --- Transaction --------------------------------------------------------------

Transaction::Transaction(Connection& connection) : m_connection(connection) {
    if (m_connection.isDamaged()) {
        m_connection.fail(dataerror::notWrittenToDamagedFile());
        return;
    }
    m_connection.m_transactionFailure.reset();
    const QStringList begin = m_connection.dialect().beginWrite();
    m_active = m_connection.execute(begin.first());
    m_connection.m_inTransaction = m_active;
    // The lock that serialises the writers is taken inside the transaction.
    for (qsizetype i = 1; m_active && i < begin.size(); ++i)
        if (!m_connection.execute(begin.at(i)))
            rollback();
}

Transaction::~Transaction() {
    rollback();
}

bool Transaction::commit() {
    if (!m_active)
        return m_connection.fail(dataerror::objectClosed());
    // A statement of this transaction failed: none of it is kept.
    if (const std::optional<Error> failure = m_connection.m_transactionFailure) {
        rollback();
        return m_connection.fail(*failure);
    }
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
    // Damage or a lost connection found meanwhile is reported now that the
    // write lock is gone.
    m_connection.reportPending();
    // The failure that led here is the one to report, not the rollback's.
    if (kept.isError())
        m_connection.fail(kept);
}

} // namespace quillory
