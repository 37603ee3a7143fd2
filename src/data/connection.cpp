#include "data/connection.h"

#include "data/formats.h"
#include "data/money.h"
#include "errors/handleerror.h"

#include <QFileInfo>
#include <QRegularExpression>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QUrl>

#include <atomic>

namespace quillory {

namespace {

constexpr std::int64_t kNotUpdatable = 3251;

// SQLite's primary result codes that the program tells apart.
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
    QString text = error.databaseText();
    if (text.isEmpty())
        text = error.text();
    return {number, text};
}

Error notWrittenToDamagedFile() {
    return {errnum::DamagedNotWritten,
            QStringLiteral("The database is damaged; nothing is written to it.")};
}

Error noCurrentRecord() {
    return {errnum::NoCurrentRecord,
            QStringLiteral("Either BOF or EOF is True, or the current record has been deleted. "
                           "Requested operation requires a current record.")};
}

Error itemNotFound() {
    return {errnum::Unspecified, QStringLiteral("Item cannot be found in the collection "
                                                "corresponding to the requested name or "
                                                "ordinal.")};
}

Error notUpdatable() {
    return {kNotUpdatable, QStringLiteral("Current Recordset does not support updating.")};
}

Error objectClosed() {
    return {errnum::ObjectClosed, QStringLiteral("Operation is not allowed when the object is "
                                                 "closed.")};
}

bool bindAll(QSqlQuery& query, const QVariantList& params) {
    for (const QVariant& value : params)
        query.addBindValue(toStorable(value));
    return true;
}

// "SELECT * FROM tblname ..." gives rows that can be written back to tblname.
const QRegularExpression& updatableSelect() {
    static const QRegularExpression re(QStringLiteral(R"(^\s*select\s+\*\s+from\s+(\w+)\b)"),
                                       QRegularExpression::CaseInsensitiveOption);
    return re;
}

const QString kRowIdColumn = QStringLiteral("quillory_rowid_");

} // namespace

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
    close();
    clearError();
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
            QStringLiteral("?mode=rw"));
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
    return false;
}

bool Connection::failFrom(const QSqlError& error) {
    return fail(errorOf(error));
}

Error Connection::errorOf(const QSqlError& error) {
    const int code = primaryCode(error);
    Error result = errorFrom(error);
    if (m_opening)
        return result;
    if (code == kSqliteCorrupt || code == kSqliteNotADatabase) {
        if (!m_damaged)
            noteDamage(result.description + QStringLiteral(" (") + m_path + u')');
        return {errnum::DamageReported, result.description};
    }
    // Refused by query_only, set when the damage was found.
    if (m_damaged && code == kSqliteReadOnly)
        return notWrittenToDamagedFile();
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
    HandleError(errnum::DatabaseDamaged, m_damageDescription);
}

bool Connection::execute(const QString& sql, const QVariantList& params, int* rowsAffected) {
    clearError();
    if (!isOpen())
        return fail(objectClosed());
    QSqlQuery query(database());
    if (!query.prepare(sql))
        return failFrom(query.lastError());
    bindAll(query, params);
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
        return fail(objectClosed());
    QSqlQuery query(database());
    query.setForwardOnly(true);
    if (!query.prepare(sql))
        return failFrom(query.lastError());
    bindAll(query, params);
    if (!query.exec())
        return failFrom(query.lastError());
    while (query.next())
        onRow(query);
    if (query.lastError().isValid())
        return failFrom(query.lastError());
    return true;
}

// --- Transaction --------------------------------------------------------------

