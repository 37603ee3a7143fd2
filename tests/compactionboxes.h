#pragma once

// What Compact Database says when it is done, and when it may not work on
// the database.

#include <QString>

namespace quillory::test {

inline const QString kCompleted = QStringLiteral("Database compression and repair completed.");

inline const QString kPermissionBox =
    QStringLiteral("Either the database did not close correctly for maintenance, or you do not "
                   "have the needed file permissions to repair the database.  Ensure that you "
                   "have create, delete, modify, and execute rights to the directory you "
                   "installed Brandlewickery.");

} // namespace quillory::test
