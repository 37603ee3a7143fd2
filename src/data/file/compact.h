#pragma once

#include "core/backupplace.h"
#include "errors/error.h"

#include <QString>

#include <functional>
#include <optional>

namespace quillory {

class Database;

// Compact and repair: after a backup copy of the database has been made and
// found whole, SQLite rebuilds the database file in place (VACUUM), through
// its journal, so that the file stays the same file: a link to it stays a
// link, and its owner, group, mode, access-control list and extended
// attributes stay as they were. The rebuilt file is then checked against the
// rows it held before. The backup copies are kept per database and per user
// (see backupplace); a failure before the rebuild leaves the database as it
// was, one after it is reported with where the backup copy is.
namespace compaction {

// The steps, in order.
enum class Step { Lock, Backup, Compact, Check };
inline constexpr int kStepCount = 4;

// The copies, in the user's temporary directory.
using backupplace::backupPath;
using backupplace::olderBackupPath;

struct Result {
    enum Outcome {
        Compacted,
        NoDatabase, // there was no file to compact; nothing was done
        Failed,     // `error` says why
    } outcome = Compacted;
    Error error;
    bool reported = false; // the failure has been shown already
};

// Compacts the database file at `path`, which no connection of this program
// may have open, making the backup copy first when `backup` is true. While
// another copy of the program has the file open, or the user may not write
// the file or its folder, it refuses with error 70. A copy that fails SQLite's
// full integrity check never becomes the backup: the compaction is refused as
// damage, and the last good copies stay. A rebuilt file that fails the check,
// or holds other row counts than before, is reported as damage too.
// `beforeStep`, when given, is told of each step before it runs.
Result CompactDatabase(const QString& path, bool backup,
                       const std::function<void(Step)>& beforeStep = {});

// Shows a failure as the maintenance error (error 70) or through the error
// dispatcher (any other; damage names the backup copy of the database).
void reportFailure(const Error& error);

// What a step does, as a progress display tells the user.
QString stepText(Step step);

// The Compact Database menu item: asks, closes the database, compacts it,
// opens it again and says when it worked. Refused on a database found
// damaged; one the compaction finds damaged is written to no more.
// `progress` is told of each step before it runs, and once more with nothing
// when the work is done (before any box shows). False only when the database
// could not be opened again (that has been reported; the program must end).
bool compactDatabaseInUse(Database& db,
                          const std::function<void(std::optional<Step>)>& progress = {});

// For tests: a failure to inject before a step of either maintenance, a
// file's or a server's (an error with number 0 injects nothing). An empty
// function removes it.
void setFailureInjection(std::function<Error(Step)> inject);

// A step about to run: tells `beforeStep` (when given) of it, and returns the
// failure injected before it, if any.
Error beginStep(Step step, const std::function<void(Step)>& beforeStep);

} // namespace compaction
} // namespace quillory
