#pragma once

#include <QByteArray>
#include <QString>

namespace quillory {

// While no copy of the program runs, the first 15 bytes of the database file,
// SQLite's own header text "SQLite format 3", are hidden under the marker
// "Brandlewickery!", so that other tools do not take the file for a database.
namespace signature {
inline const QByteArray kMarker = QByteArrayLiteral("Brandlewickery!");
inline const QByteArray kPlain = QByteArrayLiteral("SQLite format 3");
inline constexpr qint64 kOffset = 0;
// The byte whose lock tells running copies apart (see DatabaseUseLock): far
// beyond any real database and beyond the bytes SQLite locks itself.
inline constexpr qint64 kUseLockOffset = qint64(1) << 40;
} // namespace signature

enum class SignatureResult {
    Written,      // the requested text now stands in the file
    AlreadyThere, // it stood there already; nothing was written
    Foreign,      // the file holds something else there; left untouched
    Missing,      // there is no such file; none was created
    Failed,       // the file could not be read or written (reported)
    NoMode,       // a mode other than 1 or 2; nothing was done
};

// Mode 1 writes the marker over SQLite's header text, mode 2 puts the header
// text back over the marker; any other mode does nothing. Each writes only
// over the other's 15 bytes, and touches no other byte. A failure to read or
// write the file shows the maintenance message.
SignatureResult SetDatabaseSignature(const QString& path, int mode);
// The same without the message, for a caller that must not show a box at
// that moment; it shows the message itself afterwards.
SignatureResult writeSignature(const QString& path, int mode);
void showMaintenanceMessage();

// Tells running copies of the program apart from the last one to leave. Each
// copy holds a shared lock on the database file (on a byte range SQLite never
// uses) from before it restores the header until it has closed the database.
// The copy that can turn its lock exclusive on closing is the last one, and
// only that copy writes the marker, holding the exclusive lock only for that
// write. On a file system that refuses advisory locks (some network shares)
// each copy runs, and marks at close, as if it were the only one.
class DatabaseUseLock {
public:
    DatabaseUseLock() = default;
    ~DatabaseUseLock();
    DatabaseUseLock(const DatabaseUseLock&) = delete;
    DatabaseUseLock& operator=(const DatabaseUseLock&) = delete;

    // Waits while a closing copy is writing the marker, then holds the shared
    // lock. False when the file cannot be opened. A refused lock is noted once
    // in the error log and does not stop the program.
    bool acquire(const QString& path);
    // Gives up the shared lock; true when no other copy holds one, in which
    // case the exclusive lock is held until release().
    bool releaseAndTryLast();
    void release();
    bool isHeld() const { return m_fd >= 0; }

    // For maintenance (compaction): holds the lock exclusively, without
    // waiting, so that no copy of the program can start on the file
    // meanwhile. False while any copy holds its lock (this one
    // too, through another lock object), or when the file cannot be opened
    // for writing. release() gives it up.
    bool acquireExclusive(const QString& path);
    // For tests: behave as on a file system that refuses advisory locks.
    static void simulateRefusingFileSystem(bool refuse);

private:
    int m_fd = -1;
    bool m_refused = false; // the file system refused the lock
};

} // namespace quillory
