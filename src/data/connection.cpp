#include "data/connection.h"

#include "core/formats.h"
#include "core/money.h"
#include "data/server/serveraddress.h"
#include "data/server/serverschema.h"
#include "errors/handleerror.h"
#include "errors/prompt.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QObject>
#include <QSqlError>
#include <QSqlQuery>
#include <QTimer>
#include <QUrl>

#include <atomic>

namespace quillory {

namespace {

// The oldest server the program's SQL is written for.
constexpr int kOldestServer = 120000;

Connection::StatementObserver& statementObserver() {
    static Connection::StatementObserver observer;
    return observer;
}

} // namespace

namespace dataerror {

Error objectClosed() {
    return {errnum::ObjectClosed, QStringLiteral("Operation is not allowed when the object is "
                                                 "closed.")};
}

Error notWrittenToDamagedFile() {
    return {errnum::DamagedNotWritten,
            QStringLiteral("The database is damaged; nothing is written to it.")};
}

Error connectionLostReported(const QString& description) {
    return {errnum::ConnectionLostReported, description};
}

} // namespace dataerror

void bindValues(QSqlQuery& query, const QVariantList& params) {
    for (const QVariant& value : params)
        query.addBindValue(toStorable(value));
}

QVariant toStorable(const QVariant& value) {
    switch (value.typeId()) {
    case QMetaType::QDateTime:
        return formats::storedDateTime(value.toDateTime());
    case QMetaType::Float:
        return static_cast<double>(value.toFloat());
    default:
        break;
    }
    if (value.metaType() == QMetaType::fromType<Money>())
        return value.value<Money>().toStored();
    return value;
}

// --- Connection ---------------------------------------------------------------

Connection::Connection() : m_dialect(&Dialect::file()), m_turns(std::make_unique<QObject>()) {
    static std::atomic<int> counter{0};
    m_name = QStringLiteral("quillory-%1").arg(++counter);
}

Connection::~Connection() {
    close();
}

bool Connection::open(const QString& location) {
    close();
    clearError();
    m_readOnly = false;
    m_damaged = false;
    m_damagePending = false;
    m_lost = false;
    m_lostPending = false;
    m_path = location;
    m_serverName.clear();
    m_address.reset();
    if (isServerLocation(location))
        return openServer(location);
    m_dialect = &Dialect::file();
    return openFile(location);
}

bool Connection::openReadOnly(const Connection& main) {
    close();
    clearError();
    m_readOnly = true;
    m_damaged = false;
    m_damagePending = false;
    m_lost = false;
    m_lostPending = false;
    m_path = main.m_path;
    m_serverName = main.m_serverName;
    if (main.isServer()) {
        m_dialect = &Dialect::server();
        m_address = std::make_unique<ServerAddress>(*main.m_address);
        // The password typed for the main connection, if any, in memory only.
        if (!connectServer(main.m_password))
            return false;
        // Every transaction of this connection only reads.
        if (!execute(QStringLiteral("SET SESSION CHARACTERISTICS AS TRANSACTION READ ONLY"))) {
            const Error error = m_error;
            close();
            return fail(error);
        }
        return true;
    }
    m_dialect = &Dialect::file();
    if (!openFile(main.m_path, true))
        return false;
    // Long reads go through memory mapped pages rather than a read call a
    // page; a connection that never writes loses nothing by it.
    execute(QStringLiteral("PRAGMA mmap_size=268435456"));
    clearError();
    return true;
}

bool Connection::openFile(const QString& path, bool readOnly) {
    const QFileInfo file(path);
    if (!file.exists())
        return fail({errnum::FileNotFound, QStringLiteral("File not found: ") + path});
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), m_name);
        // mode=rw opens the file without ever creating it; the busy timeout lets
        // a second copy of the program wait for the other's write to finish.
        db.setDatabaseName(
            QUrl::fromLocalFile(file.absoluteFilePath()).toString(QUrl::FullyEncoded) +
            (readOnly ? QStringLiteral("?mode=ro") : QStringLiteral("?mode=rw")));
        db.setConnectOptions(QStringLiteral("QSQLITE_OPEN_URI;QSQLITE_BUSY_TIMEOUT=5000"));
        if (!db.open()) {
            const Error error = m_dialect->map(db.lastError(), db).error;
            db = QSqlDatabase();
            QSqlDatabase::removeDatabase(m_name);
            return fail(error);
        }
    }
    // SQLite reads the file only with the first statement: a file that is not
    // a database shows here, and fails the open like any other.
    m_opening = true;
    const bool read = execute(QStringLiteral("SELECT count(*) FROM sqlite_master"));
    m_opening = false;
    if (!read) {
        const Error error = m_error;
        close();
        return fail(error);
    }
    return true;
}

