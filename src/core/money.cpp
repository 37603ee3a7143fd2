#include "core/money.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <limits>
#include <string_view>

namespace quillory {

std::optional<Money> Money::parse(const QString& text) {
    const QString t = text.trimmed();
    int i = 0;
    bool negative = false;
    if (i < t.size() && (t[i] == u'-' || t[i] == u'+')) {
        negative = t[i] == u'-';
        ++i;
    }
    // The magnitude may reach 2^63 ten-thousandths for a negative amount, one
    // more than for a positive one, so that every amount reads back from its
    // own text.
    const std::uint64_t limit =
        static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max()) + (negative ? 1 : 0);
    std::uint64_t whole = 0;
    int wholeDigits = 0;
    for (; i < t.size() && t[i].isDigit() && t[i].unicode() < 128; ++i, ++wholeDigits) {
        whole = whole * 10 + (t[i].unicode() - u'0');
        if (whole > limit / kScale)
            return std::nullopt;
    }
    std::uint64_t fraction = 0;
    int fractionDigits = 0;
    if (i < t.size() && t[i] == u'.') {
        ++i;
        for (; i < t.size() && t[i].isDigit() && t[i].unicode() < 128; ++i, ++fractionDigits) {
            if (fractionDigits == 4)
                return std::nullopt;
            fraction = fraction * 10 + (t[i].unicode() - u'0');
        }
    }
    if (i != t.size() || wholeDigits + fractionDigits == 0)
        return std::nullopt;
    for (int d = fractionDigits; d < 4; ++d)
        fraction *= 10;
    const std::uint64_t units = whole * kScale + fraction;
    if (units > limit)
        return std::nullopt;
    // Two's complement, defined for the smallest amount too.
    return fromUnits(static_cast<std::int64_t>(negative ? 0 - units : units));
}

std::optional<Money> Money::fromDecimalRounded(const QString& text) {
    qsizetype point = text.indexOf(u'.');
    if (point < 0)
        point = text.size();
    // The digits up to the fourth decimal parse exactly; the fifth decides the
    // rounding, and any after it only need to be digits.
    const qsizetype cut = std::min(text.size(), point + 5);
    const QString head = text.first(cut);
    const QString tail = text.mid(cut);
    for (const QChar c : tail)
        if (c < u'0' || c > u'9')
            return std::nullopt;
    if (point == text.size() - 1 || (point < text.size() && head.endsWith(u'.')))
        return std::nullopt;
    std::optional<Money> value = parse(head);
    if (!value || head.trimmed() != head)
        return std::nullopt;
    if (!tail.isEmpty() && tail.at(0) >= u'5') {
        const std::int64_t step = text.startsWith(u'-') ? -1 : 1;
        if ((step > 0 && value->m_units == std::numeric_limits<std::int64_t>::max()) ||
            (step < 0 && value->m_units == std::numeric_limits<std::int64_t>::min()))
            return std::nullopt;
        value->m_units += step;
    }
    return value;
}

std::optional<Money> Money::fromDouble(double value) {
    if (!std::isfinite(value) || std::fabs(value) > 9.0e14)
        return std::nullopt;
    // Far below half of the smallest amount; also keeps the text below short.
    if (std::fabs(value) < 1.0e-6)
        return Money();
    // Round the shortest decimal text that reads back as the value, the text
    // the value shows as, rather than its binary value: 2.00005 lies just
    // below the half in binary and 1.00005 just above it, yet both are ties
    // and both round away from zero.
    std::array<char, 64> buffer{};
    const auto result = std::to_chars(buffer.data(), buffer.data() + buffer.size(), value,
                                      std::chars_format::fixed);
    if (result.ec != std::errc())
        return std::nullopt;
    const std::string_view text(buffer.data(), result.ptr - buffer.data());
    std::size_t i = 0;
    const bool negative = i < text.size() && text[i] == '-';
    if (negative)
        ++i;
    std::int64_t units = 0;
    for (; i < text.size() && text[i] != '.'; ++i)
        units = units * 10 + (text[i] - '0');
    if (i < text.size())
        ++i; // the decimal point
    for (int d = 0; d < 4; ++d, ++i)
        units = units * 10 + (i < text.size() ? text[i] - '0' : 0);
    if (i < text.size() && text[i] >= '5')
        ++units;
    return fromUnits(negative ? -units : units);
}

