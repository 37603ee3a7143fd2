#pragma once

#include "export/csvtables.h"

#include <optional>

class QObject;

namespace quillory {

class Database;

// The work of the Export menu. Each saves through the desktop's own file
// dialog and writes the whole file or nothing; every failure is told to the
// user, with its reason.
namespace exports {

// The invoice selected on the Invoices tab as a PDF file, as it prints.
// Without a selected customer and invoice the user is told to pick one.
void saveInvoicePdf(Database& db, std::optional<int> customerId, std::optional<int> invoiceId);

// The same PDF attached to a new message in the user's mail program,
// addressed to the customer's first e-mail address, subject "Invoice 9".
// The hand-off belongs to `owner` (see mail::HandOff).
void emailInvoice(QObject* owner, Database& db, std::optional<int> customerId,
                  std::optional<int> invoiceId);

// The two customer lists of the Reports menu as PDF files, page for page.
void saveInvoiceTotalsPdf(Database& db);
void saveCustomerSummaryPdf(Database& db);

// A table as a CSV file.
void saveTableCsv(Database& db, csvtables::Table table);

} // namespace exports
} // namespace quillory