bool Connection::openServer(const QString& uri) {
    m_dialect = &Dialect::server();
    Error error;
    std::optional<ServerAddress> address = ServerAddress::parse(uri, &error);
    if (!address)
        return fail(error);
    m_address = std::make_unique<ServerAddress>(std::move(*address));
    // A password typed for this server before (for the connection that
    // compaction closed) is used again without asking.
    std::optional<QString> password =
        m_passwordLocation == uri ? m_password : std::optional<QString>();
    while (!connectServer(password)) {
        const ServerAddress::PasswordNeed need = m_address->passwordNeed(password);
        if (!need.needed)
            return false;
        password = askInput(QStringLiteral("The database server asks for the password of ") +
                                need.whom + u':',
                            QStringLiteral("Database Server Password"), true);
        if (!password)
            return fail({errnum::DialogCancelled,
                         QStringLiteral("No password was given for the database server.")});
    }
    m_passwordLocation = uri;
    m_password = password;
    m_opening = true;
    const bool prepared = serverschema::prepare(*this, m_makesServerTables);
    m_opening = false;
    if (!prepared) {
        const Error failure = m_error;
        close();
        return fail(failure);
    }
    return true;
}

bool Connection::connectServer(const std::optional<QString>& password) {
    close();
    Error error;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), m_name);
        m_address->configure(db, password);
        if (db.open()) {
            const int version = serverVersion(db);
            if (version >= kOldestServer) {
                m_serverName = quillory::serverName(db);
                // A write waits for another copy's as long as on a file, and a
                // copy cut off inside a write transaction (a network cut)
                // holds nobody's writes for longer than a minute.
                QSqlQuery settings(db);
                if (settings.exec(QStringLiteral("SET lock_timeout = 5000")) &&
                    settings.exec(QStringLiteral("SET idle_in_transaction_session_timeout = "
                                                 "60000")))
                    return true;
                error = {errnum::Unspecified, settings.lastError().databaseText().trimmed()};
            } else {
                error = {errnum::Unspecified,
                         quillory::serverName(db) + QStringLiteral(" runs PostgreSQL ") +
                             QString::number(version / 10000) +
                             QStringLiteral("; the program needs PostgreSQL 12 or later.")};
            }
        } else {
            error = {errnum::Unspecified, db.lastError().databaseText().trimmed()};
            if (error.description.isEmpty())
                error.description = db.lastError().text();
        }
        db.close();
    }
    QSqlDatabase::removeDatabase(m_name);
    return fail(error);
}

void Connection::close() {
    if (!QSqlDatabase::contains(m_name))
        return;
    {
        QSqlDatabase db = QSqlDatabase::database(m_name, false);
        db.close();
    }
    QSqlDatabase::removeDatabase(m_name);
}

bool Connection::isOpen() const {
    // A lost server connection still counts as open: the next action
    // connects again.
    if (m_lost && m_address)
        return true;
    return QSqlDatabase::contains(m_name) && QSqlDatabase::database(m_name, false).isOpen();
}

QSqlDatabase Connection::database() const {
    return QSqlDatabase::database(m_name, false);
}

bool Connection::fail(const Error& error) {
    m_error = error;
    if (m_error.isError() && m_error.location.isEmpty())
        m_error.location = isServer() ? m_serverName : m_path;
    return false;
}

bool Connection::failFrom(const QSqlError& error) {
    return fail(errorOf(error));
}

Error Connection::errorOf(const QSqlError& error) {
    const Dialect::Mapped mapped = m_dialect->map(error, database());
    Error result = mapped.error;
    // A server is named by its name, never by its URI (which may hold a
    // password).
    result.location = isServer() ? m_serverName : m_path;
    if (m_inTransaction && !m_transactionFailure)
        m_transactionFailure = result;
    if (m_opening || m_readOnly)
        return result;
    switch (mapped.failure) {
    case Dialect::Failure::Damage:
        if (!m_damaged)
            noteDamage(result.description + QStringLiteral(" (") + m_path + u')');
        return {errnum::DamageReported, result.description, m_path};
    case Dialect::Failure::ReadOnly:
        // Refused by query_only, set when the damage was found.
        if (m_damaged) {
            Error refused = dataerror::notWrittenToDamagedFile();
            refused.location = m_path;
            return refused;
        }
        break;
    case Dialect::Failure::ConnectionLost:
        noteLost(result.description);
        return dataerror::connectionLostReported(result.description);
    case Dialect::Failure::Other:
        break;
    }
    return result;
}

