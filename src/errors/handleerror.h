#pragma once

#include "errors/error.h"

#include <QDateTime>
#include <QString>

namespace quillory {

// The central error dispatcher. By the error number it stays silent, shows a
// message, appends a line to ErrLog.err (beside the program, or for an installed copy
// in the user's state folder), or both.
// It never fails towards its caller.
void HandleError(const Error& error);
inline void HandleError(std::int64_t number, const QString& description) {
    HandleError(Error{number, description});
}

// Appends one line to ErrLog.err without showing anything, for what the user
// need not be told but an administrator should find. Never fails towards its
// caller.
void appendToErrorLog(std::int64_t number, const QString& description);

// The boxes of a damaged database: the report when the damage is first found
// (with SQLite's description of it), and the refusal of each write after it.
// Both say where the last backup copy of the database at `location` is.
QString damagedDatabaseText(const QString& description, const QString& location);
QString notSavedToDamagedDatabaseText(const QString& location);

// The box of a database that another program keeps locked.
QString databaseInUseText(const QString& location);

// One line of ErrLog.err, without its line break: the quoted date, the
// number, and the quoted description.
QString errorLogLine(const QDateTime& when, std::int64_t number, const QString& description);

} // namespace quillory
