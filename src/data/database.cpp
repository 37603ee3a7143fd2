#include "data/database.h"

#include "core/environment.h"
#include "data/file/networkshare.h"
#include "data/file/schema.h"
#include "data/server/serveraddress.h"
#include "errors/handleerror.h"
#include "errors/prompt.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <optional>
#include <unistd.h>

namespace quillory {

namespace {

// Far more than any path (PATH_MAX is 4096 bytes), so that a damaged
// NetworkPath.sfe cannot keep the program busy reading it.
constexpr qsizetype kLongestLine = 16 * 1024;

// The error number of a failed write, from the system's reason.
std::int64_t writeErrorNumber(int error) {
    switch (error) {
    case ENOSPC:
    case EDQUOT:
    case EFBIG:
        return errnum::DiskFull;
    case EACCES:
    case EPERM:
    case EROFS:
        return errnum::PermissionDenied;
    default:
        return errnum::PathFileAccess;
    }
}

// Writes `bytes` as the whole of `path`: under another name first, synced to
// disk, then renamed into place, so that a copy starting at the same moment
// never reads it half written and a failed write (a full disk) leaves no
// empty file behind. Every step is checked.
std::optional<Error> writeWholeFile(const QString& path, const QByteArray& bytes) {
    QSaveFile file(path);
    const auto failed = [&](int error) -> std::optional<Error> {
        file.cancelWriting();
        const std::int64_t number = writeErrorNumber(error);
        if (number == errnum::PermissionDenied)
            return Error{number, path + QStringLiteral(" cannot be written; ask for write "
                                                       "permission.")};
        return Error{number, QStringLiteral("Cannot write ") + path + QStringLiteral(": ") +
                                 QString::fromLocal8Bit(std::strerror(error))};
    };
    // Unbuffered, so that a write the disk refuses fails here and not in a
    // flush whose failure would go unnoticed.
    errno = 0;
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        return failed(errno ? errno : EIO);
    if (file.write(bytes) != bytes.size())
        return failed(errno ? errno : EIO);
    if (::fsync(file.handle()) != 0)
        return failed(errno);
    errno = 0;
    if (!file.commit())
        return failed(errno ? errno : EIO);
    return std::nullopt;
}

// Why the database file at `path` cannot be used, said so that the user
// knows what to fix: a file missing or a folder in its place (`named` tells
// where the path came from), or a file this user may not write. The program
// writes the file's header and saves changes through a journal beside it, so
// both the file and its folder must be writable.
std::optional<Error> unusableDatabase(const QString& path, const QString& named) {
    const QFileInfo file(path);
    if (!file.exists())
        return Error{errnum::FileNotFound, QStringLiteral("File not found: ") + path + named};
    if (file.isDir())
        return Error{errnum::FileNotFound,
                     path + QStringLiteral(" is a folder, not the database file") + named + u'.'};
    const QByteArray name = QFile::encodeName(path);
    if (::access(name.constData(), R_OK) != 0)
        return Error{errnum::PermissionDenied,
                     path + QStringLiteral(" cannot be read; ask for read and write permission.")};
    if (::access(name.constData(), W_OK) != 0)
        return Error{errnum::PermissionDenied,
                     errno == EROFS ? path + QStringLiteral(" cannot be written: it is on a "
                                                            "read-only file system; ask for "
                                                            "write permission.")
                                    : path + QStringLiteral(" cannot be written; ask for write "
                                                            "permission.")};
    const QString folder = file.absolutePath();
    if (::access(QFile::encodeName(folder).constData(), W_OK) != 0)
        return Error{errnum::PermissionDenied,
                     QStringLiteral("The folder ") + folder +
                         QStringLiteral(" cannot be written; ask for write permission. The "
                                        "program keeps the journal of ") +
                         file.fileName() + QStringLiteral(" there while it saves changes.")};
    return std::nullopt;
}

// Makes the folder that is to hold `path` when it is missing (an installed
// copy's folders in the user's home, on a first start).
std::optional<Error> makeFolderOf(const QString& path) {
    const QString folder = QFileInfo(path).absolutePath();
    if (environment::makeUserDirectory(folder))
        return std::nullopt;
    const int error = errno;
    return Error{writeErrorNumber(error), QStringLiteral("Cannot make the folder ") + folder +
                                              QStringLiteral(": ") +
                                              QString::fromLocal8Bit(std::strerror(error))};
}

// Makes the empty, marked database at `path` unless one is there: whole under
// another name first, then moved into place without replacing anything, so
// that a start cut short leaves no half-made database, and two copies
// starting at once both end up using the one that got there first.
std::optional<Error> provideEmptyDatabase(const QString& path) {
    if (QFile::exists(path))
        return std::nullopt;
    if (const std::optional<Error> error = makeFolderOf(path))
        return error;
    const QString making = path + QStringLiteral(".new-") + QString::number(::getpid());
    QFile::remove(making);
    Error error;
    if (!createDatabaseFile(making, &error)) {
        QFile::remove(making);
        return error;
    }
    const QByteArray from = QFile::encodeName(making);
    const QByteArray to = QFile::encodeName(path);
    int moved = ::renameat2(AT_FDCWD, from.constData(), AT_FDCWD, to.constData(), RENAME_NOREPLACE);
    // File systems without that kind of rename (NFS among them) do the same
    // with a second name, which is never put over an existing file either.
    if (moved != 0 && (errno == EINVAL || errno == ENOSYS))
        moved = ::link(from.constData(), to.constData());
    if (moved != 0 && errno != EEXIST) {
        const int reason = errno;
        QFile::remove(making);
        return Error{writeErrorNumber(reason), QStringLiteral("Cannot write ") + path +
                                                   QStringLiteral(": ") +
                                                   QString::fromLocal8Bit(std::strerror(reason))};
    }
    QFile::remove(making);
    return std::nullopt;
}

} // namespace

QString readFirstField(const QByteArray& bytes) {
    // Only the first line counts, and only as far as a path can reach. A CR
    // ends it as a LF does, quoted or not (a file saved with CR line ends).
    QByteArrayView line = QByteArrayView(bytes).first(std::min(bytes.size(), kLongestLine));
    for (const char end : {'\n', '\r'}) {
        const qsizetype lineEnd = line.indexOf(end);
        if (lineEnd >= 0)
            line = line.first(lineEnd);
    }
    const QString text = QString::fromUtf8(line);
    qsizetype i = 0;
    while (i < text.size() && (text[i] == u' ' || text[i] == u'\t'))
        ++i;
    if (i < text.size() && text[i] == u'"') {
        // Runs to the closing quote; a doubled quote inside stands for one.
        QString field;
        for (++i; i < text.size(); ++i) {
            if (text[i] != u'"') {
                field += text[i];
            } else if (i + 1 < text.size() && text[i + 1] == u'"') {
                field += u'"';
                ++i;
            } else {
                break;
            }
        }
        return field;
    }
    qsizetype end = i;
    while (end < text.size() && text[end] != u',')
        ++end;
    return text.mid(i, end - i);
}

QString readLocation(const QByteArray& bytes) {
    // A server's URI may hold commas (several hosts); it is never quoted.
    QByteArray line = bytes.left(kLongestLine);
    for (const char end : {'\n', '\r'})
        if (const qsizetype lineEnd = line.indexOf(end); lineEnd >= 0)
            line.truncate(lineEnd);
    const QString trimmed = QString::fromUtf8(line).trimmed();
    if (isServerLocation(trimmed))
        return trimmed;
    return readFirstField(bytes);
}

QByteArray networkPathLine(const QString& path) {
    // Quoted when the plain form would not read back whole: a comma ends an
    // unquoted field, leading blanks are skipped, and a quote starts a
    // quoted one.
    const bool quoted = path.contains(u',') || path.contains(u'"') || path.startsWith(u' ') ||
                        path.startsWith(u'\t');
    QString text = path;
    if (quoted)
        text = u'"' + text.replace(QStringLiteral("\""), QStringLiteral("\"\"")) + u'"';
    return (text + QStringLiteral("\r\n")).toUtf8();
}

Database::~Database() {
    CloseDatabase();
}

bool Database::OpenDatabase() {
    const auto failed = [](const Error& error) {
        HandleError(error);
        showMessage(QStringLiteral("An error was encountered while initializing the database."));
        return false;
    };
    rsMain.close();
    cnMain.close();
    m_useLock.release();

    // The database named on the command line for this run, else the one
    // NetworkPath.sfe names (written first, on a first start). A relative
    // path is taken from the folder of the default database (the program
    // directory for a copy that keeps its files beside itself), or for one
    // named on the command line from the folder the program was started in.
    const auto resolved = [](const QString& named, const QString& relativeTo) {
        return named.isEmpty() || isServerLocation(named) || QDir::isAbsolutePath(named)
                   ? named
                   : QDir(relativeTo).absoluteFilePath(named);
    };
    const QString networkPath = environment::networkPathFile();
    QString location;
    QString named; // where the location came from, for the messages
    if (const std::optional<environment::NamedDatabase> given = environment::databaseOverride()) {
        strDataPath = given->text;
        location = resolved(strDataPath, given->relativeTo);
        named = QStringLiteral(" (named on the command line)");
    } else if (!QFile::exists(networkPath)) {
        strDataPath.clear();
        location = environment::defaultDatabasePath();
        if (location.contains(u'\n') || location.contains(u'\r'))
            return failed(
                {errnum::PathFileAccess,
                 QStringLiteral("The default database's path holds a line break: ") + location});
        // An installed copy makes its empty database in the user's folder on
        // its first start, as the build does beside the program.
        if (environment::isInstalled())
            if (const std::optional<Error> error = provideEmptyDatabase(location))
                return failed(*error);
        if (const std::optional<Error> error = makeFolderOf(networkPath))
            return failed(*error);
        if (const std::optional<Error> error =
                writeWholeFile(networkPath, networkPathLine(location)))
            return failed(*error);
    } else {
        if (QFileInfo(networkPath).isDir())
            return failed({errnum::FileNotFound,
                           networkPath + QStringLiteral(" is a folder, not a file naming the "
                                                        "database.")});
        QFile sfe(networkPath);
        if (!sfe.open(QIODevice::ReadOnly))
            return failed({errnum::PermissionDenied,
                           networkPath + QStringLiteral(" cannot be read; ask for read "
                                                        "permission.")});
        const QByteArray start = sfe.read(kLongestLine + 1);
        sfe.close();
        if (start.size() > kLongestLine && !start.first(kLongestLine).contains('\n'))
            return failed(
                {errnum::FileNotFound, networkPath + QStringLiteral(" names no usable database: "
                                                                    "its first line is longer "
                                                                    "than any path.")});
        strDataPath = readLocation(start);
        if (strDataPath.trimmed().isEmpty())
            return failed({errnum::FileNotFound,
                           networkPath + QStringLiteral(" names no database: its first line "
                                                        "holds no path.")});
        named = QStringLiteral(" (named in ") + networkPath + u')';
        location = resolved(strDataPath, environment::dataDirectory());
    }
    if (const std::optional<Error> error = openLocation(location, named))
        return failed(*error);
    return true;
}

std::optional<Error> Database::openLocation(const QString& location, const QString& named) {
    rsMain.close();
    cnMain.close();
    m_useLock.release();
    if (isServerLocation(location))
        return openServer(location);

    // A relative path is taken from the default database's folder (the
    // program directory for a copy that keeps its files beside itself),
    // wherever the program was started from.
    m_path = QDir::isAbsolutePath(location)
                 ? location
                 : QDir(environment::dataDirectory()).absoluteFilePath(location);
    // Said before the header is touched: a file that cannot be written would
    // otherwise give the maintenance box, whose advice to restore a backup
    // copy is wrong for a good file.
    if (const std::optional<Error> error = unusableDatabase(m_path, named))
        return error;
    if (!m_useLock.acquire(m_path))
        return Error{errnum::PermissionDenied,
                     m_path + QStringLiteral(" cannot be read; ask for read and write "
                                             "permission.")};
    SetDatabaseSignature(m_path, 2);
    if (!cnMain.open(m_path)) {
        const Error error = cnMain.lastError();
        m_useLock.release();
        return error;
    }
    networkshare::noteIfOnShare(m_path);
    // Damage met here has been reported; the program goes on, reading what it
    // can and writing nothing.
    if (!rsMain.open(QStringLiteral("Select * From tblcustomer WHERE id=000"), cnMain) &&
        rsMain.lastError().number != errnum::DamageReported) {
        const Error error = rsMain.lastError();
        cnMain.close();
        m_useLock.release();
        return error;
    }
    return std::nullopt;
}

bool Database::RefreshRecordset(Recordset& rs, const QString& sql, const QVariantList& params) {
    if (rs.open(sql, cnMain, params))
        return true;
    reportRefreshFailure(rs.lastError());
    return false;
}

void Database::reportRefreshFailure(const Error& error) {
    HandleError(error);
    // Damage or a lost server connection has been reported once, when it was
    // found: nothing to add.
    if (error.number == errnum::DamageReported || error.number == errnum::ConnectionLostReported)
        return;
    showMessage(QStringLiteral("Error refreshing data.  \r\nA problem was encountered while "
                               "accessing the database."),
                Prompt::Buttons::Ok, Prompt::Icon::None, QStringLiteral("Data Access Error"));
}

void Database::CloseDatabase() {
    rsMain.close();
    cnMain.close();
    if (!m_useLock.isHeld())
        return;
    // A damaged file is left exactly as it is, header included.
    if (cnMain.isDamaged()) {
        m_useLock.release();
        return;
    }
    // The exclusive lock is held for the marker's write alone: a copy that
    // starts meanwhile waits for that write, never for a box this one shows.
    SignatureResult marked = SignatureResult::NoMode;
    if (m_useLock.releaseAndTryLast())
        marked = writeSignature(m_path, 1);
    m_useLock.release();
    if (marked == SignatureResult::Failed)
        showMaintenanceMessage();
}

} // namespace quillory
