#pragma once

#include "errors/error.h"

#include <QString>

namespace quillory {

// Makes a new, empty database file from the schema that ships with the
// program, and hides its header under the marker, as an installed database
// is kept. Used by the build and by tests; the program itself never creates
// tables. Fails when the file already exists.
bool createDatabaseFile(const QString& path, Error* error = nullptr);

// The schema's SQL text.
QString schemaText();

} // namespace quillory
