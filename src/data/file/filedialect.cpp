#include "data/dialect.h"

#include <QSqlError>

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

// A database file, through SQLite.
class FileDialect final : public Dialect {
public:
    Kind kind() const override { return Kind::File; }

    // SQLite takes the file's write lock at once, before the first read.
    QStringList beginWrite() const override { return {QStringLiteral("BEGIN IMMEDIATE")}; }

    // The status column compares without regard to case (COLLATE NOCASE in
    // the schema); BINARY holds it to the letter here.
    QString holdsExactly(const QString& column) const override {
        return column + QStringLiteral(" IS ? COLLATE BINARY");
    }

    QString statusMatches() const override { return QStringLiteral("status=?"); }

    QString distinctStatuses(const QString& customerId) const override {
        return QStringLiteral("SELECT DISTINCT status FROM tblservices WHERE customerid=") +
               customerId;
    }

    QString rowKey() const override { return QStringLiteral("rowid"); }

    QString schemaResource() const override { return QStringLiteral(":/schema/records.sql"); }

    // A deferred transaction reads from one snapshot of the file.
    QString beginSnapshot() const override { return QStringLiteral("BEGIN"); }

    QString truncatedInteger(const QString& expression) const override {
        return QStringLiteral("CAST(") + expression + QStringLiteral(" AS INTEGER)");
    }

    QStringList holdWriters() const override { return {}; }

    Mapped map(const QSqlError& error, const QSqlDatabase&) const override {
        const int code = error.nativeErrorCode().toInt() & 0xff;
        Mapped mapped;
        mapped.error.number = errnum::Unspecified;
        if (code == kSqliteConstraint)
            mapped.error.number = errnum::ConstraintOrMultiStep;
        else if (code == kSqliteAuth)
            mapped.error.number = errnum::AuthenticationFailed;
        else if (code == kSqliteBusy || code == kSqliteLocked)
            mapped.error.number = errnum::DatabaseInUse;
        else if (code == kSqliteCorrupt || code == kSqliteNotADatabase)
            mapped.failure = Failure::Damage;
        else if (code == kSqliteReadOnly)
            mapped.failure = Failure::ReadOnly;
        mapped.error.description = error.databaseText();
        if (mapped.error.description.isEmpty())
            mapped.error.description = error.text();
        return mapped;
    }
};

} // namespace

const Dialect& Dialect::file() {
    static const FileDialect dialect;
    return dialect;
}

} // namespace quillory
