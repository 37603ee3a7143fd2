// The three readings of a typed number. The first byte picks the user's
// locale and how the rest is read as text (UTF-8 or raw UTF-16).
//
// What must hold:
// - the numeric test and the locale conversions agree on what is a number;
// - the exact decimal has its plain shape, and the conversions to money,
//   double and single agree with slow references that read that decimal:
//   money rounded digit by digit, the binary types through strtod / strtof;
// - the leading reading never takes more characters than the text has once
//   blanks are removed, reads 0 when it takes none, reads its own prefix the
//   same again, and agrees with strtod (or, for &H and &O, with strtoull).
#include "core/formats.h"
#include "core/numbers.h"
#include "fuzzsupport.h"

#include <QRegularExpression>

#include <array>
#include <cmath>
#include <cstdlib>

using namespace quillory;
using fuzz::visible;

namespace {

// Locales with other separators, grouping, digits and currency placement.
const std::array<QString, 8> kLocales = {
    QStringLiteral("en_US"), QStringLiteral("de_DE"), QStringLiteral("fr_FR"),
    QStringLiteral("de_CH"), QStringLiteral("hi_IN"), QStringLiteral("ar_EG"),
    QStringLiteral("ja_JP"), QStringLiteral("pt_BR"),
};

QString number(double value) {
    return QString::number(value, 'g', 17);
}

void checkLocaleReadings(const QString& text) {
    const bool numeric = numbers::isNumeric(text);
    const std::optional<QString> decimal = numbers::localeDecimal(text);
    const std::optional<double> asDouble = numbers::localeDouble(text);
    const std::optional<float> asSingle = numbers::localeSingle(text);
    const std::optional<Money> money = numbers::localeMoney(text);
    if (!numeric) {
        FUZZ_CHECK(!decimal && !asDouble && !asSingle && !money,
                   visible(text) + QStringLiteral(" is not numeric, yet converts"));
        return;
    }
    if (!decimal)
        return; // numeric, but far beyond any amount: nothing to compare with
    static const QRegularExpression plainShape(
        QRegularExpression::anchoredPattern(QStringLiteral("-?(0|[1-9][0-9]*)(\\.[0-9]*[1-9])?")));
    FUZZ_CHECK(plainShape.match(*decimal).hasMatch() && *decimal != u"-0",
               visible(text) + QStringLiteral(" reads as ") + visible(*decimal));

    const std::optional<std::int64_t> units = fuzz::referenceRoundedUnits(*decimal);
    FUZZ_CHECK(money.has_value() == units.has_value() && (!money || money->units() == *units),
               visible(text) + QStringLiteral(" (") + *decimal + QStringLiteral(") as money: ") +
                   (money ? QString::number(money->units()) : QStringLiteral("nothing")) +
                   QStringLiteral(", expected ") +
                   (units ? QString::number(*units) : QStringLiteral("nothing")));

    const QByteArray ascii = decimal->toLatin1();
    const double reference = std::strtod(ascii.constData(), nullptr);
    FUZZ_CHECK(std::isfinite(reference) ? asDouble == reference : !asDouble,
               visible(text) + QStringLiteral(" as double: ") +
                   (asDouble ? number(*asDouble) : QStringLiteral("nothing")) +
                   QStringLiteral(", expected ") + number(reference));
    const float referenceSingle = std::strtof(ascii.constData(), nullptr);
    FUZZ_CHECK(std::isfinite(referenceSingle) ? asSingle == referenceSingle : !asSingle,
               visible(text) + QStringLiteral(" as single: ") +
                   (asSingle ? number(*asSingle) : QStringLiteral("nothing")) +
                   QStringLiteral(", expected ") + number(referenceSingle));
}

void checkLeadingReading(const QString& text) {
    QString stripped = text;
    stripped.remove(u' ').remove(u'\t').remove(u'\n');
    const numbers::LeadingNumber read = numbers::readLeadingNumber(text);
    FUZZ_CHECK(read.length >= 0 && read.length <= stripped.size(),
               visible(text) + QStringLiteral(" takes %1 characters").arg(read.length));
    if (read.length == 0) {
        FUZZ_CHECK(read.value == 0, visible(text) + QStringLiteral(" reads ") + number(read.value));
        return;
    }
    const QString prefix = stripped.first(read.length);
    const numbers::LeadingNumber again = numbers::readLeadingNumber(prefix);
    FUZZ_CHECK(again.length == read.length && (again.value == read.value ||
                                               (std::isnan(again.value) && std::isnan(read.value))),
               visible(text) + QStringLiteral(" and its own prefix read differently"));

    if (prefix.startsWith(u'&')) {
        const int base = prefix[1] == u'H' || prefix[1] == u'h' ? 16 : 8;
        const QByteArray digits = prefix.mid(2).toLatin1();
        // Exact in a double up to 52 bits.
        if (digits.size() <= (base == 16 ? 13 : 17)) {
            const double expected =
                static_cast<double>(std::strtoull(digits.constData(), nullptr, base));
            FUZZ_CHECK(read.value == expected,
                       visible(text) + QStringLiteral(" reads ") + number(read.value) +
                           QStringLiteral(", expected ") + number(expected));
        }
        return;
    }
    QByteArray ascii = prefix.toLatin1();
    ascii.replace('D', 'e').replace('d', 'e');
    const double expected = std::strtod(ascii.constData(), nullptr);
    FUZZ_CHECK(read.value == expected, visible(text) + QStringLiteral(" reads ") +
                                           number(read.value) + QStringLiteral(", expected ") +
                                           number(expected));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzz::Input input(data, size);
    const std::uint8_t choice = input.byte();
    formats::setLocaleName(kLocales[choice % kLocales.size()]);
    const QString text = input.restAsText(choice & 0x80);
    checkLocaleReadings(text);
    checkLeadingReading(text);
    return 0;
}
