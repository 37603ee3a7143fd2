#pragma once

#include "core/money.h"
#include "data/database.h"

#include <QString>
#include <QVariantMap>

#include <optional>

// The reads and writes of invoices and of the rows the invoice document is
// made from, with their SQL. Rows come back as column -> value, column names
// in lower case, values as stored (money as its count of ten-thousandths,
// date-times as their stored text). A read that fails is reported here and
// then answered as if no row had been found.
namespace quillory::invoicestore {

using Row = QVariantMap;

// One invoice of one customer.
std::optional<Row> invoiceRow(Database& db, int invoiceId, int customerId);

// The rows of the invoice document: the customer, the invoice (read by
// customer first, as the document reads it) and the project's description.
std::optional<Row> documentCustomer(Database& db, int customerId);
std::optional<Row> documentInvoice(Database& db, int invoiceId, int customerId);
// Nothing also when the invoice names no project.
std::optional<Row> documentProject(Database& db, const QVariant& servicesId);

// A payment as the window worked it out from `read` (the invoice row as it
// was read for this payment): the new amount paid, payment history and
// status.
struct Payment {
    Money amountPaid;
    QString paymentDates;
    int status = 0;
};

enum class PaymentResult {
    Applied,          // all three columns now hold the payment
    ChangedMeanwhile, // the invoice is gone or no longer holds what was read
    Failed,           // the database refused; reported, nothing written
};

// Writes a payment in one write transaction, only while the invoice still
// holds the amounts and payment history that were read. ChangedMeanwhile is
// left to the caller to tell the user; Failed has been reported.
PaymentResult applyPayment(Database& db, int invoiceId, const Row& read, const Payment& payment);

} // namespace quillory::invoicestore
