#pragma once

#include <QFuture>
#include <QImage>
#include <QString>

#include <functional>
#include <optional>

// The business logo that heads the invoice document.
namespace quillory::logo {

// The largest logo file read, in bytes.
inline constexpr qint64 kMaxFileBytes = 16 * 1024 * 1024;

// The picture in the file at `path`: only a regular file (a link to one
// included) of at most kMaxFileBytes is read, so that a FIFO, a device or a
// folder never holds the program up. Nothing when there is no such file or it
// is not a picture. It may still wait on a slow disk or a hung network share,
// so a window reads it off its own thread; it is safe on any thread.
std::optional<QImage> readLogo(const QString& path);

// How long a document waits for its logo: one on a hung network share is
// left off rather than holding the document up.
inline constexpr int kWaitMs = 5000;

// Whether `path` names a logo at all: an empty path or "NONE" names none.
bool named(const QString& path);

// readLogo() on a thread of its own; the future gives a null image when there
// is no picture.
QFuture<QImage> readLogoLater(const QString& path);

// The logo as a document prints it, read on a thread of its own for at most
// `ms` milliseconds: a null image when `path` names none, holds no picture or
// could not be read in time.
QImage readLogoWithin(const QString& path, int ms);

// For tests: runs on the reading thread before each read, so that a test
// can hold a read as a hung network share would.
void setBeforeRead(std::function<void()> hook);

} // namespace quillory::logo
