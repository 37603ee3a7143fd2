#pragma once

#include "invoice/invoicetext.h"

#include <optional>

class QWidget;

namespace quillory {

class Database;

// Composes the document of one invoice from the business options, the
// customer, the invoice and its project, and shows it in the preview window,
// modal over `owner`. Returns when the preview has been closed. Missing rows
// are told to the user and show no preview.
void BuildInvoiceText(QWidget* owner, Database& db, int invoiceId, int customerId);

// The rows the document of an invoice is made from, read as BuildInvoiceText
// reads them; nothing when one is missing, which has been told to the user.
std::optional<invoicetext::Rows> readInvoiceRows(Database& db, int invoiceId, int customerId);

} // namespace quillory
