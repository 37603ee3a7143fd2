#pragma once

#include "data/database.h"

#include <QStringList>
#include <QVariantMap>

#include <optional>

// The business options: the one row of tblbusoptions that heads every
// invoice and holds the login settings. Every reader takes the first row;
// the options window writes that row, or adds it to an empty table.
namespace quillory::optionsstore {

// The columns of the row, in the order the options window writes them.
inline const QStringList kColumns = {
    QStringLiteral("uselogin"),       QStringLiteral("UserName"),   QStringLiteral("Password"),
    QStringLiteral("busname"),        QStringLiteral("busaddress"), QStringLiteral("busurl"),
    QStringLiteral("bus_slogan"),     QStringLiteral("bus_phone"),  QStringLiteral("bus_email"),
    QStringLiteral("image_path_logo")};

// The options as read: `row` maps each column (named as in kColumns) to its
// stored value, and is empty when the table holds no row. A read that failed
// has been reported and gives nothing.
struct Options {
    std::optional<QVariantMap> row;
    QVariant rowKey; // which row that is, for writing it back (Dialect::rowKey)
};
std::optional<Options> readOptions(Database& db);

enum class SaveResult {
    Saved,
    ChangedMeanwhile, // another copy changed or added the row since it was read
    Failed,           // the database refused; reported, nothing written
};

// Writes the columns in `changes` (column -> new value) into the row that was
// read as `read`, only while that row still holds everything it held then.
// When the table was empty, adds the row (all of `changes`), only while the
// table is still empty. Either way in one write transaction.
SaveResult saveOptions(Database& db, const Options& read, const QVariantMap& changes);

} // namespace quillory::optionsstore
