#include "data/file/compact.h"

#include "data/connection.h"
#include "data/database.h"
#include "data/file/signature.h"
#include "data/server/servermaintenance.h"
#include "errors/handleerror.h"
#include "errors/prompt.h"

#include <QFileInfo>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryFile>
#include <QUrl>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace quillory::compaction {

namespace {

std::function<Error(Step)>& injection() {
    static std::function<Error(Step)> inject;
    return inject;
}

bool isPermission(int error) {
    return error == EACCES || error == EPERM || error == EROFS;
}

Error systemError(int error, const QString& what) {
    return {isPermission(error) ? errnum::PermissionDenied : errnum::Unspecified,
            what + QStringLiteral(": ") + QString::fromLocal8Bit(std::strerror(error))};
}

// The user must be able to write the file and its folder, where SQLite keeps
// its journal while it rebuilds the file.
Error checkWritable(const QString& path) {
    for (const QString& target : {path, QFileInfo(path).absolutePath()}) {
        if (::access(QFile::encodeName(target).constData(), W_OK) != 0) {
            const int error = errno;
            return {errnum::PermissionDenied, target + QStringLiteral(" cannot be written (") +
                                                  QString::fromLocal8Bit(std::strerror(error)) +
                                                  QStringLiteral("); ask for write permission.")};
        }
    }
    return Error::none();
}

// Copies the file at `from` whole into the open file `to`, flushed to disk.
Error copyInto(const QString& from, QFile& to) {
    const int source = ::open(QFile::encodeName(from).constData(), O_RDONLY | O_CLOEXEC);
    if (source < 0)
        return systemError(errno, QStringLiteral("Cannot read ") + from);
    const int target = to.handle();
    QByteArray buffer(1 << 20, Qt::Uninitialized);
    Error error;
    while (!error.isError()) {
        const ssize_t n = ::read(source, buffer.data(), size_t(buffer.size()));
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            error = systemError(errno, QStringLiteral("Cannot read ") + from);
            break;
        }
        if (n == 0)
            break;
        for (ssize_t done = 0; done < n;) {
            const ssize_t w = ::write(target, buffer.constData() + done, size_t(n - done));
            if (w < 0 && errno == EINTR)
                continue;
            if (w < 0) {
                error = systemError(errno, QStringLiteral("Cannot write ") + to.fileName());
                break;
            }
            done += w;
        }
    }
    ::close(source);
    if (!error.isError() && ::fsync(target) != 0)
        error = systemError(errno, QStringLiteral("Cannot write ") + to.fileName());
    return error;
}

// The full integrity check (pages, and every index against its table) of a
// file opened read-only, apart from the program's connection: damage found
// in a copy of the database is damage of the database at `location`.
Error checkCopy(const QString& copy, const QString& location) {
    static std::atomic<int> counter{0};
    const QString name = QStringLiteral("quillory-check-%1").arg(++counter);
    QStringList problems;
    QSqlError failure;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
        db.setDatabaseName(QUrl::fromLocalFile(copy).toString(QUrl::FullyEncoded) +
                           QStringLiteral("?mode=ro"));
        db.setConnectOptions(QStringLiteral("QSQLITE_OPEN_URI"));
        if (db.open()) {
            QSqlQuery check(db);
            if (check.exec(QStringLiteral("PRAGMA integrity_check"))) {
                while (check.next())
                    problems.append(check.value(0).toString());
            }
            failure = check.lastError();
        } else {
            failure = db.lastError();
        }
        db.close();
    }
    QSqlDatabase::removeDatabase(name);
    if (failure.isValid())
        problems.append(failure.databaseText().isEmpty() ? failure.text() : failure.databaseText());
    if (problems == QStringList{QStringLiteral("ok")})
        return Error::none();
    return {errnum::DatabaseDamaged,
            problems.join(QStringLiteral("; ")) + QStringLiteral(" (") + location + u')', location};
}

// Makes the new backup copy of the database at `path` in its own folder and,
// once it is whole and checked, keeps it as the newest copy, the two before
// it as the older ones.
Error makeBackup(const QString& path) {
    bool permission = false;
    if (const QString why = backupplace::makeFolderFor(path, &permission); !why.isEmpty())
        return {permission ? errnum::PermissionDenied : errnum::Unspecified, why};
    // A name of its own, readable by this user alone.
    QTemporaryFile copy(backupplace::newCopyTemplate(path));
    if (!copy.open())
        return {errnum::Unspecified, QStringLiteral("Cannot make a backup copy in ") +
                                         backupplace::folderFor(path) + QStringLiteral(": ") +
                                         copy.errorString()};
    if (const Error e = copyInto(path, copy); e.isError())
        return e;
    copy.close();
    if (const Error e = checkCopy(copy.fileName(), path); e.isError())
        return e;
    // Kept, or removed on a failure, by keepAsNewest.
    copy.setAutoRemove(false);
    if (const QString why = backupplace::keepAsNewest(copy.fileName(), path, &permission);
        !why.isEmpty())
        return {permission ? errnum::PermissionDenied : errnum::Unspecified, why};
    return Error::none();
}

