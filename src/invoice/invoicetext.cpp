#include "invoice/invoicetext.h"

#include "core/formats.h"

#include <QLocale>

namespace quillory::invoicetext {

namespace {

const QString kCrLf = QStringLiteral("\r\n");
const QChar kTab = u'\t';

QString textOf(const QVariantMap& row, const char* column) {
    return row.value(QString::fromLatin1(column)).toString();
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
    return when.isValid() ? formats::generalDate(when) : value.toString();
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

} // namespace

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