namespace {

// A float's shortest decimal form as digits times a power of ten. Its digits
// number at most nine, so two of them multiply within 64 bits.
struct ShortDecimal {
    bool negative = false;
    std::uint64_t digits = 0;
    int exponent = 0;
};

std::optional<ShortDecimal> shortestDecimal(float value) {
    if (!std::isfinite(value))
        return std::nullopt;
    std::array<char, 32> buffer{};
    const auto result = std::to_chars(buffer.data(), buffer.data() + buffer.size(), value,
                                      std::chars_format::scientific);
    if (result.ec != std::errc())
        return std::nullopt;
    const std::string_view text(buffer.data(), result.ptr - buffer.data());
    ShortDecimal d;
    std::size_t i = 0;
    if (text[i] == '-') {
        d.negative = true;
        ++i;
    }
    bool point = false;
    for (; i < text.size() && text[i] != 'e'; ++i) {
        if (text[i] == '.') {
            point = true;
            continue;
        }
        d.digits = d.digits * 10 + static_cast<std::uint64_t>(text[i] - '0');
        if (point)
            --d.exponent;
    }
    int power = 0;
    if (i < text.size()) {
        const char* start = text.data() + i + 1;
        if (*start == '+')
            ++start;
        std::from_chars(start, text.data() + text.size(), power);
    }
    d.exponent += power;
    return d;
}

} // namespace

std::optional<Money> Money::fromProduct(float a, float b) {
    const std::optional<ShortDecimal> x = shortestDecimal(a);
    const std::optional<ShortDecimal> y = shortestDecimal(b);
    if (!x || !y)
        return std::nullopt;
    constexpr std::uint64_t kLargest = std::numeric_limits<std::int64_t>::max();
    std::uint64_t units = x->digits * y->digits;
    // The product in ten-thousandths is units * 10^shift.
    int shift = x->exponent + y->exponent + 4;
    if (units == 0)
        return Money();
    for (; shift > 0; --shift) {
        if (units > kLargest / 10)
            return std::nullopt;
        units *= 10;
    }
    if (shift < 0) {
        // The digits stay below 10^18, so a divisor of 10^19 or more leaves
        // less than half a unit.
        if (shift < -18)
            return Money();
        std::uint64_t divisor = 1;
        for (; shift < 0; ++shift)
            divisor *= 10;
        const std::uint64_t remainder = units % divisor;
        units /= divisor;
        if (remainder >= divisor - remainder)
            ++units;
    }
    if (units > kLargest)
        return std::nullopt;
    const auto signedUnits = static_cast<std::int64_t>(units);
    return fromUnits(x->negative != y->negative ? -signedUnits : signedUnits);
}

std::optional<Money> Money::fromWhole(std::int64_t whole) {
    std::int64_t units = 0;
    if (__builtin_mul_overflow(whole, kScale, &units))
        return std::nullopt;
    return fromUnits(units);
}

std::optional<Money> Money::plus(Money o) const {
    std::int64_t units = 0;
    if (__builtin_add_overflow(m_units, o.m_units, &units))
        return std::nullopt;
    return fromUnits(units);
}

std::optional<Money> Money::minus(Money o) const {
    std::int64_t units = 0;
    if (__builtin_sub_overflow(m_units, o.m_units, &units))
        return std::nullopt;
    return fromUnits(units);
}

std::optional<Money> Money::negated() const {
    return Money().minus(*this);
}

std::optional<Money> Money::fromStored(const QVariant& value) {
    if (value.isNull())
        return std::nullopt;
    switch (value.typeId()) {
    case QMetaType::LongLong:
    case QMetaType::Int:
    case QMetaType::UInt:
        return fromUnits(value.toLongLong());
    case QMetaType::ULongLong:
        // Beyond the largest amount it does not fit; it must not wrap round.
        if (value.toULongLong() > static_cast<qulonglong>(std::numeric_limits<std::int64_t>::max()))
            return std::nullopt;
        return fromUnits(value.toLongLong());
    default:
        break;
    }
    bool ok = false;
    const qlonglong units = value.toString().toLongLong(&ok);
    return ok ? std::optional<Money>(fromUnits(units)) : std::nullopt;
}

QString Money::toDecimalString() const {
    // Work on the magnitude as unsigned so that the smallest value has one too.
    const bool negative = m_units < 0;
    const std::uint64_t magnitude =
        negative ? std::uint64_t(0) - static_cast<std::uint64_t>(m_units) : m_units;
    const QString fraction = QString::number(magnitude % kScale).rightJustified(4, u'0');
    return (negative ? QStringLiteral("-") : QString()) + QString::number(magnitude / kScale) +
           u'.' + fraction;
}

QString Money::toPlainString() const {
    QString s = toDecimalString();
    while (s.endsWith(u'0'))
        s.chop(1);
    if (s.endsWith(u'.'))
        s.chop(1);
    return s;
}

} // namespace quillory
