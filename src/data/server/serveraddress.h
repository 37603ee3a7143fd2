#pragma once

#include "errors/error.h"

#include <QByteArray>
#include <QList>
#include <QPair>
#include <QString>

#include <optional>

class QSqlDatabase;

namespace quillory {

// The name the program gives its connections to a database server, by which
// the server's own session list shows the copies of the program connected.
inline const QString kServerApplicationName = QStringLiteral("Quillory");

// Whether a location (the first line of NetworkPath.sfe) names a database
// server rather than a file: a PostgreSQL connection URI, "postgresql://..."
// or "postgres://...".
bool isServerLocation(const QString& location);

// A database server's address, read from a connection URI by libpq's own
// parser. What the URI leaves out (the user, the password, the host) comes
// from libpq's usual places: the environment, the service file, ~/.pgpass.
class ServerAddress {
public:
    // Nothing when libpq cannot read the URI, with `error` saying why.
    static std::optional<ServerAddress> parse(const QString& uri, Error* error = nullptr);

    // Sets up a QPSQL connection to this address under the program's
    // application name (or another one's), with `password` where one is
    // given. Nothing is written anywhere: the password stays in memory.
    void configure(QSqlDatabase& db, const std::optional<QString>& password,
                   const QString& applicationName = kServerApplicationName) const;

    // After a failed connection: whether the server asked for a password that
    // none of libpq's places gave. Tries once more with libpq alone, and
    // tells whom the password is for ("user on host").
    struct PasswordNeed {
        bool needed = false;
        QString whom;
    };
    PasswordNeed passwordNeed(const std::optional<QString>& password) const;

private:
    using Options = QList<QPair<QByteArray, QByteArray>>;
    // Every keyword of a connection and its value: the URI's, the password
    // given over the URI's, the program's defaults where the URI sets none,
    // and the application name.
    Options connectionOptions(const std::optional<QString>& password,
                              const QString& applicationName) const;

    // The keywords the URI sets and their values, as libpq read them.
    Options m_options;
};

// How messages name the server `db` is connected to: its database, host and
// port, as libpq reports them. Never the password.
QString serverName(const QSqlDatabase& db);

// The server's version as a number (150004 for 15.4); 0 when not connected.
int serverVersion(const QSqlDatabase& db);

} // namespace quillory
