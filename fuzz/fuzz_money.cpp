// The money conversions. The first eight bytes are an amount in
// ten-thousandths; the rest is a text.
//
// What must hold:
// - an amount read back from either of its texts is the same amount, by
//   both readings, and its texts have the documented shape;
// - Money::parse takes exactly a plain decimal of at most four decimals, and
//   agrees with the exact value;
// - Money::fromDecimalRounded agrees with a slow reference that rounds the
//   decimal digit by digit, ties away from zero, including which texts and
//   amounts it refuses;
// - the sum and the difference of the amount and the one the text reads as
//   are exact, and nothing exactly when they are beyond the range (checked
//   against 128-bit arithmetic).
#include "core/money.h"
#include "fuzzsupport.h"

#include <QRegularExpression>

#include <array>
#include <charconv>
#include <limits>

using namespace quillory;
using fuzz::visible;

namespace {

QString describe(Money m) {
    return QStringLiteral("units %1").arg(m.units());
}

QString describe(const std::optional<Money>& m) {
    return m ? describe(*m) : QStringLiteral("nothing");
}

QString describe(const std::optional<std::int64_t>& units) {
    return units ? QStringLiteral("units %1").arg(*units) : QStringLiteral("nothing");
}

// The amount's text with all four decimals, written another way: the count
// of ten-thousandths in decimal, with the point put four places from the end.
QString referenceDecimalString(std::int64_t units) {
    std::array<char, 32> buffer{};
    const auto written = std::to_chars(buffer.data(), buffer.data() + buffer.size(), units);
    QString digits = QString::fromLatin1(buffer.data(), written.ptr - buffer.data());
    const bool negative = digits.startsWith(u'-');
    if (negative)
        digits.remove(0, 1);
    digits = digits.rightJustified(5, u'0');
    digits.insert(digits.size() - 4, u'.');
    return negative ? u'-' + digits : digits;
}

void checkRoundTrips(Money m) {
    const QString decimal = m.toDecimalString();
    FUZZ_CHECK(decimal == referenceDecimalString(m.units()),
               describe(m) + QStringLiteral(" reads ") + visible(decimal));
    const QString plain = m.toPlainString();
    static const QRegularExpression plainShape(
        QRegularExpression::anchoredPattern(QStringLiteral("-?(0|[1-9][0-9]*)(\\.[0-9]*[1-9])?")));
    FUZZ_CHECK(plainShape.match(plain).hasMatch() && plain != u"-0",
               describe(m) + QStringLiteral(" plain ") + visible(plain));
    for (const QString& text : {decimal, plain}) {
        FUZZ_CHECK(Money::parse(text) == m,
                   visible(text) + QStringLiteral(" parses as ") + describe(Money::parse(text)));
        FUZZ_CHECK(Money::fromDecimalRounded(text) == m,
                   visible(text) + QStringLiteral(" rounds to ") +
                       describe(Money::fromDecimalRounded(text)));
    }
}

// Money::parse: blanks around, a sign, digits, "." and at most four decimals.
void checkParse(const QString& text) {
    const std::optional<Money> parsed = Money::parse(text);
    static const QRegularExpression shape(
        QRegularExpression::anchoredPattern(QStringLiteral("[+-]?([0-9]*)(\\.([0-9]{0,4}))?")));
    const QString trimmed = text.trimmed();
    const QRegularExpressionMatch match = shape.match(trimmed);
    const bool wellFormed =
        match.hasMatch() && match.captured(1).size() + match.captured(3).size() > 0;
    if (!wellFormed) {
        FUZZ_CHECK(!parsed, visible(text) + QStringLiteral(" parses as ") + describe(parsed));
        return;
    }
    // Exact, so the reference's rounding never comes into it.
    QString plain = trimmed;
    if (plain.endsWith(u'.'))
        plain.chop(1);
    const std::optional<std::int64_t> expected = fuzz::referenceRoundedUnits(plain);
    FUZZ_CHECK(parsed.has_value() == expected.has_value() &&
                   (!parsed || parsed->units() == *expected),
               visible(text) + QStringLiteral(" parses as ") + describe(parsed) +
                   QStringLiteral(", expected ") + describe(expected));
}

void checkRounding(const QString& text) {
    const std::optional<Money> rounded = Money::fromDecimalRounded(text);
    const std::optional<std::int64_t> expected = fuzz::referenceRoundedUnits(text);
    FUZZ_CHECK(rounded.has_value() == expected.has_value() &&
                   (!rounded || rounded->units() == *expected),
               visible(text) + QStringLiteral(" rounds to ") + describe(rounded) +
                   QStringLiteral(", expected ") + describe(expected));
}

void checkArithmetic(Money a, Money b) {
    const auto expected = [](__int128 exact) -> std::optional<Money> {
        if (exact < std::numeric_limits<std::int64_t>::min() ||
            exact > std::numeric_limits<std::int64_t>::max())
            return std::nullopt;
        return Money::fromUnits(static_cast<std::int64_t>(exact));
    };
    const QString operands = describe(a) + QStringLiteral(", ") + describe(b);
    FUZZ_CHECK(a.plus(b) == expected(__int128(a.units()) + b.units()),
               operands + QStringLiteral(" sum to ") + describe(a.plus(b)));
    FUZZ_CHECK(a.minus(b) == expected(__int128(a.units()) - b.units()),
               operands + QStringLiteral(" differ by ") + describe(a.minus(b)));
    FUZZ_CHECK(b.negated() == expected(-__int128(b.units())),
               describe(b) + QStringLiteral(" negated is ") + describe(b.negated()));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzz::Input input(data, size);
    const Money amount = Money::fromUnits(static_cast<std::int64_t>(input.word()));
    checkRoundTrips(amount);
    const QString text = input.restAsText(false);
    checkParse(text);
    checkRounding(text);
    if (const std::optional<Money> other = Money::fromDecimalRounded(text))
        checkArithmetic(amount, *other);
    return 0;
}
