#include "data/dialect.h"

#include <QSqlDatabase>
#include <QSqlDriver>
#include <QSqlError>
#include <QVariant>

#include <libpq-fe.h>

namespace quillory {

namespace {

// The key of the lock that every write transaction of every copy of the
// program takes first on the database ("Quillory" in ASCII). Advisory locks
// belong to one database, so copies on other databases do not wait.
const QString kWriteLockKey = QStringLiteral("5869713603743937145");

// Whether the server connection under `db` has broken.
bool connectionBroken(const QSqlDatabase& db) {
    const QVariant handle = db.driver() ? db.driver()->handle() : QVariant();
    if (!handle.isValid())
        return true;
    PGconn* connection = *static_cast<PGconn* const*>(handle.constData());
    return connection == nullptr || PQstatus(connection) == CONNECTION_BAD;
}

// A PostgreSQL server (version 12 or later), through Qt's QPSQL driver.
class ServerDialect final : public Dialect {
public:
    Kind kind() const override { return Kind::Server; }

    // Every write transaction of every copy takes one lock first, held until
    // it ends: writers run one at a time, as on a file, and each statement
    // after the lock sees everything committed before it.
    QStringList beginWrite() const override {
        return {QStringLiteral("BEGIN"),
                QStringLiteral("SELECT pg_advisory_xact_lock(") + kWriteLockKey + u')'};
    }

    QString holdsExactly(const QString& column) const override {
        return column + QStringLiteral(" IS NOT DISTINCT FROM ?");
    }

    // lower() on both sides, as the status index of the schema is built.
    QString statusMatches() const override { return QStringLiteral("lower(status)=lower(?)"); }

    // As a file lists them: each status as its first project has it, in the
    // order of those projects.
    QString distinctStatuses(const QString& customerId) const override {
        return QStringLiteral("SELECT status FROM (SELECT DISTINCT ON (lower(status)) status, id "
                              "FROM tblservices WHERE customerid=") +
               customerId + QStringLiteral(" ORDER BY lower(status), id) AS firsts ORDER BY id");
    }

    // A row's place in its table: it changes when the row is changed, which
    // only makes a guarded write find nothing.
    QString rowKey() const override { return QStringLiteral("ctid"); }

    QString schemaResource() const override {
        return QStringLiteral(":/schema/records-server.sql");
    }

    QString beginSnapshot() const override {
        return QStringLiteral("BEGIN ISOLATION LEVEL REPEATABLE READ, READ ONLY");
    }

    // A cast to an integer would round; trunc() cuts as SQLite's cast does.
    QString truncatedInteger(const QString& expression) const override {
        return QStringLiteral("trunc(") + expression + QStringLiteral(")::bigint");
    }

    // The session's hold on the writers' lock: every write transaction takes
    // the same lock first (beginWrite), so it waits until the release.
    QStringList holdWriters() const override {
        return {QStringLiteral("SELECT pg_advisory_lock(") + kWriteLockKey + u')',
                QStringLiteral("SELECT pg_advisory_unlock(") + kWriteLockKey + u')'};
    }

    Mapped map(const QSqlError& error, const QSqlDatabase& db) const override {
        const QString state = error.nativeErrorCode();
        Mapped mapped;
        mapped.error.number = errnum::Unspecified;
        // The server's text ends in its code in brackets: the code is kept.
        mapped.error.description = error.databaseText().trimmed();
        if (mapped.error.description.isEmpty())
            mapped.error.description = error.text().trimmed();
        if (state.startsWith(QStringLiteral("08")) || state == u"57P01" || state == u"57P02" ||
            state == u"57P03" || connectionBroken(db)) {
            mapped.failure = Failure::ConnectionLost;
        } else if (state.startsWith(QStringLiteral("23")) || state == u"22003") {
            // A constraint, or a value the column cannot hold (an id beyond a
            // Long): the multiple-step failure of a refused field.
            mapped.error.number = errnum::ConstraintOrMultiStep;
        } else if (state.startsWith(QStringLiteral("28"))) {
            mapped.error.number = errnum::AuthenticationFailed;
        } else if (state == u"55P03") {
            // Another copy held the write lock longer than a write waits.
            mapped.error.number = errnum::DatabaseInUse;
        } else if (state == u"40001" || state == u"40P01") {
            // Another copy's transaction came first: nothing was changed.
            mapped.error.number = errnum::RowNotLocated;
        } else if (state == u"25006") {
            mapped.failure = Failure::ReadOnly;
        }
        return mapped;
    }
};

} // namespace

const Dialect& Dialect::server() {
    static const ServerDialect dialect;
    return dialect;
}

} // namespace quillory
