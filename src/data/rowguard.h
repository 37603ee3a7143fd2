#pragma once

#include "data/connection.h"

#include <QString>
#include <QVariant>
#include <QVariantMap>

// Two copies of the program may work on one database. A window that shows a
// row and later writes it back must not write over what another copy changed
// meanwhile: it writes only the columns the user changed, and only while the
// columns it relies on still hold what it showed.
namespace quillory::rowguard {

enum class Result {
    Written,          // the row held what was shown, and now holds the changes
    ChangedMeanwhile, // the row is gone, or one of the shown columns changed
    Failed,           // the database refused; the connection's last error says why
};

// The condition that a row still holds `shown` (column -> value as read): an
// SQL text of the dialect's exact matches joined by AND (null matches null,
// texts compare letter for letter), and its values. Column names come from the
// program, never from a user.
struct Condition {
    QString sql;
    QVariantList params;
};
Condition stillHolds(const Connection& cn, const QVariantMap& shown);

// Writes `changes` (column -> new value) into the row of `table` whose
// `keyColumn` equals `key`, in one statement, but only while every column of
// `shown` still holds its value there. With no changes it only checks that.
Result writeIfUnchanged(Connection& cn, const QString& table, const QString& keyColumn,
                        const QVariant& key, const QVariantMap& shown, const QVariantMap& changes);

} // namespace quillory::rowguard
