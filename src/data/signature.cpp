#include "data/signature.h"

#include "errors/prompt.h"

#include <QFile>

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

namespace quillory {

namespace {

void showMaintenanceMessage() {
    showMessage(QStringLiteral("An error occurred during database maintenance routines.  If "
                               "problems persist the next ") +
                QStringLiteral("time you open this software, please check the Help System for "
                               "guidance ") +
                QStringLiteral("and support on restoring a backup copy."));
}

// Far beyond any real database and beyond the bytes SQLite locks itself.
constexpr off_t kUseLockOffset = off_t(1) << 40;

bool setUseLock(int fd, short type, bool wait) {
    struct flock lock = {};
    lock.l_type = type;
    lock.l_whence = SEEK_SET;
    lock.l_start = kUseLockOffset;
    lock.l_len = 1;
    // Open-file-description locks belong to this descriptor alone, so SQLite
    // opening and closing the same file in this process does not drop them.
    int rc;
    do {
        rc = fcntl(fd, wait ? F_OFD_SETLKW : F_OFD_SETLK, &lock);
    } while (rc == -1 && errno == EINTR);
    return rc == 0;
}

} // namespace

SignatureResult SetDatabaseSignature(const QString& path, int mode) {
    if (mode != 1 && mode != 2)
        return SignatureResult::NoMode;
    const QByteArray& wanted = mode == 1 ? signature::kMarker : signature::kPlain;
    const QByteArray& replaced = mode == 1 ? signature::kPlain : signature::kMarker;
    QFile file(path);
    if (!file.exists())
        return SignatureResult::Missing;
    if (!file.open(QIODevice::ReadWrite | QIODevice::ExistingOnly)) {
        showMaintenanceMessage();
        return SignatureResult::Failed;
    }
    if (!file.seek(signature::kOffset)) {
        showMaintenanceMessage();
        return SignatureResult::Failed;
    }
    const QByteArray present = file.read(wanted.size());
    if (present == wanted)
        return SignatureResult::AlreadyThere;
    if (present != replaced)
        return SignatureResult::Foreign;
    if (!file.seek(signature::kOffset) || file.write(wanted) != wanted.size() || !file.flush()) {
        showMaintenanceMessage();
        return SignatureResult::Failed;
    }
    return SignatureResult::Written;
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
    if (!setUseLock(m_fd, F_RDLCK, true)) {
        release();
        return false;
    }
    return true;
}

bool DatabaseUseLock::releaseAndTryLast() {
    if (m_fd < 0)
        return false;
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
}

bool DatabaseUseLock::acquireExclusive(const QString& path) {
    release();
    m_fd = ::open(QFile::encodeName(path).constData(), O_RDWR | O_CLOEXEC);
    if (m_fd < 0)
        return false;
    struct flock lock = {};
    lock.l_type = F_WRLCK;
    lock.l_whence = SEEK_SET;
    lock.l_start = kUseLockOffset;
    lock.l_len = 1;
    int rc;
    do {
        rc = fcntl(m_fd, F_OFD_SETLK, &lock);
    } while (rc == -1 && errno == EINTR);
    if (rc != 0) {
        release();
        return false;
    }
    return true;
}

} // namespace quillory
