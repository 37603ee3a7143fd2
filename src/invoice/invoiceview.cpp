#include "invoice/invoiceview.h"

#include "core/formats.h"

namespace quillory::invoiceview {

namespace {

QString currencyOf(const QVariant& stored) {
    const std::optional<Money> amount = Money::fromStored(stored);
    return amount ? formats::currency(*amount) : QString();
}

} // namespace

qint64 ageInDays(const QDateTime& created, const QDateTime& today) {
    return created.date().daysTo(today.date());
}

std::optional<Money> balance(const QVariantMap& invoice) {
    const std::optional<Money> due = Money::fromStored(invoice.value(QStringLiteral("amountdue")));
    const std::optional<Money> paid =
        Money::fromStored(invoice.value(QStringLiteral("amountpaid")));
    if (!due || !paid)
        return std::nullopt;
    return due->minus(*paid);
}

Texts viewTexts(const QVariantMap& invoice, const QDateTime& today) {
    Texts t;
    t.projectId = invoice.value(QStringLiteral("servicesid")).toString();
    t.customerId = invoice.value(QStringLiteral("customerid")).toString();
    t.amountDue = currencyOf(invoice.value(QStringLiteral("amountdue")));
    t.amountPaid = currencyOf(invoice.value(QStringLiteral("amountpaid")));
    t.paymentDates = invoice.value(QStringLiteral("paymentdates")).toString();
    t.status = invoice.value(QStringLiteral("status")).toString();

    const QVariant stored = invoice.value(QStringLiteral("datecreated"));
    const QDateTime created = formats::fromStoredDateTime(stored.toString());
    if (created.isValid()) {
        t.created = formats::generalDate(created);
        t.openDays = QStringLiteral("Open for: ") + QString::number(ageInDays(created, today)) +
                     QStringLiteral(" days.");
    } else {
        // Shown as it stands when it is not a date the program wrote.
        t.created = stored.toString();
    }

    const std::optional<Money> owing = balance(invoice);
    t.total = QStringLiteral("Total Owing: ") + (owing ? formats::currency(*owing) : QString());
    return t;
}

} // namespace quillory::invoiceview