void Connection::noteDamage(const QString& description) {
    m_damaged = true;
    {
        // SQLite's own guard: from now on it refuses any statement that would
        // write, whoever runs it on this connection.
        QSqlQuery guard(database());
        guard.exec(QStringLiteral("PRAGMA query_only=1"));
    }
    m_damageDescription = description;
    m_damagePending = true;
    if (!m_inTransaction)
        reportPending();
}

void Connection::noteReportedDamage() {
    if (m_damaged || isServer())
        return;
    m_damaged = true;
    if (isOpen()) {
        QSqlQuery guard(database());
        guard.exec(QStringLiteral("PRAGMA query_only=1"));
    }
}

void Connection::noteLost(const QString& description) {
    if (m_lost)
        return;
    m_lost = true;
    m_mayReconnect = false;
    m_lostDescription = QStringLiteral("The connection to ") + m_serverName +
                        QStringLiteral(" was lost: ") + description;
    m_lostPending = true;
    if (!m_inTransaction)
        reportPending();
}

void Connection::holdReports(bool hold) {
    m_reportsHeld = hold;
    if (!hold && !m_inTransaction)
        reportPending();
}

void Connection::reportPending() {
    if (m_reportsHeld)
        return;
    if (m_damagePending) {
        m_damagePending = false;
        HandleError(Error{errnum::DatabaseDamaged, m_damageDescription, m_path});
    }
    if (m_lostPending) {
        m_lostPending = false;
        HandleError(errnum::ConnectionLost, m_lostDescription);
        allowReconnectAtNextTurn();
    }
}

void Connection::allowReconnectAtNextTurn() {
    // The statements still to come in the action under way fail quietly; the
    // user's next action, which comes through the event loop, connects again.
    if (!QCoreApplication::instance()) {
        m_mayReconnect = true;
        return;
    }
    QTimer::singleShot(0, m_turns.get(), [this] { m_mayReconnect = true; });
}

bool Connection::reconnect() {
    m_mayReconnect = false;
    if (connectServer(m_password)) {
        m_lost = false;
        clearError();
        return true;
    }
    // Still unreachable: said once for this action, too.
    const Error refused = m_error;
    HandleError(errnum::ConnectionLost, QStringLiteral("The connection to ") + m_serverName +
                                            QStringLiteral(" cannot be made again: ") +
                                            refused.description);
    allowReconnectAtNextTurn();
    return fail(dataerror::connectionLostReported(refused.description));
}

bool Connection::ensureReady() {
    if (m_lost) {
        if (!m_mayReconnect)
            return fail(dataerror::connectionLostReported(m_lostDescription));
        return reconnect();
    }
    if (!isOpen())
        return fail(dataerror::objectClosed());
    return true;
}

void Connection::setStatementObserver(StatementObserver observer) {
    statementObserver() = std::move(observer);
}

bool Connection::run(QSqlQuery& query, const QString& sql, const QVariantList& params) {
    clearError();
    if (!ensureReady())
        return false;
    if (statementObserver())
        statementObserver()(sql, params);
    // Without values there is nothing to prepare; a server also refuses to
    // prepare a transaction's BEGIN and COMMIT.
    if (params.isEmpty()) {
        if (!query.exec(sql))
            return failFrom(query.lastError());
        return true;
    }
    if (!query.prepare(sql))
        return failFrom(query.lastError());
    bindValues(query, params);
    if (!query.exec())
        return failFrom(query.lastError());
    return true;
}

bool Connection::execute(const QString& sql, const QVariantList& params, int* rowsAffected) {
    clearError();
    if (!ensureReady())
        return false;
    QSqlQuery query(database());
    if (!run(query, sql, params))
        return false;
    if (rowsAffected)
        *rowsAffected = query.numRowsAffected();
    return true;
}

bool Connection::forEachRow(const QString& sql, const QVariantList& params,
                            const std::function<void(const QSqlQuery&)>& onRow) {
    clearError();
    if (!ensureReady())
        return false;
    QSqlQuery query(database());
    query.setForwardOnly(true);
    if (!run(query, sql, params))
        return false;
    while (query.next())
        onRow(query);
    if (query.lastError().isValid())
        return failFrom(query.lastError());
    return true;
}

} // namespace quillory
