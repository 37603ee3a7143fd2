#include "data/connection.h"

#include "core/formats.h"
#include "core/money.h"
#include "errors/handleerror.h"

#include <QFileInfo>
#include <QSqlError>
#include <QSqlQuery>
#include <QUrl>

#include <atomic>

namespace quillory {

namespace {

// SQLite's primary result codes that the program tells apart.
constexpr int kSqliteBusy = 5;
constexpr int kSqliteLocked = 6;
constexpr int kSqliteReadOnly = 8;
constexpr int kSqliteCorrupt = 11;
constexpr int kSqliteConstraint = 19;
constexpr int kSqliteAuth = 23;
constexpr int kSqliteNotADatabase = 26;

int primaryCode(const QSqlError& error) {
    return error.nativeErrorCode().toInt() & 0xff;
}

Error errorFrom(const QSqlError& error) {
    const int code = primaryCode(error);
    std::int64_t number = errnum::Unspecified;
    if (code == kSqliteConstraint)
        number = errnum::ConstraintOrMultiStep;
    else if (code == kSqliteAuth)
        number = errnum::AuthenticationFailed;
    else if (code == kSqliteBusy || code == kSqliteLocked)
        number = errnum::DatabaseInUse;
    QString text = error.databaseText();
    if (text.isEmpty())
        text = error.text();
    return {number, text};
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

Connection::Connection() {
    static std::atomic<int> counter{0};
    m_name = QStringLiteral("quillory-%1").arg(++counter);
}

Connection::~Connection() {
    close();
}

bool Connection::open(const QString& path) {
    return openFile(path, false);
}

bool Connection::openReadOnly(const Connection& main) {
    if (!openFile(main.m_path, true))
        return false;
    // Long reads go through memory mapped pages rather than a read call a
    // page; a connection that never writes loses nothing by it.
    execute(QStringLiteral("PRAGMA mmap_size=268435456"));
    clearError();
    return true;
}

bool Connection::openFile(const QString& path, bool readOnly) {
    close();
    clearError();
    m_readOnly = readOnly;
    m_damaged = false;
    m_damagePending = false;
    m_path = path;
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
            const Error error = errorFrom(db.lastError());
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
    return QSqlDatabase::contains(m_name) && QSqlDatabase::database(m_name, false).isOpen();
}

QSqlDatabase Connection::database() const {
    return QSqlDatabase::database(m_name, false);
}

bool Connection::fail(const Error& error) {
    m_error = error;
    if (m_error.isError() && m_error.location.isEmpty())
        m_error.location = m_path;
    return false;
}

bool Connection::failFrom(const QSqlError& error) {
    return fail(errorOf(error));
}

Error Connection::errorOf(const QSqlError& error) {
    const int code = primaryCode(error);
    Error result = errorFrom(error);
    result.location = m_path;
    if (m_opening || m_readOnly)
        return result;
    if (code == kSqliteCorrupt || code == kSqliteNotADatabase) {
        if (!m_damaged)
            noteDamage(result.description + QStringLiteral(" (") + m_path + u')');
        return {errnum::DamageReported, result.description, m_path};
    }
    // Refused by query_only, set when the damage was found.
    if (m_damaged && code == kSqliteReadOnly) {
        Error refused = dataerror::notWrittenToDamagedFile();
        refused.location = m_path;
        return refused;
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
        reportPendingDamage();
}

void Connection::noteReportedDamage() {
    if (m_damaged)
        return;
    m_damaged = true;
    if (isOpen()) {
        QSqlQuery guard(database());
        guard.exec(QStringLiteral("PRAGMA query_only=1"));
    }
}

void Connection::reportPendingDamage() {
    if (!m_damagePending)
        return;
    m_damagePending = false;
    HandleError(Error{errnum::DatabaseDamaged, m_damageDescription, m_path});
}

bool Connection::execute(const QString& sql, const QVariantList& params, int* rowsAffected) {
    clearError();
    if (!isOpen())
        return fail(dataerror::objectClosed());
    QSqlQuery query(database());
    if (!query.prepare(sql))
        return failFrom(query.lastError());
    bindValues(query, params);
    if (!query.exec())
        return failFrom(query.lastError());
    if (rowsAffected)
        *rowsAffected = query.numRowsAffected();
    return true;
}

bool Connection::forEachRow(const QString& sql, const QVariantList& params,
                            const std::function<void(const QSqlQuery&)>& onRow) {
    clearError();
    if (!isOpen())
        return fail(dataerror::objectClosed());
    QSqlQuery query(database());
    query.setForwardOnly(true);
    if (!query.prepare(sql))
        return failFrom(query.lastError());
    bindValues(query, params);
    if (!query.exec())
        return failFrom(query.lastError());
    while (query.next())
        onRow(query);
    if (query.lastError().isValid())
        return failFrom(query.lastError());
    return true;
}

} // namespace quillory
