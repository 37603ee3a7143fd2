#pragma once

#include <QString>

#include <functional>
#include <optional>

// A database file on a network share (NFS, SMB) is shared by several
// computers through file locks that such shares do not always keep. The
// program goes on as before, but says once in ErrLog.err what the file is on
// and that a database server is the sound way to share the data.
namespace quillory::networkshare {

// The network file system a file system type (statfs's f_type) stands for:
// "NFS" or "SMB"; empty for any other (a local disk, or a type that does not
// say, such as FUSE).
QString networkFileSystem(qint64 type);

// The type of the file system that holds `path`; nothing when it cannot be
// read.
std::optional<qint64> fileSystemTypeOf(const QString& path);

// Writes the one ErrLog.err line when the database file at `path` is on a
// network share, once per file for the life of the process.
void noteIfOnShare(const QString& path);

// For tests: where the file system type comes from (fileSystemTypeOf by
// default; an empty function restores it).
void setTypeSource(std::function<std::optional<qint64>(const QString&)> source);

} // namespace quillory::networkshare
