#pragma once

#include "errors/error.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <functional>
#include <optional>

namespace quillory {

class Connection;

// Moving the program's rows from one database to another: a file to a
// server (an office moving to its server), a server to a file (its data taken
// back), or a file to a file. Every row is written in one transaction on the
// target, and committed only when the row counts and sums of both sides agree.
namespace migration {

// The figures compared on both sides of a copy, for one table: its rows, and
// sums that change when any value is lost or changed on the way (each an
// exact integer, as text). The money columns sum their ten-thousandths; the
// hours and rates their whole ten-thousandths; "characters" counts the
// characters of every text; "nulls" the empty (Null) values.
struct TableFigures {
    QString table;
    qint64 rows = 0;
    QList<std::pair<QString, QString>> sums; // name, value

    bool operator==(const TableFigures&) const = default;
};
using Figures = QList<TableFigures>;

// Whether a sum is of money, which is shown with its four decimals.
bool isMoneySum(const QString& name);

// The figures of the program's four tables on `cn`. Nothing when they could
// not be read (the connection's last error says why).
std::optional<Figures> figuresOf(Connection& cn);

// How two sides' figures differ, one text each; empty when they agree.
QStringList differences(const Figures& source, const Figures& target);

// A figure as a person reads it: money with its four decimals
// ("39996000" reads "3999.6000"), anything else as it stands.
QString shownValue(const QString& name, const QString& value);

// How far the copy of one table has come.
struct Progress {
    QString table;
    qint64 copied = 0;
    qint64 total = 0;
};
using ProgressFunction = std::function<void(const Progress&)>;

// The whole move from the database at `from` to the one at `to`, each a
// database file's path or a server's URI (see isServerLocation). A missing
// target file is made with the program's schema, and a server database
// without tables is given the program's; a target that holds any row is
// refused, as is either database while a copy of the program uses it. The
// rows are written in one transaction on the target, which is committed only
// when both sides' figures agree; on any failure nothing is left on the
// target (a file made for it is removed). A file is left as the program
// leaves it, its header hidden under the marker.
struct Result {
    bool ok = false;
    Error error;
    Figures source;
    Figures target;
    qint64 rows = 0; // rows copied
};
Result migrate(const QString& from, const QString& to, const ProgressFunction& progress = {});

// Copies every row from `from`, open and reading from one snapshot, into a
// new database file at `path` (which must not exist), made with the
// program's schema, checked as migrate() checks, and left as the program
// leaves a file. On any failure the file is removed.
Result copyToNewFile(Connection& from, const QString& path, const ProgressFunction& progress = {});

} // namespace migration
} // namespace quillory
