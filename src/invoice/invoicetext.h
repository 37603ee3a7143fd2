#pragma once

#include "core/money.h"

#include <QString>
#include <QVariantMap>

// The invoice document: one plain text, the same for e-mail and for paper,
// made from the business options, the customer, the invoice and its project.
namespace quillory::invoicetext {

// An amount as the document and the payment messages write it: the exact
// value without currency sign, grouping or trailing zero decimals, with the
// locale's decimal separator ("1234.5", "100", "-50", "0").
QString plainNumber(Money amount);

// A stored text as one field of a document, its writing direction kept to
// itself: every embedding, override or isolate the text opens is closed
// before its end (and before each of its line breaks), and a closing mark
// without its opening one in the text is dropped, so that nothing in one
// field reverses or reorders the next. Other text is left as it is.
QString ownDirection(const QString& text);

// The four rows, each column (in lower case) -> value as stored.
struct Rows {
    QVariantMap options;  // tblbusoptions
    QVariantMap customer; // tblcustomer
    QVariantMap invoice;  // tblinvoice
    QVariantMap project;  // tblservices (services_provided)
};

// The document's 21 lines, each ending in CR LF, TAB between the pieces that
// the layout separates. A Null column contributes nothing; the labels and
// separators around it are still written. Each text keeps its own direction
// (ownDirection).
QString composeInvoiceText(const Rows& rows);

} // namespace quillory::invoicetext
