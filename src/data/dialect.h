#pragma once

#include "errors/error.h"

#include <QString>
#include <QStringList>

class QSqlDatabase;
class QSqlError;

namespace quillory {

// Where the two stores differ, and nothing else: a database file (SQLite) or
// a database server (PostgreSQL). The subjects' queries are written once, in
// SQL that both accept; where they cannot be, they ask the dialect of the
// connection they run on.
class Dialect {
public:
    enum class Kind { File, Server };

    // What a failed statement means beyond its error number.
    enum class Failure {
        Other,
        Damage,         // the file is damaged
        ReadOnly,       // the store refused a write it was told to refuse
        ConnectionLost, // the server is gone (restarted, or the network cut)
    };
    struct Mapped {
        Error error;
        Failure failure = Failure::Other;
    };

    virtual ~Dialect() = default;

    virtual Kind kind() const = 0;

    // The statements that begin a write transaction. They serialise the
    // writers of every copy of the program: once they have run, no other
    // copy writes until this transaction ends, so that what it reads (the
    // largest id) stays true until it commits.
    virtual QStringList beginWrite() const = 0;

    // A condition that `column` holds exactly the value bound for its "?":
    // null matches null, texts compare letter for letter.
    virtual QString holdsExactly(const QString& column) const = 0;

    // The condition on tblservices that the status equals the value bound
    // for its "?" regardless of letter case.
    virtual QString statusMatches() const = 0;
    // The query of a customer's distinct statuses (letter case ignored), each
    // in the order of its first project; `customerId` stands in it as given
    // (digits, or "?").
    virtual QString distinctStatuses(const QString& customerId) const = 0;

    // A column that finds a row of a table without an id again, for as long
    // as nobody changes it.
    virtual QString rowKey() const = 0;

    // The resource path of the schema the store is made from.
    virtual QString schemaResource() const = 0;

    // The statement that begins a transaction that only reads, and sees the
    // database as it was at its first statement until it ends.
    virtual QString beginSnapshot() const = 0;

    // The whole part of a real `expression`, cut toward zero, as an integer:
    // the same figure on both stores for the same stored value.
    virtual QString truncatedInteger(const QString& expression) const = 0;

    // On a server, the statements that keep every copy of the program from
    // writing (their write transactions wait) until the second is run on the
    // same connection, outside any transaction; for maintenance that must
    // see the rows stand still. Empty on a file, whose use lock does that.
    virtual QStringList holdWriters() const = 0;

    // The error a failed statement on `db` stands for, as the program numbers
    // it.
    virtual Mapped map(const QSqlError& error, const QSqlDatabase& db) const = 0;

    static const Dialect& file();
    static const Dialect& server();
};

} // namespace quillory
