#pragma once

#include <QString>

// Where Compact Database keeps its copies of the database: the backup copy
// that the damaged-database box points the user at, and the compacted file
// before it takes the database's place. Both are in the user's temporary
// directory.
namespace quillory::backupplace {

QString backupPath();
QString compactedPath();

} // namespace quillory::backupplace
