#include "core/backupplace.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QUrl>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace quillory::backupplace {

namespace {

bool isPermission(int error) {
    return error == EACCES || error == EPERM || error == EROFS;
}

bool isUri(const QString& location) {
    return location.contains(QStringLiteral("://"));
}

// The database's name as a folder name can hold it: letters, digits and
// ". _ -", everything else as "_", and not too long.
QString nameOf(const QString& location) {
    const QString last =
        isUri(location) ? QUrl(location).path().section(u'/', -1) : location.section(u'/', -1);
    QString name;
    for (const QChar c : last.left(64))
        name += c.isLetterOrNumber() || c == u'.' || c == u'_' || c == u'-' ? c : u'_';
    if (name.isEmpty() || name == u'.' || name == QStringLiteral(".."))
        return QStringLiteral("database");
    return name;
}

QString hashOf(const QString& location) {
    const QString whole = isUri(location) ? location : QDir::cleanPath(location);
    return QString::fromLatin1(
        QCryptographicHash::hash(whole.toUtf8(), QCryptographicHash::Sha256).toHex().left(8));
}

// Makes `path` a private folder of this user, or says why it cannot be one.
QString makePrivateFolder(const QString& path, bool* permission) {
    const QByteArray name = QFile::encodeName(path);
    if (::mkdir(name.constData(), 0700) != 0 && errno != EEXIST) {
        const int error = errno;
        if (permission)
            *permission = isPermission(error);
        return QStringLiteral("Cannot make the folder for backup copies ") + path +
               QStringLiteral(": ") + QString::fromLocal8Bit(std::strerror(error));
    }
    struct stat info = {};
    if (::lstat(name.constData(), &info) != 0 || !S_ISDIR(info.st_mode) ||
        info.st_uid != ::geteuid())
        return QStringLiteral("The folder for backup copies ") + path +
               QStringLiteral(" is not a folder of this user's own; it is not used.");
    if ((info.st_mode & 077) != 0 && ::chmod(name.constData(), 0700) != 0)
        return QStringLiteral("Cannot make the folder for backup copies ") + path +
               QStringLiteral(" private: ") + QString::fromLocal8Bit(std::strerror(errno));
    return {};
}

} // namespace

QString userFolder() {
    return QDir(QDir::tempPath()).filePath(QStringLiteral("quillory-%1").arg(::geteuid()));
}

QString folderFor(const QString& location) {
    return userFolder() + u'/' + nameOf(location) + u'-' + hashOf(location);
}

QString backupPath(const QString& location) {
    return folderFor(location) + QStringLiteral("/backup.mdb");
}

QString olderBackupPath(const QString& location, int age) {
    return folderFor(location) + QStringLiteral("/backup.%1.mdb").arg(age);
}

QString newCopyTemplate(const QString& location) {
    return folderFor(location) + QStringLiteral("/backup.new-XXXXXX.mdb");
}

QString makeFolderFor(const QString& location, bool* permission) {
    if (permission)
        *permission = false;
    for (const QString& folder : {userFolder(), folderFor(location)}) {
        if (const QString why = makePrivateFolder(folder, permission); !why.isEmpty())
            return why;
    }
    return {};
}

QString keepAsNewest(const QString& copy, const QString& location, bool* permission) {
    if (permission)
        *permission = false;
    const auto cannotKeep = [&copy, permission](const QString& what) {
        const int error = errno;
        QFile::remove(copy);
        if (permission)
            *permission = isPermission(error);
        return QStringLiteral("Cannot keep the backup copy ") + what + QStringLiteral(": ") +
               QString::fromLocal8Bit(std::strerror(error));
    };
    for (int age = kKeptCopies - 1; age >= 1; --age) {
        const QString newer = age == 1 ? backupPath(location) : olderBackupPath(location, age - 1);
        if (std::rename(QFile::encodeName(newer).constData(),
                        QFile::encodeName(olderBackupPath(location, age)).constData()) != 0 &&
            errno != ENOENT)
            return cannotKeep(newer);
    }
    const QString newest = backupPath(location);
    if (std::rename(QFile::encodeName(copy).constData(), QFile::encodeName(newest).constData()) !=
        0)
        return cannotKeep(newest);
    // The renames are on disk only once their folder is.
    const int folder = ::open(QFile::encodeName(folderFor(location)).constData(),
                              O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folder >= 0) {
        ::fsync(folder);
        ::close(folder);
    }
    return {};
}

} // namespace quillory::backupplace
