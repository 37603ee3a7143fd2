#include "invoice/payments.h"

#include "core/formats.h"
#include "core/numbers.h"
#include "invoice/invoicetext.h"

namespace quillory::payments {

namespace {
const QString kCrLf = QStringLiteral("\r\n");
}

std::optional<Money> readPayment(const QString& typed) {
    if (typed.isEmpty() || !numbers::isNumeric(typed))
        return std::nullopt;
    const std::optional<QString> exact = numbers::localeDecimal(typed);
    return exact ? Money::parse(*exact) : std::nullopt;
}

bool fitsAmounts(Money due, Money paid, Money payment) {
    const std::optional<Money> newPaid = paidAfter(paid, payment);
    return newPaid && owingAfter(due, *newPaid);
}

QString historyAfter(const QVariant& history, const QDateTime& when, const QString& typed) {
    return history.toString() + kCrLf + formats::generalDate(when) + QStringLiteral("($") + typed +
           u')';
}

std::optional<Money> paidAfter(Money paid, Money payment) {
    return paid.plus(payment);
}

std::optional<Money> owingAfter(Money due, Money paid) {
    return due.minus(paid);
}

int statusAfter(Money due, Money paid) {
    // Equal amounts leave exactly nothing owing.
    return due == paid ? 1 : 0;
}

QString tooLargeText(const std::optional<Money>& balance) {
    return QStringLiteral("Payment is larger than what is owing.") + kCrLf +
           QStringLiteral("There is $") +
           (balance ? invoicetext::plainNumber(*balance) : QString()) +
           QStringLiteral(" owing on this invoice.") + kCrLf + kCrLf +
           QStringLiteral("Please enter an amount equal to, or smaller than the invoice balance.");
}

QString confirmText(const QString& typed, Money balanceAfter) {
    return QStringLiteral("Apply the payment of: $") + typed + QStringLiteral(" to this") +
           QStringLiteral(" invoice?") + kCrLf + kCrLf +
           QStringLiteral("This will make the invoice balance $") +
           invoicetext::plainNumber(balanceAfter);
}

} // namespace quillory::payments
