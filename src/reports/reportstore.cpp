#include "reports/reportstore.h"

#include <QSqlQuery>

#include <vector>

namespace quillory::reportstore {

std::optional<Money> Sums::balance() const {
    if (!due || !paid)
        return std::nullopt;
    return due->minus(*paid);
}

namespace {

// Adds a group's sum to a running total, as SQL's sum() does: empty sums are
// left out, and an overflow is an error.
bool addTo(std::optional<Money>& total, const std::optional<Money>& part) {
    if (!part)
        return true;
    if (!total) {
        total = part;
        return true;
    }
    std::int64_t units = 0;
    if (__builtin_add_overflow(total->units(), part->units(), &units))
        return false;
    total = Money::fromUnits(units);
    return true;
}

struct CustomerSums {
    qint64 customerId;
    Sums sums;
};

} // namespace

bool forEachCustomer(Connection& cn, const std::function<void(const CustomerLine&)>& onCustomer,
                     Sums* allInvoices) {
    // One pass over the invoices, grouped by customer, instead of one sums
    // query per customer; the groups also add up to the grand totals.
    std::vector<CustomerSums> groups;
    Sums total;
    bool overflow = false;
    const bool summed = cn.forEachRow(
        QStringLiteral("SELECT customerid,sum(amountdue),sum(amountpaid) FROM tblinvoice "
                       "WHERE customerid IS NOT NULL GROUP BY customerid ORDER BY customerid"),
        {}, [&](const QSqlQuery& row) {
            const Sums sums{Money::fromStored(row.value(1)), Money::fromStored(row.value(2))};
            groups.push_back({row.value(0).toLongLong(), sums});
            overflow = overflow || !addTo(total.due, sums.due) || !addTo(total.paid, sums.paid);
        });
    if (!summed)
        return false;
    if (allInvoices) {
        // Invoices without a customer id count in the grand totals only.
        const bool unassigned =
            cn.forEachRow(QStringLiteral("SELECT sum(amountdue),sum(amountpaid) FROM tblinvoice "
                                         "WHERE customerid IS NULL"),
                          {}, [&](const QSqlQuery& row) {
                              overflow = overflow ||
                                         !addTo(total.due, Money::fromStored(row.value(0))) ||
                                         !addTo(total.paid, Money::fromStored(row.value(1)));
                          });
        if (!unassigned)
            return false;
        if (overflow)
            return cn.fail({errnum::Overflow, QStringLiteral("integer overflow")});
        *allInvoices = total;
    }

    auto group = groups.cbegin();
    CustomerLine line;
    return cn.forEachRow(
        QStringLiteral("SELECT id,fname,lname,email1 FROM tblcustomer ORDER BY id"), {},
        [&](const QSqlQuery& row) {
            line.id = row.value(0).toLongLong();
            line.fname = row.value(1).toString();
            line.lname = row.value(2).toString();
            line.email1 = row.value(3).toString();
            while (group != groups.cend() && group->customerId < line.id)
                ++group;
            line.sums =
                group != groups.cend() && group->customerId == line.id ? group->sums : Sums{};
            onCustomer(line);
        });
}

std::optional<Sums> invoiceSums(Connection& cn, std::optional<int> customerId) {
    QString sql = QStringLiteral("SELECT sum(amountdue),sum(amountpaid) FROM tblinvoice");
    if (customerId)
        sql += QStringLiteral(" WHERE customerid=") + QString::number(*customerId);
    std::optional<Sums> sums;
    const bool ok = cn.forEachRow(sql, {}, [&sums](const QSqlQuery& row) {
        sums = Sums{Money::fromStored(row.value(0)), Money::fromStored(row.value(1))};
    });
    if (!ok)
        return std::nullopt;
    return sums.value_or(Sums{});
}

std::optional<qint64> openInvoiceCount(Connection& cn, int customerId) {
    std::optional<qint64> count;
    const bool ok =
        cn.forEachRow(QStringLiteral("SELECT COUNT(id) FROM tblinvoice WHERE customerid=") +
                          QString::number(customerId) + QStringLiteral(" AND status=0"),
                      {}, [&count](const QSqlQuery& row) { count = row.value(0).toLongLong(); });
    if (!ok)
        return std::nullopt;
    return count.value_or(0);
}

} // namespace quillory::reportstore
