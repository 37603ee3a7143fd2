#include "data/servermaintenance.h"

#include "data/database.h"
#include "data/migration.h"
#include "data/serveraddress.h"
#include "errors/prompt.h"

#include <QFile>
#include <QFileInfo>
#include <QSqlQuery>

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>

namespace quillory::servermaintenance {

namespace {

using compaction::Result;
using compaction::Step;

std::function<Error(Step)>& injection() {
    static std::function<Error(Step)> inject;
    return inject;
}

Result failed(const Error& error) {
    // A lost connection has been reported when it was found.
    return {Result::Failed, error, error.number == errnum::ConnectionLostReported};
}

// VACUUM passes over, with no more than a warning, every table whose owner
// the user is not (nor the database's owner, nor a superuser).
std::optional<bool> mayMaintain(Connection& cn) {
    int refused = 0;
    const bool read = cn.forEachRow(
        QStringLiteral(
            "SELECT count(*) FROM pg_class c JOIN pg_namespace n ON n.oid = c.relnamespace "
            "WHERE n.nspname = current_schema() AND c.relname IN ('tblcustomer', 'tblservices', "
            "'tblinvoice', 'tblbusoptions') AND NOT pg_has_role(c.relowner, 'USAGE') AND NOT "
            "pg_has_role((SELECT datdba FROM pg_database WHERE datname = current_database()), "
            "'USAGE')"),
        {}, [&refused](const QSqlQuery& row) { refused = row.value(0).toInt(); });
    if (!read)
        return std::nullopt;
    return refused == 0;
}

// Puts a whole, checked copy in place of the backup copy, in one rename.
Error placeBackup(const QString& copy, const QString& backup) {
    const QByteArray from = QFile::encodeName(copy);
    const QByteArray to = QFile::encodeName(backup);
    if (std::rename(from.constData(), to.constData()) != 0) {
        QFile::remove(copy);
        return {errnum::PathFileAccess,
                QStringLiteral("The backup copy cannot be put in place: ") + backup};
    }
    // The rename is on disk only once its folder is.
    const int dir = ::open(QFile::encodeName(QFileInfo(backup).absolutePath()).constData(),
                           O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir >= 0) {
        ::fsync(dir);
        ::close(dir);
    }
    return Error::none();
}

// The writers' hold of the maintenance, given up however it ends.
class WritersHeld {
public:
    explicit WritersHeld(Connection& cn) : m_cn(cn) {}
    ~WritersHeld() {
        if (m_held)
            m_cn.execute(m_cn.dialect().holdWriters().at(1));
    }
    WritersHeld(const WritersHeld&) = delete;
    WritersHeld& operator=(const WritersHeld&) = delete;
    bool take() {
        m_held = m_cn.execute(m_cn.dialect().holdWriters().at(0));
        return m_held;
    }

private:
    Connection& m_cn;
    bool m_held = false;
};

} // namespace

std::optional<int> otherCopies(Connection& cn) {
    int others = 0;
    const bool read = cn.forEachRow(
        QStringLiteral("SELECT count(*) FROM pg_stat_activity WHERE datname = current_database() "
                       "AND application_name = ? AND pid <> pg_backend_pid()"),
        {kServerApplicationName},
        [&others](const QSqlQuery& row) { others = row.value(0).toInt(); });
    if (!read)
        return std::nullopt;
    return others;
}

QString backupPathFor(const QString&) {
    return compaction::backupPath();
}

void setFailureInjection(std::function<Error(Step)> inject) {
    injection() = std::move(inject);
}

Result compactServer(Database& db, const std::function<void(Step)>& beforeStep) {
    Connection& cn = db.cnMain;
    const auto begin = [&beforeStep](Step step) {
        if (beforeStep)
            beforeStep(step);
        return injection() ? injection()(step) : Error::none();
    };

    // From here on no copy of the program writes, so that the backup copy,
    // and the rows after the server's maintenance, can be held against the
    // rows as they are now.
    if (const Error e = begin(Step::Lock); e.isError())
        return failed(e);
    const std::optional<bool> permitted = mayMaintain(cn);
    if (!permitted)
        return failed(cn.lastError());
    if (!*permitted)
        return failed(
            {errnum::PermissionDenied,
             QStringLiteral("Only the owner of the tables may maintain them: ") + cn.serverName()});
    WritersHeld writers(cn);
    if (!writers.take())
        return failed(cn.lastError());
    const std::optional<int> others = otherCopies(cn);
    if (!others)
        return failed(cn.lastError());
    if (*others > 0)
        return failed({errnum::PermissionDenied,
                       QStringLiteral("The database is in use by another copy of the program: ") +
                           cn.serverName()});

    if (const Error e = begin(Step::Backup); e.isError())
        return failed(e);
    const QString backup = backupPathFor(db.databasePath());
    const QString copy = backup + QStringLiteral(".new");
    QFile::remove(copy);
    if (!cn.execute(cn.dialect().beginSnapshot()))
        return failed(cn.lastError());
    const migration::Result copied = migration::copyToNewFile(cn, copy);
    cn.execute(QStringLiteral("COMMIT"));
    if (!copied.ok)
        return failed(copied.error);
    if (const Error e = placeBackup(copy, backup); e.isError())
        return failed(e);

    if (const Error e = begin(Step::Compact); e.isError())
        return failed(e);
    if (!cn.execute(QStringLiteral("VACUUM (ANALYZE)")))
        return failed(cn.lastError());

    if (const Error e = begin(Step::Check); e.isError())
        return failed(e);
    const std::optional<migration::Figures> after = migration::figuresOf(cn);
    if (!after)
        return failed(cn.lastError());
    if (const QStringList differ = migration::differences(copied.source, *after); !differ.isEmpty())
        return failed(
            {errnum::Unspecified, QStringLiteral("The rows changed during the maintenance of ") +
                                      cn.serverName() + QStringLiteral(": ") +
                                      differ.join(QStringLiteral("; ")) + u'.'});
    return {};
}

void compactInUse(Database& db, const std::function<void(std::optional<Step>)>& progress) {
    const Result result = compactServer(db, [&progress](Step step) {
        if (progress)
            progress(step);
    });
    if (progress)
        progress(std::nullopt);
    if (result.outcome == Result::Failed) {
        if (!result.reported)
            compaction::reportFailure(result.error);
        return;
    }
    showMessage(QStringLiteral("Database compression and repair completed."), Prompt::Buttons::Ok,
                Prompt::Icon::None, QStringLiteral("Notice"));
}

} // namespace quillory::servermaintenance
