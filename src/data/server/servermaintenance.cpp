#include "data/server/servermaintenance.h"

#include "core/backupplace.h"
#include "data/database.h"
#include "data/migration/migration.h"
#include "data/server/serveraddress.h"
#include "errors/prompt.h"

#include <QFile>
#include <QRegularExpression>
#include <QSqlQuery>
#include <QTemporaryFile>

namespace quillory::servermaintenance {

namespace {

using compaction::Result;
using compaction::Step;

Result failed(const Error& error) {
    // A lost connection is reported by the connection (see compactInUse).
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

// A name of its own for a new copy in the database's folder, where nothing
// is yet.
std::optional<QString> newCopyName(const QString& place, Error* error) {
    QTemporaryFile reserved(backupplace::newCopyTemplate(place));
    if (!reserved.open()) {
        *error = {errnum::Unspecified, QStringLiteral("Cannot make a backup copy in ") +
                                           backupplace::folderFor(place) + QStringLiteral(": ") +
                                           reserved.errorString()};
        return std::nullopt;
    }
    reserved.setAutoRemove(false);
    const QString name = reserved.fileName();
    reserved.close();
    QFile::remove(name);
    return name;
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

QString withoutPassword(const QString& uri) {
    QString text = uri;
    // user:password@ before the host
    static const QRegularExpression userInfo(QStringLiteral("^([a-z]+://[^/@:?]*):[^/@?]*@"),
                                             QRegularExpression::CaseInsensitiveOption);
    text.replace(userInfo, QStringLiteral("\\1@"));
    // password=... among the options after "?"
    static const QRegularExpression option(QStringLiteral("([?&])password=[^&]*(&|$)"));
    text.replace(option, QStringLiteral("\\1"));
    while (text.endsWith(u'&') || text.endsWith(u'?'))
        text.chop(1);
    return text;
}

QString backupPathFor(const QString& uri) {
    return backupplace::backupPath(withoutPassword(uri));
}

Result compactServer(Database& db, const std::function<void(Step)>& beforeStep) {
    Connection& cn = db.cnMain;
    const auto begin = [&beforeStep](Step step) { return compaction::beginStep(step, beforeStep); };

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
    // The copies are kept per user and per database, in a folder named after
    // the server's address (never its password).
    const QString place = withoutPassword(db.databasePath());
    bool permission = false;
    if (const QString why = backupplace::makeFolderFor(place, &permission); !why.isEmpty())
        return failed({permission ? errnum::PermissionDenied : errnum::Unspecified, why});
    Error named;
    const std::optional<QString> copy = newCopyName(place, &named);
    if (!copy)
        return failed(named);
    if (!cn.execute(cn.dialect().beginSnapshot()))
        return failed(cn.lastError());
    const migration::Result copied = migration::copyToNewFile(cn, *copy);
    cn.execute(QStringLiteral("COMMIT"));
    if (!copied.ok)
        return failed(copied.error);
    if (const QString why = backupplace::keepAsNewest(*copy, place, &permission); !why.isEmpty())
        return failed({permission ? errnum::PermissionDenied : errnum::Unspecified, why});

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
    // A lost connection is reported once the progress display has gone.
    db.cnMain.holdReports(true);
    const Result result = compactServer(db, [&progress](Step step) {
        if (progress)
            progress(step);
    });
    if (progress)
        progress(std::nullopt);
    db.cnMain.holdReports(false);
    if (result.outcome == Result::Failed) {
        if (!result.reported)
            compaction::reportFailure(result.error);
        return;
    }
    showMessage(QStringLiteral("Database compression and repair completed."), Prompt::Buttons::Ok,
                Prompt::Icon::None, QStringLiteral("Notice"));
}

} // namespace quillory::servermaintenance
