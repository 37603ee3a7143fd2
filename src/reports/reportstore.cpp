#include "reports/reportstore.h"

#include <QSqlQuery>

namespace quillory::reportstore {

std::optional<Money> Sums::balance() const {
    if (!due || !paid)
        return std::nullopt;
    return due->minus(*paid);
}

bool forEachCustomer(Connection& cn, const std::function<void(const CustomerLine&)>& onCustomer,
                     Sums* allInvoices) {
    // One pass: each customer in id order with the sums of its invoices,
    // read from the index of invoices by customer, so that the first lines
    // come at once rather than after a pass over all invoices.
    CustomerLine line;
    const bool ok = cn.forEachRow(
        QStringLiteral("SELECT c.id,c.fname,c.lname,c.email1,sum(i.amountdue),sum(i.amountpaid) "
                       "FROM tblcustomer c LEFT JOIN tblinvoice i ON i.customerid=c.id "
                       "GROUP BY c.id ORDER BY c.id"),
        {}, [&](const QSqlQuery& row) {
            line.id = row.value(0).toLongLong();
            line.fname = row.value(1).toString();
            line.lname = row.value(2).toString();
            line.email1 = row.value(3).toString();
            line.sums = Sums{Money::fromStored(row.value(4)), Money::fromStored(row.value(5))};
            onCustomer(line);
        });
    if (!ok)
        return false;
    if (allInvoices) {
        // Every invoice, those whose customer is gone or was never set
        // included.
        const std::optional<Sums> all = invoiceSums(cn);
        if (!all)
            return false;
        *allInvoices = *all;
    }
    return true;
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
