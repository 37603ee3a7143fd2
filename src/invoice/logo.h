#pragma once

#include <QImage>
#include <QString>

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

} // namespace quillory::logo
