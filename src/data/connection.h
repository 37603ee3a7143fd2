#pragma once

#include "data/dialect.h"
#include "errors/error.h"

#include <QHash>
#include <QSqlDatabase>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <QVector>

#include <functional>
#include <memory>
#include <optional>

class QObject;
class QSqlQuery;

namespace quillory {

// The program's connection to its database: a database file (SQLite) or a
// database server (PostgreSQL), whose differences its Dialect holds. Texts
// and amounts go into a statement as bound parameters ("?" in the text), never
// spliced into it; only ids, once read as integers, stand in the text as their
// digits.
//
// A damaged file is never written to. Once SQLite reports damage (a malformed
// page, or a file that no longer reads as a database) on any statement after
// the open, the damage is reported once through HandleError (at once, or when
// the write transaction under way has been rolled back, so that no box waits
// with the write lock held), and from then on the connection refuses every
// write: a Transaction does not begin, and SQLite itself refuses any other
// write (PRAGMA query_only). The failures met afterwards carry numbers that
// report nothing more (a read) or say that the change was not saved (a write).
//
// A lost server connection (a restart, a cut network) is reported once in the
// same way, naming the server; the statements after it fail without a word of
// their own until the user's next action (the next turn of the event loop),
// whose first statement connects again.
class Connection {
public:
    Connection();
    ~Connection();
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    // Opens a location: an existing database file (a missing one is not
    // created), or a database server named by a connection URI (see
    // isServerLocation). On a server the program's tables are made in a
    // database that has none of them, and a database whose tables differ is
    // refused. A server that asks for a password that libpq's usual places do
    // not give has it asked for in a masked box, tried once per answer; the
    // answer is kept in memory only, to connect to that server again.
    bool open(const QString& location);
    // Whether open() makes the program's tables in a server database that
    // has none (as it does unless told otherwise) or refuses that database:
    // one that is only read from must not be changed.
    void setMakesServerTables(bool make) { m_makesServerTables = make; }
    // Opens a second, read-only connection on the database `main` is open
    // on, for reading on another thread: call it, use the connection and let
    // it go on that thread. Damage and a lost server met here are left for
    // `main` to report.
    bool openReadOnly(const Connection& main);
    void close();
    bool isOpen() const;

    const Dialect& dialect() const { return *m_dialect; }
    bool isServer() const { return m_dialect->kind() == Dialect::Kind::Server; }
    // How messages name the server in use; empty on a file.
    const QString& serverName() const { return m_serverName; }

    // Runs one statement. `rowsAffected`, when given, receives the count of
    // rows it changed.
    bool execute(const QString& sql, const QVariantList& params = {}, int* rowsAffected = nullptr);

    // Runs a query and hands each row to `onRow` as it is read, without
    // keeping the rows: for long lists that are only copied out.
    bool forEachRow(const QString& sql, const QVariantList& params,
                    const std::function<void(const QSqlQuery&)>& onRow);

    // Makes sure a statement can run, before a query is made on database():
    // on a lost server connection, connects again when the user's next action
    // has come. False, with the last error set, when none can run.
    bool ensureReady();
    // Runs `sql` on `query` (made on database() after ensureReady()), binding
    // `params` when there are any; a failure is the connection's last error.
    // What the helpers above and the recordset run through.
    bool run(QSqlQuery& query, const QString& sql, const QVariantList& params);

    const Error& lastError() const { return m_error; }
    QSqlDatabase database() const;

    // Sets and returns the last error; Recordset and Transaction report
    // through it too.
    bool fail(const Error& error);
    bool failFrom(const class QSqlError& error);
    void clearError() { m_error = Error::none(); }
    // The error a failed statement stands for, as the program reports it;
    // notes damage and a lost server connection (see above).
    Error errorOf(const class QSqlError& error);

    // Whether damage has been met since the last open; it stays noted after a
    // close, so that nothing is written on the way out either.
    bool isDamaged() const { return m_damaged; }
    // Notes damage found by other means (a check of the whole file), reported
    // already: from now on the connection refuses to write.
    void noteReportedDamage();

    // Whether the server connection has been lost and not made again yet.
    bool isConnectionLost() const { return m_lost; }

    // While held, damage and a lost server connection are noted as ever but
    // reported only when the hold ends, as inside a write transaction: for
    // work under a progress display, whose boxes come after it has gone.
    // A connection destroyed while it holds them never reports them.
    void holdReports(bool hold);

    // For the benchmark: told of every statement any connection runs, with
    // its values, before it runs. An empty function removes it.
    using StatementObserver = std::function<void(const QString& sql, const QVariantList& params)>;
    static void setStatementObserver(StatementObserver observer);

private:
    friend class Transaction;
    bool openFile(const QString& path, bool readOnly = false);
    bool openServer(const QString& uri);
    bool connectServer(const std::optional<QString>& password);
    bool reconnect();
    void noteDamage(const QString& description);
    void noteLost(const QString& description);
    // Reports what was found inside a write transaction once it has ended.
    void reportPending();
    void allowReconnectAtNextTurn();

    QString m_name;
    QString m_path; // the file, or the server's URI
    const Dialect* m_dialect;
    QString m_damageDescription;
    Error m_error;
    bool m_opening = false;
    bool m_damaged = false;
    bool m_damagePending = false; // found inside a write transaction, not reported yet
    bool m_inTransaction = false;
    bool m_readOnly = false;
    bool m_reportsHeld = false;
    // The first statement that failed inside the write transaction under
    // way: such a transaction is never committed (a server would roll it
    // back silently at COMMIT).
    std::optional<Error> m_transactionFailure;

    // The server: its address, how messages name it, and the password typed
    // for it (in memory only).
    std::unique_ptr<class ServerAddress> m_address;
    QString m_serverName;
    QString m_passwordLocation;
    std::optional<QString> m_password;
    bool m_lost = false;
    bool m_lostPending = false; // found inside a write transaction, not reported yet
    QString m_lostDescription;
    bool m_mayReconnect = false;
    bool m_makesServerTables = true;
    std::unique_ptr<QObject> m_turns; // receives the next turn of the event loop
};

// The errors the data layer reports of itself, as the program numbers them.
namespace dataerror {
Error objectClosed();
Error notWrittenToDamagedFile();
// A statement that failed because the server connection is lost, which has
// been reported already.
Error connectionLostReported(const QString& description);
} // namespace dataerror

// Binds a value as the database keeps it: date-times as text to the second,
// money as its count of ten-thousandths.
QVariant toStorable(const QVariant& value);

// Binds `params` to the placeholders of a prepared query, in order, each as
// toStorable() gives it.
void bindValues(QSqlQuery& query, const QVariantList& params);

} // namespace quillory
