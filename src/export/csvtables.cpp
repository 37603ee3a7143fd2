#include "export/csvtables.h"

#include "export/csv.h"
#include "export/exportstore.h"

#include <QSqlQuery>

namespace quillory::csvtables {

namespace {

// The document's rule: 0 is open, anything else (Null included) closed. A
// real number is compared as it is: 0.4 is not 0.
QString statusText(const QVariant& status) {
    bool ok = false;
    const bool open = !status.isNull() &&
                      (status.typeId() == QMetaType::Double ? status.toDouble() == 0.0
                                                            : status.toLongLong(&ok) == 0 && ok);
    return open ? QStringLiteral("Open") : QStringLiteral("Closed");
}

QString projectAmount(const QVariant& hours, const QVariant& rate) {
    bool hoursOk = false;
    bool rateOk = false;
    const double h = hours.toDouble(&hoursOk);
    const double r = rate.toDouble(&rateOk);
    if (hours.isNull() || rate.isNull() || !hoursOk || !rateOk)
        return {};
    return csv::money(Money::fromProduct(static_cast<float>(h), static_cast<float>(r)));
}

QString balance(const QVariant& due, const QVariant& paid) {
    const std::optional<Money> d = Money::fromStored(due);
    const std::optional<Money> p = Money::fromStored(paid);
    return csv::money(d && p ? d->minus(*p) : std::nullopt);
}

QStringList customerFields(const QSqlQuery& row) {
    QStringList fields{csv::integer(row.value(0))};
    for (int i = 1; i <= 13; ++i)
        fields.append(csv::text(row.value(i)));
    return fields;
}

QStringList projectFields(const QSqlQuery& row) {
    return {csv::integer(row.value(0)),
            csv::integer(row.value(1)),
            csv::text(row.value(2)),
            csv::text(row.value(3)),
            csv::figure(row.value(4)),
            csv::figure(row.value(5)),
            projectAmount(row.value(4), row.value(5)),
            csv::text(row.value(6)),
            csv::text(row.value(7)),
            csv::text(row.value(8)),
            csv::dateTime(row.value(9)),
            csv::integer(row.value(10))};
}

QStringList invoiceFields(const QSqlQuery& row) {
    return {csv::integer(row.value(0)),
            csv::integer(row.value(1)),
            csv::text(row.value(2)),
            csv::text(row.value(3)),
            csv::integer(row.value(4)),
            csv::text(row.value(5)),
            csv::dateTime(row.value(6)),
            statusText(row.value(7)),
            csv::amount(row.value(8)),
            csv::amount(row.value(9)),
            balance(row.value(8), row.value(9)),
            csv::text(row.value(10))};
}

struct TableKind {
    QStringList header;
    bool (*read)(Connection&, const exportstore::OnRow&);
    QStringList (*fields)(const QSqlQuery&);
};

TableKind kindOf(Table table) {
    switch (table) {
    case Table::Customers:
        return {{QStringLiteral("ID"), QStringLiteral("First Name"), QStringLiteral("Last Name"),
                 QStringLiteral("Street"), QStringLiteral("City"), QStringLiteral("Prov/State"),
                 QStringLiteral("Country"), QStringLiteral("Postal Code"), QStringLiteral("Email"),
                 QStringLiteral("Email 2"), QStringLiteral("Phone"), QStringLiteral("Cell"),
                 QStringLiteral("Contact Notes"), QStringLiteral("Account Memo")},
                exportstore::forEachCustomer,
                customerFields};
    case Table::Projects:
        return {{QStringLiteral("Project ID"), QStringLiteral("Customer ID"),
                 QStringLiteral("Summary"), QStringLiteral("Status"),
                 QStringLiteral("Billing Hours"), QStringLiteral("Billing Rate"),
                 QStringLiteral("Amount"), QStringLiteral("Services Provided"),
                 QStringLiteral("Details"), QStringLiteral("Notes"), QStringLiteral("Edited"),
                 QStringLiteral("Invoiced")},
                exportstore::forEachProject,
                projectFields};
    case Table::Invoices:
        break;
    }
    return {{QStringLiteral("Invoice ID"), QStringLiteral("Customer ID"),
             QStringLiteral("Last Name"), QStringLiteral("First Name"),
             QStringLiteral("Project ID"), QStringLiteral("Project"), QStringLiteral("Created"),
             QStringLiteral("Status"), QStringLiteral("Amount Due"), QStringLiteral("Amount Paid"),
             QStringLiteral("Balance"), QStringLiteral("Payment History")},
            exportstore::forEachInvoice,
            invoiceFields};
}

} // namespace

Outcome writeTable(Table table, Connection& cn, QIODevice& device,
                   const std::atomic_bool* cancelled) {
    const auto stopped = [cancelled] { return cancelled && cancelled->load(); };
    const TableKind kind = kindOf(table);
    csv::Writer writer(device);
    writer.write(kind.header);
    // After a failed write or a cancel the rest is still read, but nothing
    // more written.
    bool stop = false;
    const bool read = kind.read(cn, [&](const QSqlQuery& row) {
        stop = stop || stopped();
        if (writer.ok() && !stop)
            writer.write(kind.fields(row));
    });
    if (stop || stopped())
        return Outcome::Cancelled;
    if (!read)
        return Outcome::ReadFailed;
    return writer.ok() ? Outcome::Written : Outcome::WriteFailed;
}

} // namespace quillory::csvtables
