#pragma once

#include "customers/customerstore.h"

#include <QString>
#include <QStringList>
#include <QVariantList>
#include <QVariantMap>

#include <array>
#include <optional>

// What the customer handlers compute, apart from any window.
namespace quillory::customers {

// The id of a customer list entry: the whole number after its last "-"
// ("Smith-Jones-7" is 7). Nothing for an empty entry or one without a number.
std::optional<int> selectedCustomerId(const QString& entry);

// The three lines of the totals label, joined by CR LF; a line whose figure
// could not be read is left out.
QString totalsCaption(const customerstore::Totals& totals);

// The save rules of the 13 editable customer boxes (first name .. memo), in
// the order they are checked: a required box must not be empty; an empty box
// with a default receives it.
struct SaveRule {
    bool required;
    QString defaultText;
};
const std::array<SaveRule, 13>& saveRules();

// Applies the rules to `texts` in order, writing defaults into it. Gives the
// index of the first empty required box (defaults before it are already
// written), or nothing when every rule passed.
std::optional<int> applySaveRules(QStringList& texts);

// What a Save of a shown customer writes, and on what condition. A box counts
// as changed when its text (defaults included) differs from the text the
// customer view left in it; only those columns are written, so a box the
// user did not touch is never rewritten.
struct SaveDelta {
    QVariantMap changes; // column -> the box's text
    // column -> the value the view loaded: the changed columns and the two
    // names, which must still hold it for the write to go ahead.
    QVariantMap shown;
};
// `loaded` holds the customer's columns in customerstore::kColumns order;
// `viewLeft` and `now` the 13 edit boxes' texts, first name to memo.
SaveDelta saveDelta(const QVariantList& loaded, const QStringList& viewLeft,
                    const QStringList& now);

// The names as the view loaded them, which a Delete requires to still hold.
QVariantMap shownNames(const QVariantList& loaded);

} // namespace quillory::customers
