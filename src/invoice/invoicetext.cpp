#include "invoice/invoicetext.h"

#include "core/formats.h"

#include <QLocale>

#include <algorithm>
#include <vector>

namespace quillory::invoicetext {

namespace {

const QString kCrLf = QStringLiteral("\r\n");
const QChar kTab = u'\t';

QString textOf(const QVariantMap& row, const char* column) {
    return ownDirection(row.value(QString::fromLatin1(column)).toString());
}

QString amountOf(const QVariantMap& row, const char* column) {
    const std::optional<Money> amount = Money::fromStored(row.value(QString::fromLatin1(column)));
    return amount ? plainNumber(*amount) : QString();
}

QString dateOf(const QVariantMap& row, const char* column) {
    const QVariant value = row.value(QString::fromLatin1(column));
    if (value.isNull())
        return {};
    const QDateTime when = formats::fromStoredDateTime(value.toString());
    // A value that is not a stored date-time is shown as it stands.
    return when.isValid() ? formats::generalDate(when) : ownDirection(value.toString());
}

// 0 is open; any other value, Null included, reads as closed. A real number
// is compared as it is, not rounded to a whole one: 0.4 is not 0; and a text
// or blob is read whole, not only up to a zero character in it.
bool isOpen(const QVariant& status) {
    if (status.isNull())
        return false;
    bool ok = false;
    switch (status.typeId()) {
    case QMetaType::Double:
        return status.toDouble() == 0.0;
    case QMetaType::QString:
    case QMetaType::QByteArray:
        return QLocale::c().toLongLong(status.toString(), &ok) == 0 && ok;
    default:
        return status.toLongLong(&ok) == 0 && ok;
    }
}

// The explicit direction marks that open and close a level.
constexpr char16_t kPdf = 0x202C; // closes an embedding or override
constexpr char16_t kPdi = 0x2069; // closes an isolate

bool opensEmbedding(char16_t c) {
    return c == 0x202A || c == 0x202B || c == 0x202D || c == 0x202E; // LRE RLE LRO RLO
}
bool opensIsolate(char16_t c) {
    return c == 0x2066 || c == 0x2067 || c == 0x2068; // LRI RLI FSI
}
// A line break ends every level in the text's own reading as well.
bool endsParagraph(char16_t c) {
    return c == u'\n' || c == u'\r' || c == 0x001C || c == 0x001D || c == 0x001E || c == 0x0085 ||
           c == 0x2029;
}

} // namespace

QString ownDirection(const QString& text) {
    QString out;
    out.reserve(text.size());
    std::vector<char16_t> open; // the openers not closed yet, innermost last
    const auto closeAll = [&] {
        for (; !open.empty(); open.pop_back())
            out.append(QChar(opensIsolate(open.back()) ? kPdi : kPdf));
    };
    for (const QChar ch : text) {
        const char16_t c = ch.unicode();
        if (endsParagraph(c)) {
            closeAll();
        } else if (opensEmbedding(c) || opensIsolate(c)) {
            open.push_back(c);
        } else if (c == kPdf) {
            // Closes the innermost level only when that is an embedding of
            // this text; otherwise it would close something outside it.
            if (open.empty() || opensIsolate(open.back()))
                continue;
            open.pop_back();
        } else if (c == kPdi) {
            // Closes the innermost isolate of this text with everything
            // opened inside it.
            const auto isolate = std::find_if(open.rbegin(), open.rend(), opensIsolate);
            if (isolate == open.rend())
                continue;
            open.erase(std::prev(isolate.base()), open.end());
        }
        out.append(ch);
    }
    closeAll();
    return out;
}

QString plainNumber(Money amount) {
    QString text = amount.toPlainString();
    const QString separator = QLocale(formats::localeName()).decimalPoint();
    if (separator != u".")
        text.replace(u'.', separator);
    return text;
}

QString composeInvoiceText(const Rows& rows) {
    const QVariantMap& o = rows.options;
    const QVariantMap& c = rows.customer;
    const QVariantMap& i = rows.invoice;

    const std::optional<Money> due = Money::fromStored(i.value(QStringLiteral("amountdue")));
    const std::optional<Money> paid = Money::fromStored(i.value(QStringLiteral("amountpaid")));
    // Like a Null, a difference beyond the range of amounts contributes nothing.
    const std::optional<Money> owing = due && paid ? due->minus(*paid) : std::nullopt;
    const QString balance = owing ? plainNumber(*owing) : QString();

    const QStringList lines = {
        textOf(o, "busname"),
        textOf(o, "busaddress") + kTab + kTab + textOf(o, "busurl"),
        textOf(o, "bus_phone") + kTab + kTab + textOf(o, "bus_email"),
        textOf(o, "bus_slogan"),
        QString(),
        QStringLiteral("ISSUED TO:"),
        textOf(c, "fname") + u' ' + textOf(c, "lname"),
        textOf(c, "street") + QStringLiteral(", ") + textOf(c, "city") + QStringLiteral(", ") +
            textOf(c, "prov") + QStringLiteral(", ") + textOf(c, "pcode") + QStringLiteral(", ") +
            textOf(c, "country"),
        textOf(c, "email1") + QStringLiteral(" // ") + textOf(c, "phone"),
        QString(),
        QStringLiteral("INVOICE DETAILS: ") + kTab + kTab + QStringLiteral("Project ID: ") +
            textOf(i, "servicesid") + kTab + QStringLiteral("Invoice ID: ") + textOf(i, "id") +
            kTab +
            (isOpen(i.value(QStringLiteral("status"))) ? QStringLiteral("Status: OPEN")
                                                       : QStringLiteral("Status: CLOSED")),
        QStringLiteral("Invoice Date: ") + dateOf(i, "datecreated"),
        QString(),
        QStringLiteral("Project Description: "),
        textOf(rows.project, "services_provided"),
        QString(),
        QStringLiteral("Payment History: ") + textOf(i, "paymentdates"),
        QString(),
        QStringLiteral("Amount Due: ") + amountOf(i, "amountdue") + kTab +
            QStringLiteral("Amount Paid: ") + amountOf(i, "amountpaid"),
        QString(),
        QStringLiteral("CURRENT BALANCE: ") + balance,
    };
    return lines.join(kCrLf) + kCrLf;
}

} // namespace quillory::invoicetext
