#pragma once

class QWidget;

namespace quillory {

class Database;

// Composes the document of one invoice from the business options, the
// customer, the invoice and its project, and shows it in the preview window,
// modal over `owner`. Returns when the preview has been closed. Missing rows
// are told to the user and show no preview.
void BuildInvoiceText(QWidget* owner, Database& db, int invoiceId, int customerId);

} // namespace quillory
