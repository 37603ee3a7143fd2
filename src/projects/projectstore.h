#pragma once

#include "data/database.h"

#include <QDateTime>
#include <QString>
#include <QStringList>
#include <QVariantMap>

#include <optional>

// The reads and writes of projects and the generation of a project's one
// invoice, with their SQL. Texts are always bound. A read reports its own
// failure (through Database::RefreshRecordset) and then answers as if it had
// found nothing; a write reports its failure through HandleError and writes
// nothing at all.
namespace quillory::projectstore {

// The columns of tblservices, as the rows below name them.
namespace column {
inline const QString id = QStringLiteral("id");
inline const QString customerId = QStringLiteral("customerid");
inline const QString summary = QStringLiteral("summary");
inline const QString status = QStringLiteral("status");
inline const QString hours = QStringLiteral("billinghours");
inline const QString rate = QStringLiteral("billingrate");
inline const QString services = QStringLiteral("services_provided");
inline const QString details = QStringLiteral("details");
inline const QString notes = QStringLiteral("notes");
inline const QString created = QStringLiteral("DateCreated");
inline const QString invoiced = QStringLiteral("invoicegenerated");
} // namespace column

// A customer's projects as list entries (summary, TAB, status), all of them
// or those whose status equals `status` without regard to letter case.
// Nothing when the query failed.
std::optional<QStringList> projectEntries(Database& db, int customerId,
                                          const std::optional<QString>& status);

// The project of a customer whose summary is exactly `summary`: every column
// by the names above, nulls included. Nothing when there is none or the query
// failed.
std::optional<QVariantMap> findProject(Database& db, int customerId, const QString& summary);

// Whether a customer's project has its invoice. A failed query is reported
// and answers NotFound.
enum class InvoiceMark { NotFound, Open, Invoiced };
InvoiceMark invoiceMark(Database& db, int projectId, int customerId);

// The next id of each table: the largest plus one; 0 for the first project
// and 1 for the first invoice. Nothing when the query failed or the next id
// would not fit, with the connection's last error saying why.
std::optional<int> nextProjectId(Connection& cn);
std::optional<int> nextInvoiceId(Connection& cn);

// What a write came to. Every outcome but Done wrote nothing.
enum class Outcome {
    Done,
    Duplicate,        // another project of the customer has this summary
    NotFound,         // the project is gone
    ChangedMeanwhile, // a column the write relies on no longer holds what was shown
    AlreadyInvoiced,  // the project has its invoice already
    Failed,           // the database refused; reported
};
struct WriteResult {
    Outcome outcome = Outcome::Failed;
    int id = -1; // the new project's or invoice's id when Done
};

// A project as New and Save enter it.
struct NewProject {
    int customerId = 0;
    float hours = 0;
    float rate = 0;
    QString summary;
    QString services;
    QString details;
    QString notes;
    QString status;
};

// Adds a project after the per-customer summary test (exact letters), with
// the next id, all in one write transaction. DateCreated is `now`.
WriteResult insertProject(Database& db, const NewProject& project, const QDateTime& now);

// How a shown project is found again: its id, its customer and its summary.
struct ProjectKey {
    int id = 0;
    int customerId = 0;
    QString summary;
};

// Writes `changes` (column -> value) and DateCreated = `now` into the
// project, but only while each column of `shown` still holds the value shown.
// A changed summary must not be another project's of the customer.
Outcome updateProject(Database& db, const ProjectKey& key, const QVariantMap& shown,
                      const QVariantMap& changes, const QDateTime& now);

// Generates the project's invoice in one write transaction: the project
// (still holding the hours and rate of `shown`) is marked invoiced and
// "Completed", and an open invoice with the next id is added whose amount
// due is the stored hours times the stored rate, exactly.
WriteResult generateInvoice(Database& db, const ProjectKey& key, const QVariantMap& shown,
                            const QDateTime& now);

} // namespace quillory::projectstore