Transaction::Transaction(Connection& connection) : m_connection(connection) {
    if (m_connection.isDamaged()) {
        m_connection.fail(notWrittenToDamagedFile());
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
        return m_connection.fail(objectClosed());
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

// --- Recordset ----------------------------------------------------------------

bool Recordset::fail(const Error& error) {
    m_error = error;
    return false;
}

bool Recordset::requireOpen() {
    return isOpen() ? true : fail(objectClosed());
}

bool Recordset::requireCurrent() {
    if (!requireOpen())
        return false;
    if (m_adding)
        return true;
    return (bof() || eof()) ? fail(noCurrentRecord()) : true;
}

bool Recordset::open(const QString& sql, Connection& connection, const QVariantList& params) {
    close();
    m_error = Error::none();
    m_sql = sql;
    m_params = params;
    const auto match = updatableSelect().match(sql);
    m_table = match.hasMatch() ? match.captured(1) : QString();
    m_connection = &connection;
    if (!fetch()) {
        m_connection = nullptr;
        return false;
    }
    return true;
}

bool Recordset::fetch() {
    m_rows.clear();
    m_rowIds.clear();
    m_names.clear();
    m_index.clear();
    m_adding = false;
    m_pending.clear();
    m_pendingSet.clear();
    if (!m_connection->isOpen())
        return fail(objectClosed());
    QString text = m_sql;
    if (!m_table.isEmpty()) {
        // Carry each row's rowid along so that a changed row can be found again.
        const auto match = updatableSelect().match(text);
        const qsizetype star = text.indexOf(u'*', match.capturedStart(0));
        text.replace(star, 1, QStringLiteral("rowid AS %1, *").arg(kRowIdColumn));
    }
    QSqlQuery query(m_connection->database());
    query.setForwardOnly(true);
    if (!query.prepare(text))
        return fail(m_connection->errorOf(query.lastError()));
    bindAll(query, m_params);
    if (!query.exec())
        return fail(m_connection->errorOf(query.lastError()));
    const QSqlRecord record = query.record();
    const int first = m_table.isEmpty() ? 0 : 1;
    for (int i = first; i < record.count(); ++i) {
        m_index.insert(record.fieldName(i).toLower(), i - first);
        m_names.append(record.fieldName(i));
    }
    while (query.next()) {
        QVariantList row;
        row.reserve(record.count() - first);
        for (int i = first; i < record.count(); ++i)
            row.append(query.value(i));
        if (first)
            m_rowIds.append(query.value(0).toLongLong());
        m_rows.append(std::move(row));
    }
    if (query.lastError().isValid())
        return fail(m_connection->errorOf(query.lastError()));
    m_current = 0;
    return true;
}

void Recordset::close() {
    m_connection = nullptr;
    m_rows.clear();
    m_rowIds.clear();
    m_names.clear();
    m_index.clear();
    m_current = -1;
    m_adding = false;
    m_pending.clear();
    m_pendingSet.clear();
}

bool Recordset::bof() const {
    return !isOpen() || m_rows.isEmpty() || m_current < 0;
}

bool Recordset::eof() const {
    return !isOpen() || m_rows.isEmpty() || m_current >= m_rows.size();
}

bool Recordset::moveFirst() {
    if (!requireOpen() || (!m_pending.isEmpty() && !update()))
        return false;
    m_current = 0;
    return true;
}

bool Recordset::moveNext() {
    if (!requireOpen() || (!m_pending.isEmpty() && !update()))
        return false;
    if (eof())
        return fail(noCurrentRecord());
    ++m_current;
    return true;
}

int Recordset::indexOf(const QString& name) const {
    return m_index.value(name.toLower(), -1);
}

QVariant Recordset::field(int index) {
    m_error = Error::none();
    if (!requireCurrent())
        return {};
    if (index < 0 || index >= m_names.size()) {
        fail(itemNotFound());
        return {};
    }
    if (!m_pending.isEmpty())
        return m_pending.at(index);
    return m_rows.at(m_current).at(index);
}

QVariant Recordset::field(const QString& name) {
    const int index = indexOf(name);
    if (index < 0 && isOpen()) {
        fail(itemNotFound());
        return {};
    }
    return field(index);
}

bool Recordset::addNew() {
    m_error = Error::none();
    if (!requireOpen())
        return false;
    if (m_table.isEmpty())
        return fail(notUpdatable());
    if (!m_pending.isEmpty() && !update())
        return false;
    m_adding = true;
    m_pending = QVariantList(m_names.size());
    m_pendingSet = QVector<bool>(m_names.size(), false);
    return true;
}

bool Recordset::setField(const QString& name, const QVariant& value) {
    m_error = Error::none();
    if (!requireCurrent())
        return false;
    if (m_table.isEmpty())
        return fail(notUpdatable());
    const int index = indexOf(name);
    if (index < 0)
        return fail(itemNotFound());
    if (m_pending.isEmpty()) {
        m_pending = m_rows.at(m_current);
        m_pendingSet = QVector<bool>(m_names.size(), false);
    }
    m_pending[index] = value;
    m_pendingSet[index] = true;
    return true;
}

bool Recordset::update() {
    m_error = Error::none();
    if (!requireOpen())
        return false;
    if (m_pending.isEmpty())
        return true;
    QStringList columns;
    QVariantList values;
    for (int i = 0; i < m_names.size(); ++i) {
        if (m_pendingSet.at(i)) {
            columns.append(m_names.at(i));
            values.append(m_pending.at(i));
        }
    }
    Connection& cn = *m_connection;
    if (m_adding) {
        QString sql = QStringLiteral("INSERT INTO ") + m_table;
        if (columns.isEmpty()) {
            sql += QStringLiteral(" DEFAULT VALUES");
        } else {
            sql += QStringLiteral(" (") + columns.join(u',') + QStringLiteral(") VALUES (") +
                   QStringList(columns.size(), QStringLiteral("?")).join(u',') + u')';
        }
        QSqlQuery query(cn.database());
        if (!query.prepare(sql))
            return fail(m_connection->errorOf(query.lastError()));
        bindAll(query, values);
        if (!query.exec())
            return fail(m_connection->errorOf(query.lastError()));
        const qint64 rowId = query.lastInsertId().toLongLong();
        // Read the stored row back, so that column defaults show as stored.
        QSqlQuery back(cn.database());
        back.prepare(QStringLiteral("SELECT * FROM ") + m_table + QStringLiteral(" WHERE rowid=?"));
        back.addBindValue(rowId);
        QVariantList row = m_pending;
        if (back.exec() && back.next())
            for (int i = 0; i < m_names.size(); ++i)
                row[i] = back.value(i);
        m_rows.append(row);
        m_rowIds.append(rowId);
        m_current = static_cast<int>(m_rows.size()) - 1;
    } else {
        QStringList sets;
        for (const QString& column : columns)
            sets.append(column + QStringLiteral("=?"));
        QSqlQuery query(cn.database());
        if (!query.prepare(QStringLiteral("UPDATE ") + m_table + QStringLiteral(" SET ") +
                           sets.join(u',') + QStringLiteral(" WHERE rowid=?")))
            return fail(m_connection->errorOf(query.lastError()));
        bindAll(query, values);
        query.addBindValue(m_rowIds.at(m_current));
        if (!query.exec())
            return fail(m_connection->errorOf(query.lastError()));
        if (query.numRowsAffected() != 1)
            return fail({errnum::RowNotLocated,
                         QStringLiteral("Row cannot be located for updating. Some values may "
                                        "have been changed since it was last read.")});
        for (int i = 0; i < m_names.size(); ++i)
            if (m_pendingSet.at(i))
                m_rows[m_current][i] = toStorable(m_pending.at(i));
    }
    m_adding = false;
    m_pending.clear();
    m_pendingSet.clear();
    return true;
}

bool Recordset::requery() {
    m_error = Error::none();
    if (!requireOpen())
        return false;
    return fetch();
}

} // namespace quillory
