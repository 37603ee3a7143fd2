#pragma once

#include "core/money.h"
#include "data/connection.h"

#include <functional>
#include <optional>

// The reads of the printed reports. Each gives false (or nothing) when its
// query failed, with the failure in the connection's lastError().
namespace quillory::reportstore {

// The sums of a set of invoices; both empty when there are no invoices.
struct Sums {
    std::optional<Money> due;
    std::optional<Money> paid;

    // Due less paid; empty when either sum is.
    std::optional<Money> balance() const;
};

struct CustomerLine {
    qint64 id = 0;
    QString fname;
    QString lname;
    QString email1;
    Sums sums;
};

// Every customer in the order of its id, with the sums of its invoices, as
// the rows are read. `allInvoices`, when given, then receives the sums of all
// invoices, those whose customer no longer exists or was never set included.
bool forEachCustomer(Connection& cn, const std::function<void(const CustomerLine&)>& onCustomer,
                     Sums* allInvoices = nullptr);

// The sums of all invoices, or of one customer's.
std::optional<Sums> invoiceSums(Connection& cn, std::optional<int> customerId = {});

// The number of a customer's open invoices (status 0).
std::optional<qint64> openInvoiceCount(Connection& cn, int customerId);

} // namespace quillory::reportstore
