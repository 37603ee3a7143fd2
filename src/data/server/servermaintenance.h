#pragma once

#include "data/file/compact.h"
#include "errors/error.h"

#include <QString>

#include <functional>
#include <optional>

namespace quillory {

class Connection;
class Database;

// Compact Database on a database server. The server keeps its own files, so
// the program makes its backup copy as a records.mdb of its own (a database
// file the program opens like any other), then has the server run its own
// maintenance, VACUUM (ANALYZE), and checks that every row is still there.
// While it runs, no copy of the program writes; while another copy is
// connected, it is refused as a file's compaction is.
namespace servermaintenance {

// How many copies of the program other than this connection are connected
// to the server database of `cn`, as the server's own session list shows
// them by the application name the program gives its connections. Nothing
// when the list could not be read (the connection's last error says why).
std::optional<int> otherCopies(Connection& cn);

// The server's URI without the password it may hold (as "user:password@"
// or "password=..."), as the folder of its backup copies is named after it.
QString withoutPassword(const QString& uri);

// The newest backup copy of the server database at `uri` (see backupplace:
// the two before it are kept too).
QString backupPathFor(const QString& uri);

// The maintenance itself, on the open server connection of `db`: the steps
// Lock (no copy writes from here on; refused with error 70 while another
// copy is connected or the user may not maintain the tables), Backup,
// Compact and Check. `beforeStep`, when given, is told of each step before it
// runs.
compaction::Result compactServer(Database& db,
                                 const std::function<void(compaction::Step)>& beforeStep = {});

// The menu item's work after its question was answered Yes: the maintenance,
// then its failure or "Database compression and repair completed." The
// connection stays open throughout.
void compactInUse(Database& db,
                  const std::function<void(std::optional<compaction::Step>)>& progress);

} // namespace servermaintenance
} // namespace quillory
