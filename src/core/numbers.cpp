#include "core/numbers.h"

#include "core/formats.h"

#include <unicode/unum.h>

#include <locale.h> // newlocale, strtod_l
#include <stdlib.h>

#include <array>
#include <charconv>
#include <cmath>
#include <memory>
#include <string>
#include <vector>

namespace quillory::numbers {

namespace {

struct NumberFormatCloser {
    void operator()(UNumberFormat* f) const { unum_close(f); }
};
using NumberFormat = std::unique_ptr<UNumberFormat, NumberFormatCloser>;

// The parsers of the user's locale: plain numbers first, then amounts with
// the currency symbol. Cached for the locale last asked for.
const std::vector<NumberFormat>& parsers() {
    static QByteArray cachedLocale;
    static std::vector<NumberFormat> cached;
    const QByteArray locale = formats::localeName().toLatin1();
    if (!cached.empty() && cachedLocale == locale)
        return cached;
    cached.clear();
    for (const UNumberFormatStyle style : {UNUM_DECIMAL, UNUM_CURRENCY}) {
        UErrorCode status = U_ZERO_ERROR;
        NumberFormat format(unum_open(style, nullptr, 0, locale.constData(), nullptr, &status));
        if (U_SUCCESS(status) && format) {
            unum_setAttribute(format.get(), UNUM_LENIENT_PARSE, 1);
            cached.push_back(std::move(format));
        }
    }
    cachedLocale = locale;
    return cached;
}

// ICU's decimal result ("-1.2345E+3") as sign, significant digits and a
// power of ten: the value is digits * 10^exponent.
struct Decimal {
    bool negative = false;
    std::string digits; // no leading zeros; empty for zero
    long exponent = 0;
};

std::optional<Decimal> splitDecimal(std::string_view text) {
    Decimal d;
    std::size_t i = 0;
    if (i < text.size() && (text[i] == '-' || text[i] == '+'))
        d.negative = text[i++] == '-';
    bool anyDigit = false;
    bool point = false;
    for (; i < text.size(); ++i) {
        const char c = text[i];
        if (c >= '0' && c <= '9') {
            anyDigit = true;
            if (!(d.digits.empty() && c == '0'))
                d.digits.push_back(c);
            if (point)
                --d.exponent;
        } else if (c == '.' && !point) {
            point = true;
        } else {
            break;
        }
    }
    if (!anyDigit)
        return std::nullopt;
    if (i < text.size() && (text[i] == 'E' || text[i] == 'e')) {
        std::size_t start = i + 1;
        if (start < text.size() && text[start] == '+')
            ++start;
        long power = 0;
        const auto result = std::from_chars(text.data() + start, text.data() + text.size(), power);
        if (result.ec != std::errc() || result.ptr != text.data() + text.size())
            return std::nullopt;
        d.exponent += power;
    } else if (i != text.size()) {
        return std::nullopt;
    }
    // Zeros at the end of the digits move into the exponent.
    while (!d.digits.empty() && d.digits.back() == '0') {
        d.digits.pop_back();
        ++d.exponent;
    }
    if (d.digits.empty())
        d = Decimal{};
    return d;
}

// The decimal text ICU read from the whole of `text`, if it read all of it.
std::optional<std::string> parseWhole(const QString& text) {
    const QString trimmed = text.trimmed();
    if (trimmed.isEmpty())
        return std::nullopt;
    const auto* chars = reinterpret_cast<const UChar*>(trimmed.utf16());
    const auto length = static_cast<int32_t>(trimmed.size());
    for (const NumberFormat& format : parsers()) {
        std::array<char, 512> buffer{};
        int32_t position = 0;
        UErrorCode status = U_ZERO_ERROR;
        const int32_t written =
            unum_parseDecimal(format.get(), chars, length, &position, buffer.data(),
                              static_cast<int32_t>(buffer.size()), &status);
        if (U_SUCCESS(status) && position == length && written > 0 &&
            written < static_cast<int32_t>(buffer.size()))
            return std::string(buffer.data(), static_cast<std::size_t>(written));
    }
    return std::nullopt;
}

// The decimal ICU read from the whole of `text`, converted to a binary
// floating-point type. A value too small for the type reads as zero of its
// sign, as it does in arithmetic; one too large is not a value of the type.
template <class T> std::optional<T> localeBinary(const QString& text) {
    const auto parsed = parseWhole(text);
    if (!parsed)
        return std::nullopt;
    const std::optional<Decimal> d = splitDecimal(*parsed);
    if (!d)
        return std::nullopt;
    T value = 0;
    const auto result = std::from_chars(parsed->data() + (parsed->front() == '+'),
                                        parsed->data() + parsed->size(), value);
    if (result.ec == std::errc::result_out_of_range) {
        // from_chars refuses both ends alike. Below 1 only the small end is
        // possible.
        const long integerDigits = static_cast<long>(d->digits.size()) + d->exponent;
        if (integerDigits <= 0)
            return d->negative ? -T(0) : T(0);
        return std::nullopt;
    }
    if (result.ec != std::errc() || !std::isfinite(value))
        return std::nullopt;
    return value;
}

} // namespace

bool isNumeric(const QString& text) {
    const auto parsed = parseWhole(text);
    return parsed && splitDecimal(*parsed);
}

std::optional<QString> localeDecimal(const QString& text) {
    const auto parsed = parseWhole(text);
    if (!parsed)
        return std::nullopt;
    const std::optional<Decimal> d = splitDecimal(*parsed);
    // Far beyond any amount or count; such a text is not worth spelling out.
    if (!d || d->exponent > 400 || d->exponent < -400)
        return std::nullopt;
    if (d->digits.empty())
        return QStringLiteral("0");
    std::string plain = d->digits;
    if (d->exponent >= 0) {
        plain.append(static_cast<std::size_t>(d->exponent), '0');
    } else {
        const auto decimals = static_cast<std::size_t>(-d->exponent);
        if (plain.size() <= decimals)
            plain.insert(0, decimals - plain.size() + 1, '0');
        plain.insert(plain.size() - decimals, 1, '.');
    }
    if (d->negative)
        plain.insert(0, 1, '-');
    return QString::fromLatin1(plain.data(), static_cast<qsizetype>(plain.size()));
}

std::optional<double> localeDouble(const QString& text) {
    return localeBinary<double>(text);
}

std::optional<float> localeSingle(const QString& text) {
    // Read straight to single precision: rounding through double first could
    // land on the other side of a tie.
    return localeBinary<float>(text);
}

std::optional<Money> localeMoney(const QString& text) {
    const std::optional<QString> decimal = localeDecimal(text);
    if (!decimal)
        return std::nullopt;
    return Money::fromDecimalRounded(*decimal);
}

LeadingNumber readLeadingNumber(const QString& text) {
    QString t;
    t.reserve(text.size());
    for (const QChar c : text)
        if (c != u' ' && c != u'\t' && c != u'\n')
            t.append(c);
    LeadingNumber result;
    const auto at = [&t](qsizetype i) { return i < t.size() ? t.at(i).unicode() : char16_t(0); };

    if (at(0) == u'&') {
        const char16_t kind = at(1);
        const int base = (kind == u'H' || kind == u'h')   ? 16
                         : (kind == u'O' || kind == u'o') ? 8
                                                          : 0;
        if (base == 0)
            return result;
        qsizetype i = 2;
        double value = 0;
        for (;; ++i) {
            const char16_t c = at(i);
            int digit = -1;
            if (c >= u'0' && c <= u'9')
                digit = c - u'0';
            else if (base == 16 && c >= u'a' && c <= u'f')
                digit = c - u'a' + 10;
            else if (base == 16 && c >= u'A' && c <= u'F')
                digit = c - u'A' + 10;
            if (digit < 0 || digit >= base)
                break;
            value = value * base + digit;
        }
        if (i > 2)
            result = {value, i};
        return result;
    }

    // Sign, digits, "." and digits, then an exponent only when digits follow it.
    qsizetype i = 0;
    if (at(i) == u'+' || at(i) == u'-')
        ++i;
    qsizetype digits = 0;
    while (at(i) >= u'0' && at(i) <= u'9')
        ++i, ++digits;
    if (at(i) == u'.') {
        ++i;
        while (at(i) >= u'0' && at(i) <= u'9')
            ++i, ++digits;
    }
    if (digits == 0)
        return result;
    qsizetype end = i;
    if (at(i) == u'E' || at(i) == u'e' || at(i) == u'D' || at(i) == u'd') {
        qsizetype j = i + 1;
        if (at(j) == u'+' || at(j) == u'-')
            ++j;
        const qsizetype firstExponentDigit = j;
        while (at(j) >= u'0' && at(j) <= u'9')
            ++j;
        if (j > firstExponentDigit)
            end = j;
    }
    std::string ascii = t.first(end).toStdString();
    for (char& c : ascii)
        if (c == 'D' || c == 'd')
            c = 'e';
    // strtod in the C locale reads "." whatever the user's locale, and gives a
    // value below the range of a double as zero and one above it as an
    // infinity of its sign.
    static const locale_t cLocale = newlocale(LC_ALL_MASK, "C", locale_t(nullptr));
    result = {strtod_l(ascii.c_str(), nullptr, cLocale), end};
    return result;
}

} // namespace quillory::numbers
