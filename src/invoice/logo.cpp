#include "invoice/logo.h"

#include <QByteArray>
#include <QFile>

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace quillory::logo {

namespace {

// Closes a file descriptor when it goes out of scope.
struct Descriptor {
    int fd;
    ~Descriptor() {
        if (fd >= 0)
            ::close(fd);
    }
};

// The whole content of a regular file of at most kMaxFileBytes.
std::optional<QByteArray> readRegularFile(const QString& path) {
    // Without O_NONBLOCK, opening a FIFO would wait for a writer.
    const Descriptor file{
        ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY)};
    struct stat info {};
    if (file.fd < 0 || ::fstat(file.fd, &info) != 0 || !S_ISREG(info.st_mode) ||
        info.st_size > kMaxFileBytes)
        return std::nullopt;
    QByteArray bytes(static_cast<qsizetype>(info.st_size) + 1, Qt::Uninitialized);
    qsizetype filled = 0;
    for (;;) {
        // A file that grew since its size was read is read up to the limit.
        if (filled == bytes.size()) {
            if (bytes.size() > kMaxFileBytes)
                return std::nullopt;
            bytes.resize(std::min<qsizetype>(bytes.size() * 2, kMaxFileBytes + 1));
        }
        const ssize_t got =
            ::read(file.fd, bytes.data() + filled, static_cast<size_t>(bytes.size() - filled));
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            return std::nullopt;
        if (got == 0)
            break;
        filled += got;
    }
    bytes.truncate(filled);
    return bytes;
}

} // namespace

std::optional<QImage> readLogo(const QString& path) {
    if (path.isEmpty())
        return std::nullopt;
    const std::optional<QByteArray> bytes = readRegularFile(path);
    if (!bytes)
        return std::nullopt;
    QImage picture = QImage::fromData(*bytes);
    if (picture.isNull())
        return std::nullopt;
    return picture;
}

} // namespace quillory::logo
