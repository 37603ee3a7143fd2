#include "fuzzsupport.h"

#include <QRegularExpression>

#include <algorithm>
#include <cstdio>
#include <cstdlib>

namespace quillory::fuzz {

void fail(const char* rule, const QString& detail) {
    std::fprintf(stderr, "\nFUZZ CHECK FAILED: %s\n  %s\n", rule, qPrintable(detail));
    std::fflush(stderr);
    std::abort();
}

std::uint8_t Input::byte() {
    if (m_size == 0)
        return 0;
    --m_size;
    return *m_data++;
}

std::uint64_t Input::word() {
    std::uint64_t value = 0;
    for (int i = 0; i < 8; ++i)
        value = (value << 8) | byte();
    return value;
}

QByteArray Input::take(std::size_t count) {
    count = std::min(count, m_size);
    QByteArray bytes(reinterpret_cast<const char*>(m_data), static_cast<qsizetype>(count));
    m_data += count;
    m_size -= count;
    return bytes;
}

QByteArray Input::rest() {
    return take(m_size);
}

QString Input::restAsText(bool utf16) {
    const QByteArray bytes = rest();
    return utf16 ? asUtf16(bytes) : QString::fromUtf8(bytes);
}

QString Input::asUtf16(const QByteArray& bytes) {
    QString text;
    for (qsizetype i = 0; i + 1 < bytes.size(); i += 2)
        text.append(QChar(static_cast<char16_t>((static_cast<std::uint8_t>(bytes[i]) << 8) |
                                                static_cast<std::uint8_t>(bytes[i + 1]))));
    return text;
}

QString visible(const QString& text) {
    QString shown = QStringLiteral("\"");
    for (const QChar c : text) {
        if (c.unicode() >= 0x20 && c.unicode() < 0x7f && c != u'\\' && c != u'"')
            shown.append(c);
        else
            shown.append(QStringLiteral("\\u%1").arg(c.unicode(), 4, 16, QLatin1Char('0')));
    }
    return shown + u'"';
}

QString visible(const QByteArray& bytes) {
    QString shown = QStringLiteral("\"");
    for (const char c : bytes) {
        const auto b = static_cast<std::uint8_t>(c);
        if (b >= 0x20 && b < 0x7f && c != '\\' && c != '"')
            shown.append(QChar(b));
        else
            shown.append(QStringLiteral("\\x%1").arg(b, 2, 16, QLatin1Char('0')));
    }
    return shown + u'"';
}

namespace {

// Whether the digit string a (no leading zeros) is at most b (no leading zeros).
bool notAbove(const QString& a, const QString& b) {
    if (a.size() != b.size())
        return a.size() < b.size();
    return a <= b;
}

// Adds one to a string of decimal digits.
QString plusOne(QString digits) {
    qsizetype i = digits.size() - 1;
    while (i >= 0 && digits[i] == u'9')
        digits[i--] = u'0';
    if (i < 0)
        return u'1' + digits;
    digits[i] = QChar(digits[i].unicode() + 1);
    return digits;
}

} // namespace

std::optional<std::int64_t> referenceRoundedUnits(const QString& text) {
    static const QRegularExpression grammar(
        QRegularExpression::anchoredPattern(QStringLiteral("([+-]?)([0-9]*)(?:\\.([0-9]+))?")));
    const QRegularExpressionMatch match = grammar.match(text);
    if (!match.hasMatch() || match.captured(2).size() + match.captured(3).size() == 0)
        return std::nullopt;
    const bool negative = match.captured(1) == u"-";
    const QString decimals = match.captured(3).leftJustified(5, u'0');
    QString digits = match.captured(2) + decimals.first(4);
    while (digits.size() > 1 && digits.startsWith(u'0'))
        digits.remove(0, 1);
    if (decimals[4] >= u'5')
        digits = plusOne(digits);
    const QString limit =
        negative ? QStringLiteral("9223372036854775808") : QStringLiteral("9223372036854775807");
    if (!notAbove(digits, limit))
        return std::nullopt;
    const std::uint64_t magnitude = digits.toULongLong();
    return static_cast<std::int64_t>(negative ? 0 - magnitude : magnitude);
}

} // namespace quillory::fuzz
