#pragma once

#include <QStringList>

#include <optional>

namespace quillory {

class Connection;

// The program's tables on a database server. The program makes them itself
// the first time it connects to an empty database, as quillory-makedb makes a
// file, and refuses a database whose tables differ from its own.
namespace serverschema {

// Makes the tables (and their indexes) where none of the four exists yet, in
// one write transaction, and checks them otherwise. False, with the
// connection's last error saying why, when they could not be made or differ.
bool prepare(Connection& cn);

// How the database's tables differ from the program's, one text each; empty
// when they agree. Nothing when the catalogue could not be read.
std::optional<QStringList> differences(Connection& cn);

} // namespace serverschema
} // namespace quillory
