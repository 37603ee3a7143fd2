// The invoice document (composeInvoiceText) on any row values. The first byte
// picks the user's locale; then, column by column, a byte picks the kind of
// the stored value (missing, Null, an integer, a small integer, a double, a
// text read as UTF-8 or as raw UTF-16, a blob, a stored date-time) and the
// bytes after it give the value.
//
// What must hold:
// - the document is exactly the 21 lines of its layout, each ending in CR LF,
//   with the labels and separators in place and every text value in it
//   as it stands, so that it has 21 line breaks plus those of the values,
//   but for its direction marks (ownDirection);
// - ownDirection changes nothing but direction marks, leaves every level
//   closed within each line of the text, and leaves a text that is already
//   so unchanged;
// - "Status: OPEN" stands exactly when the stored status is the number 0;
// - each amount reads back from its text as exactly the stored amount;
// - the balance reads back as exactly amount due less amount paid, and is
//   left empty when either is Null or the difference is beyond the range of
//   amounts (never a wrapped number).
#include "core/formats.h"
#include "fuzzsupport.h"
#include "invoice/invoicetext.h"

#include <QRegularExpression>

#include <array>
#include <bit>
#include <limits>
#include <utility>

using namespace quillory;
using fuzz::visible;

namespace {

const std::array<QString, 6> kLocales = {
    QStringLiteral("en_US"), QStringLiteral("de_DE"), QStringLiteral("fr_FR"),
    QStringLiteral("ar_EG"), QStringLiteral("fa_IR"), QStringLiteral("hi_IN"),
};

enum class Table { Options, Customer, Invoice, Project };

// How a piece of the document shows its value.
enum class Shown {
    Fixed,   // a label or separator of the layout
    Text,    // the value as it stands
    Date,    // a stored date-time in the general date form, else as it stands
    Amount,  // a plain number
    Status,  // "Status: OPEN" or "Status: CLOSED"
    Balance, // amount due less amount paid, a plain number
};

struct Piece {
    Shown shown;
    const char* text; // the fixed text, or the column
    Table table = Table::Invoice;
};

const QString kCrLf = QStringLiteral("\r\n");

Piece fixed(const char* text) {
    return {Shown::Fixed, text};
}
Piece busText(const char* column) {
    return {Shown::Text, column, Table::Options};
}
Piece customerText(const char* column) {
    return {Shown::Text, column, Table::Customer};
}
Piece invoice(Shown shown, const char* column) {
    return {shown, column, Table::Invoice};
}

// The document's layout, line by line.
const std::vector<std::vector<Piece>>& layout() {
    static const std::vector<std::vector<Piece>> lines = {
        {busText("busname")},
        {busText("busaddress"), fixed("\t\t"), busText("busurl")},
        {busText("bus_phone"), fixed("\t\t"), busText("bus_email")},
        {busText("bus_slogan")},
        {},
        {fixed("ISSUED TO:")},
        {customerText("fname"), fixed(" "), customerText("lname")},
        {customerText("street"), fixed(", "), customerText("city"), fixed(", "),
         customerText("prov"), fixed(", "), customerText("pcode"), fixed(", "),
         customerText("country")},
        {customerText("email1"), fixed(" // "), customerText("phone")},
        {},
        {fixed("INVOICE DETAILS: \t\tProject ID: "), invoice(Shown::Text, "servicesid"),
         fixed("\tInvoice ID: "), invoice(Shown::Text, "id"), fixed("\t"),
         invoice(Shown::Status, "status")},
        {fixed("Invoice Date: "), invoice(Shown::Date, "datecreated")},
        {},
        {fixed("Project Description: ")},
        {{Shown::Text, "services_provided", Table::Project}},
        {},
        {fixed("Payment History: "), invoice(Shown::Text, "paymentdates")},
        {},
        {fixed("Amount Due: "), invoice(Shown::Amount, "amountdue"), fixed("\tAmount Paid: "),
         invoice(Shown::Amount, "amountpaid")},
        {},
        {fixed("CURRENT BALANCE: "), invoice(Shown::Balance, "")},
    };
    return lines;
}

const QVariantMap& rowOf(const invoicetext::Rows& rows, Table table) {
    switch (table) {
    case Table::Options:
        return rows.options;
    case Table::Customer:
        return rows.customer;
    case Table::Invoice:
        break;
    case Table::Project:
        return rows.project;
    }
    return rows.invoice;
}

QVariantMap& rowOf(invoicetext::Rows& rows, Table table) {
    return const_cast<QVariantMap&>(rowOf(std::as_const(rows), table));
}

// A stored value of any kind the database or a caller might hand over.
std::optional<QVariant> storedValue(fuzz::Input& input) {
    const std::uint8_t kind = input.byte() % 9;
    switch (kind) {
    case 0:
        return std::nullopt; // no such column in the row
    case 1:
        return QVariant(QMetaType::fromType<QString>());
    case 2:
        return QVariant::fromValue<qlonglong>(static_cast<qlonglong>(input.word()));
    case 3:
        return QVariant::fromValue<qlonglong>(static_cast<std::int8_t>(input.byte()));
    case 4:
        return QVariant(std::bit_cast<double>(input.word()));
    case 5:
        return QVariant(QString::fromUtf8(input.take(input.byte())));
    case 6:
        return QVariant(fuzz::Input::asUtf16(input.take(2 * std::size_t(input.byte()))));
    case 7:
        return QVariant(input.take(input.byte()));
    default: {
        // A date-time as the program stores it, within the years a date has.
        const qint64 seconds = static_cast<qint64>(input.word() % 315537897600ULL);
        return QVariant(
            formats::storedDateTime(QDateTime(QDate(1, 1, 1), QTime(0, 0)).addSecs(seconds)));
    }
    }
}

// The number a stored amount holds, in ten-thousandths: an integer, or a text
// that is one. Nothing for anything else.
std::optional<std::int64_t> storedUnits(const QVariant& value) {
    const std::optional<Money> m = Money::fromStored(value);
    return m ? std::optional<std::int64_t>(m->units()) : std::nullopt;
}

// Whether the stored status is the number 0: an integer 0, a real 0, or a
// text of a whole number 0. Anything else (Null, 0.4, "0.0", "zero") is not.
bool isZero(const QVariant& value) {
    if (value.isNull())
        return false;
    switch (value.typeId()) {
    case QMetaType::LongLong:
    case QMetaType::Int:
        return value.toLongLong() == 0;
    case QMetaType::Double:
        return value.toDouble() == 0.0;
    default:
        break;
    }
    static const QRegularExpression zero(QRegularExpression::anchoredPattern("[+-]?0+"));
    return zero.match(value.toString().trimmed()).hasMatch();
}

// An amount's text read back: the locale's decimal separator put back to a
// point, then read exactly.
std::optional<std::int64_t> readBack(QString text) {
    const QString separator = QLocale(formats::localeName()).decimalPoint();
    if (separator != u".")
        text.replace(separator, QStringLiteral("."));
    const std::optional<Money> m = Money::parse(text);
    return m ? std::optional<std::int64_t>(m->units()) : std::nullopt;
}

QString units(const std::optional<std::int64_t>& value) {
    return value ? QString::number(*value) : QStringLiteral("nothing");
}

// The explicit direction marks: embeddings, overrides and isolates, and
// the two that close them.
bool isDirectionMark(QChar c) {
    return (c >= u'\u202A' && c <= u'\u202E') || (c >= u'\u2066' && c <= u'\u2069');
}

QString withoutDirectionMarks(const QString& text) {
    QString out;
    for (const QChar c : text)
        if (!isDirectionMark(c))
            out.append(c);
    return out;
}

// Whether every level a text opens is closed by a mark that may close it,
// before each line break and the end, and no mark closes anything else.
bool closedWithinEachLine(const QString& text) {
    QString open; // the openers not closed yet, innermost last
    const auto isIsolate = [](QChar c) { return c >= u'\u2066' && c <= u'\u2068'; };
    for (const QChar c : text) {
        if (c == u'\n' || c == u'\r' || c == u'\u001C' || c == u'\u001D' || c == u'\u001E' ||
            c == u'\u0085' || c == u'\u2029') {
            if (!open.isEmpty())
                return false;
        } else if (c == u'\u202C') {
            if (open.isEmpty() || isIsolate(open.back()))
                return false;
            open.chop(1);
        } else if (c == u'\u2069') {
            const qsizetype isolate = [&] {
                for (qsizetype i = open.size() - 1; i >= 0; --i)
                    if (isIsolate(open.at(i)))
                        return i;
                return qsizetype(-1);
            }();
            if (isolate < 0)
                return false;
            open.truncate(isolate);
        } else if (isDirectionMark(c)) {
            open.append(c);
        }
    }
    return open.isEmpty();
}

void checkOwnDirection(const QString& text) {
    const QString kept = invoicetext::ownDirection(text);
    FUZZ_CHECK(withoutDirectionMarks(kept) == withoutDirectionMarks(text),
               QStringLiteral("direction kept changed the text ") + visible(text) +
                   QStringLiteral(" into ") + visible(kept));
    FUZZ_CHECK(closedWithinEachLine(kept), QStringLiteral("a level left open in ") + visible(kept));
    FUZZ_CHECK(!closedWithinEachLine(text) || kept == text,
               QStringLiteral("a closed text changed: ") + visible(text));
}

struct Expected {
    QStringList lines;
    int valueLineBreaks = 0;
};

// The document as its layout says, from the same rows.
Expected expectedDocument(const invoicetext::Rows& rows) {
    Expected expected;
    const QVariantMap& inv = rows.invoice;
    for (const std::vector<Piece>& line : layout()) {
        QString text;
        for (const Piece& piece : line) {
            const QVariant value = rowOf(rows, piece.table).value(piece.text);
            QString shown;
            switch (piece.shown) {
            case Shown::Fixed:
                shown = QString::fromUtf8(piece.text);
                break;
            case Shown::Text:
                checkOwnDirection(value.toString());
                shown = invoicetext::ownDirection(value.toString());
                expected.valueLineBreaks += shown.count(kCrLf);
                break;
            case Shown::Date: {
                const QDateTime when = formats::fromStoredDateTime(value.toString());
                shown = value.isNull()   ? QString()
                        : when.isValid() ? formats::generalDate(when)
                                         : invoicetext::ownDirection(value.toString());
                expected.valueLineBreaks += shown.count(kCrLf);
                break;
            }
            case Shown::Amount: {
                const std::optional<std::int64_t> amount = storedUnits(value);
                shown = amount ? invoicetext::plainNumber(Money::fromUnits(*amount)) : QString();
                break;
            }
            case Shown::Status:
                shown = isZero(value) ? QStringLiteral("Status: OPEN")
                                      : QStringLiteral("Status: CLOSED");
                break;
            case Shown::Balance: {
                const std::optional<std::int64_t> due = storedUnits(inv.value("amountdue"));
                const std::optional<std::int64_t> paid = storedUnits(inv.value("amountpaid"));
                if (due && paid) {
                    const __int128 difference = __int128(*due) - __int128(*paid);
                    if (difference >= std::numeric_limits<std::int64_t>::min() &&
                        difference <= std::numeric_limits<std::int64_t>::max())
                        shown = invoicetext::plainNumber(
                            Money::fromUnits(static_cast<std::int64_t>(difference)));
                }
                break;
            }
            }
            text += shown;
        }
        expected.lines.append(text);
    }
    return expected;
}

void checkDocument(const invoicetext::Rows& rows) {
    const QString document = invoicetext::composeInvoiceText(rows);
    const Expected expected = expectedDocument(rows);

    FUZZ_CHECK(document.endsWith(kCrLf),
               QStringLiteral("the document ends in ") + visible(document.right(4)));
    FUZZ_CHECK(document.count(kCrLf) == 21 + expected.valueLineBreaks,
               QStringLiteral("%1 line breaks, expected 21 and %2 of the values")
                   .arg(document.count(kCrLf))
                   .arg(expected.valueLineBreaks));
    const QString whole = expected.lines.join(kCrLf) + kCrLf;
    if (document != whole) {
        // Say which line of the layout differs first.
        qsizetype at = 0;
        for (int line = 0; line < expected.lines.size(); ++line) {
            const QString wanted = expected.lines.at(line) + kCrLf;
            FUZZ_CHECK(document.mid(at, wanted.size()) == wanted,
                       QStringLiteral("line %1 reads ").arg(line + 1) +
                           visible(document.mid(at, wanted.size())) +
                           QStringLiteral(", expected ") + visible(wanted));
            at += wanted.size();
        }
        FUZZ_CHECK(document == whole, QStringLiteral("text after the last line: ") +
                                          visible(document.mid(whole.size())));
    }

    // The amounts and the balance, read back from the document's own text.
    const QVariantMap& inv = rows.invoice;
    const std::optional<std::int64_t> due = storedUnits(inv.value("amountdue"));
    const std::optional<std::int64_t> paid = storedUnits(inv.value("amountpaid"));
    const qsizetype amounts = document.lastIndexOf(QStringLiteral("\r\nAmount Due: "));
    const QString amountLine =
        document.mid(amounts + 14, document.indexOf(kCrLf, amounts + 2) - amounts - 14);
    const QStringList parts = amountLine.split(QStringLiteral("\tAmount Paid: "));
    FUZZ_CHECK(parts.size() == 2, QStringLiteral("amount line ") + visible(amountLine));
    FUZZ_CHECK(readBack(parts.at(0)) == due, QStringLiteral("amount due ") + visible(parts.at(0)) +
                                                 QStringLiteral(" for ") + units(due));
    FUZZ_CHECK(readBack(parts.at(1)) == paid, QStringLiteral("amount paid ") +
                                                  visible(parts.at(1)) + QStringLiteral(" for ") +
                                                  units(paid));
    const qsizetype balanceAt = document.lastIndexOf(QStringLiteral("CURRENT BALANCE: "));
    const QString balance = document.mid(balanceAt + 17).chopped(2);
    std::optional<std::int64_t> difference;
    if (due && paid) {
        std::int64_t d = 0;
        if (!__builtin_sub_overflow(*due, *paid, &d))
            difference = d;
    }
    FUZZ_CHECK(difference ? readBack(balance) == difference : balance.isEmpty(),
               QStringLiteral("balance ") + visible(balance) + QStringLiteral(" for ") +
                   units(due) + QStringLiteral(" less ") + units(paid));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzz::Input input(data, size);
    formats::setLocaleName(kLocales[input.byte() % kLocales.size()]);
    invoicetext::Rows rows;
    for (const std::vector<Piece>& line : layout()) {
        for (const Piece& piece : line) {
            if (piece.shown == Shown::Fixed || piece.shown == Shown::Balance)
                continue;
            if (const std::optional<QVariant> value = storedValue(input))
                rowOf(rows, piece.table).insert(QString::fromLatin1(piece.text), *value);
        }
    }
    checkDocument(rows);
    return 0;
}
