#pragma once

#include "core/backupplace.h"
#include "errors/error.h"

#include <QString>

#include <functional>
#include <optional>

namespace quillory {

class Database;

// Compact and repair: the database file in use is rebuilt by SQLite into a
// new file in the user's temporary directory, checked, and put in place of
// the original in one atomic rename, after a backup copy of the original has
// been made beside the new file. A failure at any step leaves the original
// whole (or, after the rename, the new file whole).
namespace compaction {

// The steps, in order.
enum class Step { Lock, Backup, Compact, Check, Replace };

// The copies, in the user's temporary directory.
using backupplace::backupPath;
using backupplace::compactedPath;

struct Result {
    enum Outcome {
        Compacted,
        NoDatabase, // there was no file to compact; nothing was done
        Failed,     // `error` says why; the original is as it was
    } outcome = Compacted;
    Error error;
    bool reported = false; // the failure has been shown already
};

// Compacts the database file at `path`, which no connection of this program
// may have open, making the backup copy first when `backup` is true. While
// another copy of the program has the file open it refuses with error 70; a
// file that fails SQLite's quick check is refused as damaged before the
// backup copy is made, so that the last good copy stays.
// `beforeStep`, when given, is told of each step before it runs.
Result CompactDatabase(const QString& path, bool backup,
                       const std::function<void(Step)>& beforeStep = {});

// Shows a failure as the maintenance error (error 70) or through the error
// dispatcher (any other).
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

// For tests: a failure to inject before a step (an error with number 0
// injects nothing). An empty function removes it.
void setFailureInjection(std::function<Error(Step)> inject);

} // namespace compaction
} // namespace quillory
