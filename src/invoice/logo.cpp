#include "invoice/logo.h"

#include <QByteArray>
#include <QFile>
#include <QPromise>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <fcntl.h>
#include <functional>
#include <future>
#include <memory>
#include <mutex>
#include <sys/stat.h>
#include <thread>
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

std::mutex hookMutex;
std::function<void()> beforeReadHook;

std::function<void()> beforeRead() {
    const std::lock_guard lock(hookMutex);
    return beforeReadHook;
}

} // namespace

void setBeforeRead(std::function<void()> hook) {
    const std::lock_guard lock(hookMutex);
    beforeReadHook = std::move(hook);
}

std::optional<QImage> readLogo(const QString& path) {
    if (const std::function<void()> hook = beforeRead())
        hook();
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

bool named(const QString& path) {
    return !path.isEmpty() && path != u"NONE";
}

QFuture<QImage> readLogoLater(const QString& path) {
    QPromise<QImage> promise;
    QFuture<QImage> future = promise.future();
    // Detached: a read hung on a share ends with the program, not before.
    std::thread([promise = std::move(promise), path]() mutable {
        promise.start();
        promise.addResult(readLogo(path).value_or(QImage()));
        promise.finish();
    }).detach();
    return future;
}

QImage readLogoWithin(const QString& path, int ms) {
    if (!named(path))
        return {};
    auto read = std::make_shared<std::promise<QImage>>();
    std::future<QImage> picture = read->get_future();
    std::thread([read, path] { read->set_value(readLogo(path).value_or(QImage())); }).detach();
    if (picture.wait_for(std::chrono::milliseconds(ms)) != std::future_status::ready)
        return {};
    return picture.get();
}

} // namespace quillory::logo
