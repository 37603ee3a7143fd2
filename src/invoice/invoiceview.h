#pragma once

#include "core/money.h"

#include <QDateTime>
#include <QString>
#include <QVariantMap>

#include <optional>

// What the invoice view shows of one invoice row, worked out without a
// window: the texts of its boxes and of its two yellow labels.
namespace quillory::invoiceview {

// The calendar days from the day `created` to the day of `today`: midnights
// passed, the time of day plays no part.
qint64 ageInDays(const QDateTime& created, const QDateTime& today);

// What the invoice still owes: amount due less amount paid, exactly; nothing
// when either is Null or the difference is beyond the range of amounts.
std::optional<Money> balance(const QVariantMap& invoice);

// The view's texts. A Null column gives the empty text, so that nothing of a
// previous invoice stays on screen.
struct Texts {
    QString projectId;
    QString customerId;
    QString amountDue;
    QString amountPaid;
    QString paymentDates;
    QString created;
    QString status;
    QString total;    // "Total Owing: " and the balance, or the label alone
    QString openDays; // "Open for: N days.", or empty without a date
};
Texts viewTexts(const QVariantMap& invoice, const QDateTime& today);

} // namespace quillory::invoiceview
