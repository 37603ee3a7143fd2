#include "customers/customers.h"

#include "core/formats.h"

namespace quillory::customers {

std::optional<int> selectedCustomerId(const QString& entry) {
    if (entry.isEmpty())
        return std::nullopt;
    bool ok = false;
    const int id = entry.mid(entry.lastIndexOf(u'-') + 1).trimmed().toInt(&ok);
    return ok ? std::optional<int>(id) : std::nullopt;
}

QString totalsCaption(const customerstore::Totals& totals) {
    const QString crlf = QStringLiteral("\r\n");
    QString caption;
    if (totals.hasSums) {
        caption = QStringLiteral("Account Balance: ");
        const std::optional<Money> balance =
            totals.sumDue && totals.sumPaid ? totals.sumDue->minus(*totals.sumPaid) : std::nullopt;
        if (balance)
            caption += formats::currency(*balance);
    }
    if (totals.openInvoices)
        caption += crlf + QStringLiteral("Open Invoices: ") + QString::number(*totals.openInvoices);
    if (totals.projects)
        caption += crlf + QStringLiteral("Total Projects: ") + QString::number(*totals.projects);
    return caption;
}

const std::array<SaveRule, 13>& saveRules() {
    static const std::array<SaveRule, 13> rules = {{
        {true, {}},                    // first name
        {true, {}},                    // last name
        {true, {}},                    // street
        {true, {}},                    // city
        {true, {}},                    // province or state
        {false, QStringLiteral("CA")}, // country
        {true, {}},                    // postal code
        {true, {}},                    // e-mail
        {false, QStringLiteral("NA")}, // e-mail 2
        {false, QStringLiteral("NA")}, // phone
        {false, QStringLiteral("NA")}, // cell
        {false, QStringLiteral("NA")}, // contact notes
        {false, QStringLiteral("NA")}, // account memo
    }};
    return rules;
}

std::optional<int> applySaveRules(QStringList& texts) {
    const auto& rules = saveRules();
    for (int i = 0; i < static_cast<int>(rules.size()) && i < texts.size(); ++i) {
        if (!texts.at(i).isEmpty())
            continue;
        if (rules[i].required)
            return i;
        texts[i] = rules[i].defaultText;
    }
    return std::nullopt;
}

QVariantMap shownNames(const QVariantList& loaded) {
    QVariantMap names;
    for (const QString& column : {QStringLiteral("fname"), QStringLiteral("lname")})
        names.insert(column, loaded.value(customerstore::kColumns.indexOf(column)));
    return names;
}

SaveDelta saveDelta(const QVariantList& loaded, const QStringList& viewLeft,
                    const QStringList& now) {
    SaveDelta delta;
    delta.shown = shownNames(loaded);
    for (int i = 0; i < now.size() && i + 1 < customerstore::kColumns.size(); ++i) {
        if (now.at(i) == viewLeft.value(i))
            continue;
        const QString& column = customerstore::kColumns.at(i + 1);
        delta.changes.insert(column, now.at(i));
        delta.shown.insert(column, loaded.value(i + 1));
    }
    return delta;
}

} // namespace quillory::customers
