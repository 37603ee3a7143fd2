#include "data/compact.h"

#include "data/connection.h"
#include "data/database.h"
#include "data/servermaintenance.h"
#include "data/signature.h"
#include "errors/handleerror.h"
#include "errors/prompt.h"

#include <QDir>
#include <QFileInfo>
#include <QSaveFile>
#include <QSqlQuery>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace quillory::compaction {

namespace {

std::function<Error(Step)>& injection() {
    static std::function<Error(Step)> inject;
    return inject;
}

Error permissionDenied(const QString& path) {
    return {errnum::PermissionDenied, QStringLiteral("Permission denied: ") + path};
}

Error fileError(const QFileDevice& file, const QString& path) {
    if (file.error() == QFileDevice::PermissionsError)
        return permissionDenied(path);
    return {errnum::Unspecified, file.errorString() + QStringLiteral(": ") + path};
}

void syncDirectoryOf(const QString& path);

// Copies a file whole under a temporary name beside `to`, flushed to disk,
// then renames it over `to`: `to` is the old file or the complete new one,
// never anything in between.
Error copyAtomically(const QString& from, const QString& to) {
    QFile source(from);
    if (!source.open(QIODevice::ReadOnly))
        return fileError(source, from);
    QSaveFile target(to);
    if (!target.open(QIODevice::WriteOnly))
        return fileError(target, to);
    QByteArray buffer(1 << 20, Qt::Uninitialized);
    while (true) {
        const qint64 n = source.read(buffer.data(), buffer.size());
        if (n < 0) {
            target.cancelWriting();
            return fileError(source, from);
        }
        if (n == 0)
            break;
        if (target.write(buffer.constData(), n) != n) {
            const Error error = fileError(target, to);
            target.cancelWriting();
            return error;
        }
    }
    if (!target.commit())
        return fileError(target, to);
    // The rename itself is on disk only once its directory is.
    syncDirectoryOf(to);
    return Error::none();
}

void syncDirectoryOf(const QString& path) {
    const int dir = ::open(QFile::encodeName(QFileInfo(path).absolutePath()).constData(),
                           O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir >= 0) {
        ::fsync(dir);
        ::close(dir);
    }
}

// Puts the compacted copy in place of the database. On the same file system
// that is one rename of the copy (flushed to disk first, with the database's
// permissions); elsewhere the copy is copied beside the database first.
Error replaceWith(const QString& compacted, const QString& path) {
    const QByteArray from = QFile::encodeName(compacted);
    const QByteArray to = QFile::encodeName(path);
    const int fd = ::open(from.constData(), O_RDWR | O_CLOEXEC);
    if (fd >= 0) {
        struct stat original = {};
        const bool ready = ::stat(to.constData(), &original) == 0 &&
                           ::fchmod(fd, original.st_mode & 07777) == 0 && ::fsync(fd) == 0;
        ::close(fd);
        if (ready && ::rename(from.constData(), to.constData()) == 0) {
            syncDirectoryOf(path);
            return Error::none();
        }
    }
    return copyAtomically(compacted, path);
}

// The row count of every table, as "name=count" texts in name order.
std::optional<QStringList> tableCounts(Connection& cn) {
    QStringList tables;
    if (!cn.forEachRow(QStringLiteral("SELECT name FROM sqlite_master WHERE type='table' "
                                      "ORDER BY name"),
                       {},
                       [&tables](const QSqlQuery& row) { tables.append(row.value(0).toString()); }))
        return std::nullopt;
    QStringList counts;
    for (const QString& table : tables) {
        // The names come from the file's own catalogue; quoted as identifiers.
        const QString quoted = u'"' + QString(table).replace(u'"', QStringLiteral("\"\"")) + u'"';
        if (!cn.forEachRow(QStringLiteral("SELECT count(*) FROM ") + quoted, {},
                           [&](const QSqlQuery& row) {
                               counts.append(table + u'=' + row.value(0).toString());
                           }))
            return std::nullopt;
    }
    return counts;
}

Error checkCopy(const QString& copy, const QStringList& expectedCounts) {
    Connection cn;
    if (!cn.open(copy))
        return cn.lastError();
    QStringList problems;
    if (!cn.forEachRow(
            QStringLiteral("PRAGMA integrity_check"), {},
            [&problems](const QSqlQuery& row) { problems.append(row.value(0).toString()); }))
        return cn.lastError();
    if (problems != QStringList{QStringLiteral("ok")})
        return {errnum::Unspecified, QStringLiteral("The compacted copy failed its integrity "
                                                    "check: ") +
                                         problems.join(QStringLiteral("; "))};
    const std::optional<QStringList> counts = tableCounts(cn);
    if (!counts)
        return cn.lastError();
    if (*counts != expectedCounts)
        return {errnum::Unspecified,
                QStringLiteral("The compacted copy does not hold the same rows as the database.")};
    return Error::none();
}

// Whether the database reads whole. A damaged one must not be copied over the
// last good backup copy.
Error checkSource(const QString& path) {
    Connection cn;
    if (!cn.open(path))
        return cn.lastError();
    QStringList problems;
    if (!cn.forEachRow(QStringLiteral("PRAGMA quick_check"), {}, [&problems](const QSqlQuery& row) {
            problems.append(row.value(0).toString());
        }))
        return cn.lastError();
    if (problems != QStringList{QStringLiteral("ok")})
        return {errnum::DatabaseDamaged,
                problems.join(QStringLiteral("; ")) + QStringLiteral(" (") + path + u')'};
    return Error::none();
}

Result failed(const Error& error, bool reported = false) {
    return {Result::Failed, error, reported};
}

} // namespace

