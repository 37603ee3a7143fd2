#include "data/servermaintenance.h"

#include "core/backupplace.h"
#include "data/database.h"
#include "data/migration.h"
#include "data/serveraddress.h"
#include "errors/prompt.h"

#include <QFile>
#include <QRegularExpression>
#include <QSqlQuery>
#include <QTemporaryFile>

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

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

Error cannotKeep(const QString& copy) {
    return {errnum::PathFileAccess, QStringLiteral("Cannot keep the backup copy ") + copy +
                                        QStringLiteral(": ") +
                                        QString::fromLocal8Bit(std::strerror(errno))};
}

// Keeps a whole, checked copy as the newest backup copy, the two before it as
// the older ones, each in one rename.
Error keepAsNewest(const QString& copy, const QString& place) {
    for (int age = backupplace::kKeptCopies - 1; age >= 1; --age) {
        const QString newer = age == 1 ? backupplace::backupPath(place)
                                       : backupplace::olderBackupPath(place, age - 1);
        const QString older = backupplace::olderBackupPath(place, age);
        if (std::rename(QFile::encodeName(newer).constData(),
                        QFile::encodeName(older).constData()) != 0 &&
            errno != ENOENT) {
            const Error error = cannotKeep(newer);
            QFile::remove(copy);
            return error;
        }
    }
    const QString newest = backupplace::backupPath(place);
    if (std::rename(QFile::encodeName(copy).constData(), QFile::encodeName(newest).constData()) !=
        0) {
        const Error error = cannotKeep(newest);
        QFile::remove(copy);
        return error;
    }
    // The renames are on disk only once their folder is.
    const int dir = ::open(QFile::encodeName(backupplace::folderFor(place)).constData(),
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
    if (const Error e = keepAsNewest(*copy, place); e.isError())
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
