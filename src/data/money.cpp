#include "data/money.h"

#include <cmath>
#include <limits>

namespace quillory {

std::optional<Money> Money::parse(const QString& text) {
    const QString t = text.trimmed();
    int i = 0;
    bool negative = false;
    if (i < t.size() && (t[i] == u'-' || t[i] == u'+')) {
        negative = t[i] == u'-';
        ++i;
    }
    std::int64_t whole = 0;
    int wholeDigits = 0;
    for (; i < t.size() && t[i].isDigit() && t[i].unicode() < 128; ++i, ++wholeDigits) {
        if (whole > (std::numeric_limits<std::int64_t>::max() / kScale - 9) / 10)
            return std::nullopt;
        whole = whole * 10 + (t[i].unicode() - u'0');
    }
    std::int64_t fraction = 0;
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
    const std::int64_t units = whole * kScale + fraction;
    return fromUnits(negative ? -units : units);
}

std::optional<Money> Money::fromDouble(double value) {
    if (!std::isfinite(value))
        return std::nullopt;
    // std::round rounds halves away from zero. The product is formed in long
    // double so that, for example, 0.075 * 10000 does not fall just short of 750.
    const long double scaled = std::round(static_cast<long double>(value) * kScale);
    if (std::fabs(scaled) > 9.0e18L)
        return std::nullopt;
    return fromUnits(static_cast<std::int64_t>(scaled));
}

std::optional<Money> Money::fromStored(const QVariant& value) {
    if (value.isNull())
        return std::nullopt;
    switch (value.typeId()) {
    case QMetaType::LongLong:
    case QMetaType::Int:
    case QMetaType::ULongLong:
    case QMetaType::UInt:
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
