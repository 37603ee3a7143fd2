#pragma once

namespace quillory {

class Connection;

// The program's tables on a database server. The program makes them itself
// the first time it connects to an empty database, as quillory-makedb makes a
// file, and refuses a database whose tables differ from its own.
namespace serverschema {

// Makes the tables (and their indexes) where none of the four exists yet, in
// one write transaction, unless `make` is false, and checks them otherwise.
// False, with the connection's last error saying why, when they could not be
// made, are missing and not to be made, or differ.
bool prepare(Connection& cn, bool make = true);

} // namespace serverschema
} // namespace quillory
