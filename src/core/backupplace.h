#pragma once

#include <QString>

// Where Compact Database keeps its backup copies of a database: the copies
// that the damaged-database box points the user at.
//
// The temporary directory ($TMPDIR, else /tmp) is shared by every user of the
// machine and every database, so the copies live in a folder of the user's
// own inside it (mode 0700), and there in one folder per database, named
// after the database and a short hash of its whole location, so that two
// databases never share a copy:
//
//   <temporary directory>/quillory-<uid>/<name>-<hash>/backup.mdb
//
// `backup.mdb` is the newest copy, `backup.1.mdb` and `backup.2.mdb` the two
// before it. A location is the database file's full path, or for a database
// on a server its connection text (a URI): its name is the last part of the
// path (for a URI, the database name, without any "?options").
namespace quillory::backupplace {

// The user's own folder inside the temporary directory.
QString userFolder();

// The folder of the copies of the database at `location`.
QString folderFor(const QString& location);

// The newest backup copy (backup.mdb).
QString backupPath(const QString& location);

// An older copy: age 1 is backup.1.mdb, age 2 backup.2.mdb.
QString olderBackupPath(const QString& location, int age);

// How many copies are kept: the newest and the older ones.
inline constexpr int kKeptCopies = 3;

// A template for QTemporaryFile: a new copy is written under a name of its
// own in the database's folder, and becomes backup.mdb only when whole and
// checked, so that two compactions at once never write the same file.
QString newCopyTemplate(const QString& location);

// Makes the user's folder and the database's folder (0700) when missing. An
// existing folder must be a real folder owned by this user; one that is
// anything else (a link, another user's) is refused. Returns an empty text,
// or why the folder cannot be used; `permission` is then set when the reason
// is a permission the user lacks.
QString makeFolderFor(const QString& location, bool* permission = nullptr);

// Keeps `copy`, a whole and checked new copy in the database's folder, as
// the newest backup copy, the newest before it as backup.1.mdb and that one
// as backup.2.mdb (each in one rename, the folder flushed to disk after). On
// a failure the new copy is removed and the older copies are left where the
// renames so far have put them; returns why, with `permission` as for
// makeFolderFor. Returns an empty text when the copy is kept.
QString keepAsNewest(const QString& copy, const QString& location, bool* permission = nullptr);

} // namespace quillory::backupplace