QString stepText(Step step) {
    switch (step) {
    case Step::Lock:
        return QStringLiteral("Taking the database for maintenance...");
    case Step::Backup:
        return QStringLiteral("Making the backup copy...");
    case Step::Compact:
        return QStringLiteral("Compacting the database...");
    case Step::Check:
        return QStringLiteral("Checking the compacted copy...");
    case Step::Replace:
        return QStringLiteral("Putting the compacted copy in place...");
    }
    return {};
}

void setFailureInjection(std::function<Error(Step)> inject) {
    injection() = std::move(inject);
}

Result CompactDatabase(const QString& path, bool backup,
                       const std::function<void(Step)>& beforeStep) {
    if (path.isEmpty() || !QFileInfo(path).isFile())
        return {Result::NoDatabase, {}, false};
    const auto begin = [&beforeStep](Step step) {
        if (beforeStep)
            beforeStep(step);
        return injection() ? injection()(step) : Error::none();
    };
    const QString compacted = compactedPath();

    // Nobody else may use the file while it is replaced: a copy of the
    // program that has it open would go on writing into the old file.
    if (const Error e = begin(Step::Lock); e.isError())
        return failed(e);
    const QFileInfo file(path);
    if (!file.isWritable() || !QFileInfo(file.absolutePath()).isWritable())
        return failed(permissionDenied(path));
    DatabaseUseLock lock;
    if (!lock.acquireExclusive(path))
        return failed(
            {errnum::PermissionDenied,
             QStringLiteral("The database is in use by another copy of the program: ") + path});
    // The header is hidden while no copy runs; SQLite needs it to read the file.
    if (SetDatabaseSignature(path, 2) == SignatureResult::Failed)
        return failed(permissionDenied(path), true);

    if (backup) {
        if (const Error e = begin(Step::Backup); e.isError())
            return failed(e);
        if (const Error e = checkSource(path); e.isError())
            return failed(e);
        if (const Error e = copyAtomically(path, backupPath()); e.isError())
            return failed(e);
    }

    if (const Error e = begin(Step::Compact); e.isError())
        return failed(e);
    QFile::remove(compacted);
    QStringList counts;
    {
        Connection source;
        if (!source.open(path))
            return failed(source.lastError());
        const std::optional<QStringList> read = tableCounts(source);
        if (!read)
            return failed(source.lastError());
        counts = *read;
        if (!source.execute(QStringLiteral("VACUUM INTO ?"), {compacted})) {
            const Error error = source.lastError();
            source.close();
            QFile::remove(compacted);
            return failed(error);
        }
    }
    // A journal left beside the database would be played back into the new
    // file; with the connection closed cleanly there is none.
    for (const QString& suffix : {QStringLiteral("-journal"), QStringLiteral("-wal")}) {
        if (QFileInfo::exists(path + suffix)) {
            QFile::remove(compacted);
            return failed({errnum::Unspecified,
                           QStringLiteral("The database still has a journal: ") + path + suffix});
        }
    }

    const auto dropCopy = [&compacted](const Error& error) {
        QFile::remove(compacted);
        return failed(error);
    };
    if (const Error e = begin(Step::Check); e.isError())
        return dropCopy(e);
    if (const Error e = checkCopy(compacted, counts); e.isError())
        return dropCopy(e);

    if (const Error e = begin(Step::Replace); e.isError())
        return dropCopy(e);
    if (const Error e = replaceWith(compacted, path); e.isError())
        return dropCopy(e);
    QFile::remove(compacted);
    return {};
}

void reportFailure(const Error& error) {
    if (error.number == errnum::PermissionDenied) {
        showMessage(QStringLiteral("Either the database did not close correctly for maintenance, "
                                   "or ") +
                        QStringLiteral("you do not have the needed file permissions to repair the "
                                       "database.  ") +
                        QStringLiteral("Ensure that you have create, delete, modify, and execute "
                                       "rights to the ") +
                        QStringLiteral("directory you installed Brandlewickery."),
                    Prompt::Buttons::Ok, Prompt::Icon::Critical,
                    QStringLiteral("Brandlewickery Maintenance Error!"));
        return;
    }
    HandleError(error);
}

bool compactDatabaseInUse(Database& db, const std::function<void(std::optional<Step>)>& progress) {
    // Rebuilding a damaged file would write to it and replace the backup copy.
    if (db.cnMain.isDamaged()) {
        HandleError(errnum::DamagedNotWritten, QString());
        return true;
    }
    if (showMessage(QStringLiteral("Compress and repair the database?"), Prompt::Buttons::YesNo,
                    Prompt::Icon::None, QStringLiteral("Confirmation Required")) != Prompt::Yes)
        return true;
    if (db.isServer()) {
        servermaintenance::compactInUse(db, progress);
        return true;
    }
    const QString path = db.databasePath();
    db.CloseDatabase();
    const Result result = CompactDatabase(path, true, [&progress](Step step) {
        if (progress)
            progress(step);
    });
    if (progress)
        progress(std::nullopt);
    if (result.outcome == Result::Failed && !result.reported)
        reportFailure(result.error);
    if (!db.OpenDatabase())
        return false;
    const bool damaged = result.error.number == errnum::DatabaseDamaged ||
                         result.error.number == errnum::DamageReported;
    if (result.outcome == Result::Failed && damaged)
        db.cnMain.noteReportedDamage();
    if (result.outcome == Result::Compacted)
        showMessage(QStringLiteral("Database compression and repair completed."),
                    Prompt::Buttons::Ok, Prompt::Icon::None, QStringLiteral("Notice"));
    return true;
}

} // namespace quillory::compaction
