#pragma once

#include "data/file/signature.h"
#include "data/recordset.h"

#include <QString>

#include <optional>

namespace quillory {

// The program's data side as one object: the connection, the shared
// recordset, where the database file is, and the opening and closing of it.
class Database {
public:
    Database() = default;
    ~Database();
    Database(const Database&) = delete;
    Database& operator=(const Database&) = delete;

    Connection cnMain;
    Recordset rsMain;
    // The path read from NetworkPath.sfe; empty when that file did not exist.
    QString strDataPath;

    // The database in use: the one named on the command line for this run,
    // else the one NetworkPath.sfe names, or the default records.mdb; a file's
    // path, or a server's URI.
    QString databasePath() const { return m_path; }
    bool isServer() const { return cnMain.isServer(); }

    // Locates the database: the one named on the command line for this run
    // (NetworkPath.sfe is then neither read nor written), else through
    // NetworkPath.sfe, writing that file when it is missing (an installed copy
    // first makes its empty database in the user's data folder); a relative
    // path in it is taken from the default database's folder. Then opens it
    // (see openLocation). A failure, a failed write of NetworkPath.sfe
    // included, goes to HandleError and then shows the
    // initialisation message; the caller ends the program.
    bool OpenDatabase();

    // Opens a location: a database file's path (a relative one is taken from
    // the default database's folder: the program directory, or the user's
    // data folder for an installed copy), whose header is restored and whose use lock is
    // taken, or a database server's URI (see isServerLocation), where the
    // file's header and lock have no part. `named` tells in messages where
    // the location came from. The failure, when there is one, is not reported
    // here.
    std::optional<Error> openLocation(const QString& location, const QString& named = {});

    // Opens `rs` on `sql` (with its values bound). A failure goes to
    // HandleError, then shows "Error refreshing data." (unless it was damage,
    // reported already) and leaves `rs` closed.
    bool RefreshRecordset(Recordset& rs, const QString& sql, const QVariantList& params = {});

    // The report of a failed read: HandleError, then "Error refreshing data."
    static void reportRefreshFailure(const Error& error);

    // Closes the connection and, when no other copy of the program still uses
    // the file and it was not found damaged, hides its header under the
    // marker. Never reports anything.
    void CloseDatabase();

private:
    std::optional<Error> openServer(const QString& uri);

    QString m_path;
    DatabaseUseLock m_useLock;
};

// The first field of NetworkPath.sfe's text, read from its first line only
// (ended by LF, CR or both, and no more than a path's length of it): leading
// blanks skipped; a field that starts with a double quote runs to the closing
// quote, without the quotes, a doubled quote inside standing for one; any
// other ends at the first comma or the end of the line.
QString readFirstField(const QByteArray& text);

// The location the first line of NetworkPath.sfe names: a database server's
// URI, taken whole (commas included, blanks around it left out), or else the
// first field (readFirstField).
QString readLocation(const QByteArray& text);

// The line NetworkPath.sfe holds for a database path, CR LF included: the
// path as it stands, or in double quotes (inner quotes doubled) where the
// plain form would not read back whole.
QByteArray networkPathLine(const QString& path);

} // namespace quillory