// The failure the maintenance connection met. It holds its reports, so that
// no box shows while the file is held for maintenance: damage is returned as
// damage still to report.
Error failureOf(const Connection& cn, const QString& path) {
    Error error = cn.lastError();
    if (error.number == errnum::DamageReported)
        error = {errnum::DatabaseDamaged, error.description + QStringLiteral(" (") + path + u')',
                 path};
    return error;
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

// The rebuilt database: whole, and holding as many rows in each table as
// before. Anything else is damage, and the backup copy the way back.
Error checkRebuilt(Connection& cn, const QString& path, const QStringList& before) {
    QStringList problems;
    if (!cn.forEachRow(
            QStringLiteral("PRAGMA integrity_check"), {},
            [&problems](const QSqlQuery& row) { problems.append(row.value(0).toString()); }))
        return failureOf(cn, path);
    if (problems != QStringList{QStringLiteral("ok")})
        return {errnum::DatabaseDamaged,
                problems.join(QStringLiteral("; ")) + QStringLiteral(" (") + path + u')', path};
    const std::optional<QStringList> after = tableCounts(cn);
    if (!after)
        return failureOf(cn, path);
    if (*after != before)
        return {errnum::DatabaseDamaged,
                QStringLiteral("after the compaction the tables do not hold the rows they held "
                               "before (before: ") +
                    before.join(QStringLiteral(", ")) + QStringLiteral("; after: ") +
                    after->join(QStringLiteral(", ")) + QStringLiteral(") (") + path + u')',
                path};
    return Error::none();
}

} // namespace

QString stepText(Step step) {
    switch (step) {
    case Step::Lock:
        return QStringLiteral("Taking the database for maintenance...");
    case Step::Backup:
        return QStringLiteral("Making and checking the backup copy...");
    case Step::Compact:
        return QStringLiteral("Compacting the database...");
    case Step::Check:
        return QStringLiteral("Checking the compacted database...");
    }
    return {};
}

void setFailureInjection(std::function<Error(Step)> inject) {
    injection() = std::move(inject);
}

Error beginStep(Step step, const std::function<void(Step)>& beforeStep) {
    if (beforeStep)
        beforeStep(step);
    return injection() ? injection()(step) : Error::none();
}

Result CompactDatabase(const QString& path, bool backup,
                       const std::function<void(Step)>& beforeStep) {
    if (path.isEmpty() || !QFileInfo(path).isFile())
        return {Result::NoDatabase, {}, false};
    const auto begin = [&beforeStep](Step step) { return beginStep(step, beforeStep); };
    const auto failed = [&path](Error error, bool reported = false) {
        if (error.location.isEmpty())
            error.location = path;
        return Result{Result::Failed, error, reported};
    };

    // Nobody else may use the file meanwhile: a copy of the program that has
    // it open would write between the backup copy and the rebuild.
    if (const Error e = begin(Step::Lock); e.isError())
        return failed(e);
    if (const Error e = checkWritable(path); e.isError())
        return failed(e);
    DatabaseUseLock lock;
    if (!lock.acquireExclusive(path))
        return failed(
            {errnum::PermissionDenied,
             QStringLiteral("The database is in use by another copy of the program: ") + path});
    // The header is hidden while no copy runs; SQLite needs it to read the file.
    if (SetDatabaseSignature(path, 2) == SignatureResult::Failed)
        return failed({errnum::PermissionDenied, QStringLiteral("Cannot write ") + path}, true);
    // Opening plays back what a program that ended in the middle of a write
    // left in the journal, so that the copy below is of a whole database.
    Connection database;
    database.holdReports(true);
    if (!database.open(path))
        return failed(database.lastError());

    if (backup) {
        if (const Error e = begin(Step::Backup); e.isError())
            return failed(e);
        if (const Error e = makeBackup(path); e.isError())
            return failed(e);
    }

    if (const Error e = begin(Step::Compact); e.isError())
        return failed(e);
    const std::optional<QStringList> counts = tableCounts(database);
    if (!counts)
        return failed(failureOf(database, path));
    // In place, through SQLite's journal: all of it or none of it.
    if (!database.execute(QStringLiteral("VACUUM")))
        return failed(failureOf(database, path));

    if (const Error e = begin(Step::Check); e.isError())
        return failed(e);
    if (const Error e = checkRebuilt(database, path, *counts); e.isError())
        return failed(e);
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
        HandleError(Error{errnum::DamagedNotWritten, QString(), db.databasePath()});
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
