#include "data/file/signature.h"

#include "errors/handleerror.h"
#include "errors/prompt.h"

#include <QFile>

#include <cstring>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace quillory {

namespace {

bool refuseLocks = false;

bool setUseLock(int fd, short type, bool wait) {
    if (refuseLocks) {
        errno = ENOLCK;
        return false;
    }
    struct flock lock = {};
    lock.l_type = type;
    lock.l_whence = SEEK_SET;
    lock.l_start = signature::kUseLockOffset;
    lock.l_len = 1;
    // Open-file-description locks belong to this descriptor alone, so SQLite
    // opening and closing the same file in this process does not drop them.
    int rc;
    do {
        rc = fcntl(fd, wait ? F_OFD_SETLKW : F_OFD_SETLK, &lock);
    } while (rc == -1 && errno == EINTR);
    return rc == 0;
}

// A file system that refuses advisory locks is told once in the error log;
// the program then runs as the only copy would.
void noteRefusedLock(const QString& path, int error) {
    static bool noted = false;
    if (noted)
        return;
    noted = true;
    appendToErrorLog(errnum::Unspecified,
                     QStringLiteral("The file system refused the lock on ") + path +
                         QStringLiteral(" (") + QString::fromLocal8Bit(std::strerror(error)) +
                         QStringLiteral("); this copy marks the database at close as if it were "
                                        "the only one."));
}

} // namespace

void showMaintenanceMessage() {
    showMessage(QStringLiteral("An error occurred during database maintenance routines.  If "
                               "problems persist the next ") +
                QStringLiteral("time you open this software, please check the Help System for "
                               "guidance ") +
                QStringLiteral("and support on restoring a backup copy."));
}

SignatureResult writeSignature(const QString& path, int mode) {
    if (mode != 1 && mode != 2)
        return SignatureResult::NoMode;
    const QByteArray& wanted = mode == 1 ? signature::kMarker : signature::kPlain;
    const QByteArray& replaced = mode == 1 ? signature::kPlain : signature::kMarker;
    QFile file(path);
    if (!file.exists())
        return SignatureResult::Missing;
    if (!file.open(QIODevice::ReadWrite | QIODevice::ExistingOnly) ||
        !file.seek(signature::kOffset))
        return SignatureResult::Failed;
    const QByteArray present = file.read(wanted.size());
    if (present == wanted)
        return SignatureResult::AlreadyThere;
    if (present != replaced)
        return SignatureResult::Foreign;
    if (!file.seek(signature::kOffset) || file.write(wanted) != wanted.size() || !file.flush())
        return SignatureResult::Failed;
    return SignatureResult::Written;
}

SignatureResult SetDatabaseSignature(const QString& path, int mode) {
    const SignatureResult result = writeSignature(path, mode);
    if (result == SignatureResult::Failed)
        showMaintenanceMessage();
    return result;
}

DatabaseUseLock::~DatabaseUseLock() {
    release();
}

bool DatabaseUseLock::acquire(const QString& path) {
    release();
    const QByteArray name = QFile::encodeName(path);
    // Read-write, so that the lock can later turn exclusive; a file that may
    // only be read can still be used, but its marker is then never written.
    m_fd = ::open(name.constData(), O_RDWR | O_CLOEXEC);
    if (m_fd < 0)
        m_fd = ::open(name.constData(), O_RDONLY | O_CLOEXEC);
    if (m_fd < 0)
        return false;
    m_refused = !setUseLock(m_fd, F_RDLCK, true);
    if (m_refused) {
        noteRefusedLock(path, errno);
        return true;
    }
    // The file may have been replaced (put back from a backup copy) while
    // this copy waited: the lock then sits on the old file, where no other
    // copy sees it. Lock the file the path names now.
    struct stat locked = {};
    struct stat named = {};
    if (::fstat(m_fd, &locked) == 0 && ::stat(name.constData(), &named) == 0 &&
        (locked.st_ino != named.st_ino || locked.st_dev != named.st_dev))
        return acquire(path);
    return true;
}

bool DatabaseUseLock::releaseAndTryLast() {
    if (m_fd < 0)
        return false;
    if (m_refused)
        return true;
    // Drop the shared lock first: when two copies close together, each then
    // sees the other's lock gone, and at least one of them becomes the last.
    setUseLock(m_fd, F_UNLCK, false);
    return setUseLock(m_fd, F_WRLCK, false);
}

void DatabaseUseLock::release() {
    if (m_fd < 0)
        return;
    ::close(m_fd);
    m_fd = -1;
    m_refused = false;
}

void DatabaseUseLock::simulateRefusingFileSystem(bool refuse) {
    refuseLocks = refuse;
}

bool DatabaseUseLock::acquireExclusive(const QString& path) {
    release();
    m_fd = ::open(QFile::encodeName(path).constData(), O_RDWR | O_CLOEXEC);
    if (m_fd < 0)
        return false;
    // A file system that refuses locks cannot tell whether another copy
    // uses the file: refuse the maintenance rather than risk its writes.
    if (!setUseLock(m_fd, F_WRLCK, false)) {
        release();
        return false;
    }
    return true;
}

} // namespace quillory
