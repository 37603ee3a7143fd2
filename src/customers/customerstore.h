#pragma once

#include "core/money.h"
#include "data/database.h"

#include <QStringList>
#include <QVariantList>
#include <QVariantMap>

#include <optional>

// The reads and writes of customers, with their SQL. Each read reports its own
// failure (through Database::RefreshRecordset) and then answers as if the
// query had found no rows.
namespace quillory::customerstore {

// The columns of a customer, in the order the program shows and writes them.
inline const QStringList kColumns = {
    QStringLiteral("id"),           QStringLiteral("fname"), QStringLiteral("lname"),
    QStringLiteral("street"),       QStringLiteral("city"),  QStringLiteral("prov"),
    QStringLiteral("country"),      QStringLiteral("pcode"), QStringLiteral("email1"),
    QStringLiteral("email2"),       QStringLiteral("phone"), QStringLiteral("cellphone"),
    QStringLiteral("othercontact"), QStringLiteral("notes")};

// The entries of the customer list (last name, "-", id) in the order the
// database returns them; nothing when the query failed.
std::optional<QStringList> customerEntries(Database& db);

// The values of one customer's columns (in kColumns order); nothing when no
// such customer exists or the query failed.
std::optional<QVariantList> customerRow(Database& db, int id);

// A customer's projects as list entries (summary, TAB, status).
QStringList projectEntries(Database& db, int customerId);
// The distinct statuses of a customer's projects, in the order returned.
QStringList projectStatuses(Database& db, int customerId);
// A customer's invoice ids, newest first.
QStringList invoiceEntries(Database& db, int customerId);

// The figures behind a customer's totals. A query that failed or gave no row
// leaves its part empty, silently.
struct Totals {
    bool hasSums = false;        // the sums query gave a row
    std::optional<Money> sumDue; // empty when there are no invoices
    std::optional<Money> sumPaid;
    std::optional<qint64> openInvoices;
    std::optional<qint64> projects;
};
Totals customerTotals(Database& db, int customerId);

// Adds a customer with the next id, taken inside the same write transaction
// as the insert. `values` are the texts of fname .. notes. Gives the new id,
// or nothing after reporting the failure.
std::optional<int> insertCustomer(Database& db, const QStringList& values);

enum class UpdateResult { Updated, NotFound, ChangedMeanwhile, Failed };
// Writes `changes` (column -> value) into an existing customer, but only
// while every column of `shown` still holds the value the window showed: a
// Save never writes over what another copy of the program changed meanwhile.
// NotFound (no such customer any more) and ChangedMeanwhile are not reported
// here; Failed is.
UpdateResult updateCustomer(Database& db, int id, const QVariantMap& shown,
                            const QVariantMap& changes);

// What a customer holds, as far as a delete must find it unchanged: each
// project's id and figures (hours, rate) and each invoice's id and amounts
// (due, paid), in id order, as stored.
struct Holdings {
    QList<QVariantList> projects;
    QList<QVariantList> invoices;
    bool operator==(const Holdings&) const = default;
};
// Nothing when a query failed (not reported: the caller decides).
std::optional<Holdings> holdings(Connection& cn, int customerId);

enum class DeleteResult { Deleted, ChangedMeanwhile, Failed };
// Removes a customer with its projects and invoices, all or nothing, and only
// while the customer's columns in `shown` (its names) and its projects and
// invoices still hold what the window showed: a delete never takes what
// another copy of the program added or paid meanwhile. A failure is reported
// and leaves every row in place.
DeleteResult deleteCustomer(Database& db, int id, const QVariantMap& shown,
                            const Holdings& shownHoldings);

} // namespace quillory::customerstore
