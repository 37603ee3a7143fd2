#pragma once

#include "core/money.h"

#include <QDateTime>
#include <QString>
#include <QVariant>

#include <optional>

// The rules of a payment, without a window: how the typed amount is read,
// the history line it adds, the status it leaves, and the texts of its boxes.
namespace quillory::payments {

// The amount a typed text pays: its exact value under the user's locale, the
// same reading that accepts it as numeric ("$45" pays 45, "1,000.00" pays
// 1000). Nothing when the text is empty, not a number, too large to hold, or
// finer than a ten-thousandth ("0.00005"): the amount applied is always the
// very amount the history line shows.
std::optional<Money> readPayment(const QString& typed);

// Whether a payment can go on an invoice with these stored amounts at all:
// the new amount paid and what is then owing must both be amounts the
// program can hold.
bool fitsAmounts(Money due, Money paid, Money payment);

// The payment history after a payment: the old history, CR LF, the moment in
// the locale's general date form, then "($", the amount as typed, and ")".
// A Null history gives the new line after the line break alone.
QString historyAfter(const QVariant& history, const QDateTime& when, const QString& typed);

// The amount paid after adding a payment, and what is then left owing;
// nothing when the result cannot be held.
std::optional<Money> paidAfter(Money paid, Money payment);
std::optional<Money> owingAfter(Money due, Money paid);

// 1 (closed) when nothing is left owing, exactly; 0 (open) otherwise.
int statusAfter(Money due, Money paid);

// The refusal of a payment larger than the balance (the balance empty when
// the row's amounts could not be read).
QString tooLargeText(const std::optional<Money>& balance);
// The last question before a payment is written.
QString confirmText(const QString& typed, Money balanceAfter);

} // namespace quillory::payments
