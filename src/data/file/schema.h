#pragma once

#include "errors/error.h"

#include <QString>
#include <QStringList>

namespace quillory {

// Makes a new, empty database file from the schema that ships with the
// program, and hides its header under the marker, as an installed database
// is kept. Used by the build and by tests; the program itself never creates
// tables. Fails when the file already exists.
bool createDatabaseFile(const QString& path, Error* error = nullptr);

// The schema's SQL text: the file's (by default) or another schema resource's.
QString schemaText(const QString& resource = QStringLiteral(":/schema/records.sql"));

// The statements of a schema text, in order, comments left out.
QStringList schemaStatements(const QString& text);

} // namespace quillory
