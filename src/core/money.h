#pragma once

#include <QMetaType>
#include <QString>
#include <QVariant>

#include <compare>
#include <cstdint>
#include <optional>

namespace quillory {

// An exact amount of money with four decimal places, held as a count of
// ten-thousandths. This is the only type that touches that raw count; the
// database stores the same count as an INTEGER.
class Money {
public:
    static constexpr std::int64_t kScale = 10000;

    constexpr Money() = default;
    static constexpr Money fromUnits(std::int64_t tenThousandths) {
        Money m;
        m.m_units = tenThousandths;
        return m;
    }
    // A whole amount; nothing when it is beyond the range (about
    // 922 trillion either way).
    static std::optional<Money> fromWhole(std::int64_t whole);

    // Reads a plain decimal text ("-12.5", "0.0001", "+3"): an optional sign,
    // digits, "." and at most four decimals after it. Anything else, or an
    // amount too large to hold, gives nothing.
    static std::optional<Money> parse(const QString& text);

    // Reads a plain decimal text of any length ("-1000.50005": an optional
    // sign, digits, and "." with digits after it), rounded to four decimals
    // with ties away from zero. Nothing for any other text, or an amount too
    // large to hold.
    static std::optional<Money> fromDecimalRounded(const QString& text);

    // Rounds a binary floating-point result (such as hours times rate) to four
    // decimals, ties away from zero. Gives nothing when it does not fit.
    static std::optional<Money> fromDouble(double value);

    // The exact product of two single-precision values as they read, that is
    // of their shortest decimal forms (37.3f is 37.3, not 37.29999923...),
    // rounded to four decimals with ties away from zero: 37.3 times 85.15 is
    // 3176.095 exactly. Nothing for a value that is not finite or a product
    // too large to hold.
    static std::optional<Money> fromProduct(float a, float b);

    // The stored form of a money column: an integer count of ten-thousandths.
    // A null or non-integer value gives nothing.
    static std::optional<Money> fromStored(const QVariant& value);
    QVariant toStored() const { return QVariant::fromValue<qlonglong>(m_units); }

    constexpr std::int64_t units() const { return m_units; }
    constexpr bool isZero() const { return m_units == 0; }
    constexpr bool isNegative() const { return m_units < 0; }

    // "1234.5000", "-0.0750": the exact value with all four decimals.
    QString toDecimalString() const;
    // The same value with trailing zero decimals dropped: "1234.5", "20".
    QString toPlainString() const;

    // Sums and differences are exact, and checked: a result beyond the range
    // (about 922 trillion either way) gives nothing rather than a wrapped
    // amount, so that no caller can show or store one. There are no
    // operators for them, so that every caller says what it does then.
    std::optional<Money> plus(Money o) const;
    std::optional<Money> minus(Money o) const;
    std::optional<Money> negated() const;

    constexpr auto operator<=>(const Money&) const = default;

private:
    std::int64_t m_units = 0;
};

} // namespace quillory

Q_DECLARE_METATYPE(quillory::Money)
