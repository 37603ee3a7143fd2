#include "core/formats.h"

#include <QLocale>
#include <QRegularExpression>

#include <unicode/udat.h>
#include <unicode/unum.h>
#include <unicode/ustring.h>

#include <array>
#include <charconv>
#include <memory>

namespace quillory::formats {

namespace {

QString& localeSetting() {
    static QString name;
    return name;
}

QByteArray icuLocale() {
    QString name = localeName();
    return name.toLatin1();
}

struct NumberFormatCloser {
    void operator()(UNumberFormat* f) const { unum_close(f); }
};
struct DateFormatCloser {
    void operator()(UDateFormat* f) const { udat_close(f); }
};

QString fromUChars(const UChar* text, int32_t length) {
    return QString(reinterpret_cast<const QChar*>(text), length);
}

} // namespace

QString localeName() {
    if (!localeSetting().isEmpty())
        return localeSetting();
    const QString system = QLocale::system().name();
    // With no locale configured at all, fall back to US English rather than
    // ICU's root locale, whose currency sign is the generic one.
    if (system == u"C" || system.isEmpty())
        return QStringLiteral("en_US");
    return system;
}

void setLocaleName(const QString& icuLocaleId) {
    localeSetting() = icuLocaleId;
}

QString currency(Money amount) {
    // Formatters are cached for the locale last asked for, one per thread:
    // reports are written on a thread of their own.
    thread_local QByteArray cachedLocale;
    thread_local std::unique_ptr<UNumberFormat, NumberFormatCloser> format;
    const QByteArray locale = icuLocale();
    if (!format || cachedLocale != locale) {
        UErrorCode status = U_ZERO_ERROR;
        format.reset(
            unum_open(UNUM_CURRENCY_ACCOUNTING, nullptr, 0, locale.constData(), nullptr, &status));
        if (U_FAILURE(status)) {
            format.reset();
            return amount.toDecimalString();
        }
        unum_setAttribute(format.get(), UNUM_ROUNDING_MODE, UNUM_ROUND_HALFUP);
        cachedLocale = locale;
    }
    const QByteArray decimal = amount.toDecimalString().toLatin1();
    std::array<UChar, 128> buffer{};
    UErrorCode status = U_ZERO_ERROR;
    const int32_t length =
        unum_formatDecimal(format.get(), decimal.constData(), decimal.size(), buffer.data(),
                           static_cast<int32_t>(buffer.size()), nullptr, &status);
    if (U_FAILURE(status))
        return amount.toDecimalString();
    return fromUChars(buffer.data(), length);
}

QString shortestNumber(float value) {
    std::array<char, 64> buffer{};
    const auto result = std::to_chars(buffer.data(), buffer.data() + buffer.size(), value,
                                      std::chars_format::fixed);
    QString text = QString::fromLatin1(buffer.data(), result.ptr - buffer.data());
    const QString separator = QLocale(localeName()).decimalPoint();
    if (separator != u".")
        text.replace(u'.', separator);
    return text;
}

QString logDateTime(const QDateTime& when) {
    static QByteArray cachedLocale;
    static std::unique_ptr<UDateFormat, DateFormatCloser> format;
    const QByteArray locale = icuLocale();
    if (!format || cachedLocale != locale) {
        static const std::u16string pattern = u"dd-MMM-yyyy H:mm:ss";
        static const std::u16string utc = u"Etc/UTC";
        UErrorCode status = U_ZERO_ERROR;
        format.reset(udat_open(UDAT_PATTERN, UDAT_PATTERN, locale.constData(), utc.data(),
                               static_cast<int32_t>(utc.size()), pattern.data(),
                               static_cast<int32_t>(pattern.size()), &status));
        if (U_FAILURE(status)) {
            format.reset();
            return when.toString(QStringLiteral("dd-MMM-yyyy H:mm:ss"));
        }
        cachedLocale = locale;
    }
    // The formatter works in UTC and is handed the local wall-clock time as if
    // it were UTC, so the text shows the local time whatever ICU thinks the
    // time zone is.
    const QDateTime local = when.toLocalTime();
    const QDateTime wall(local.date(), local.time(), Qt::UTC);
    const UDate date = static_cast<UDate>(wall.toMSecsSinceEpoch());
    UErrorCode status = U_ZERO_ERROR;
    std::array<UChar, 128> buffer{};
    const int32_t length = udat_format(format.get(), date, buffer.data(),
                                       static_cast<int32_t>(buffer.size()), nullptr, &status);
    if (U_FAILURE(status))
        return when.toString(QStringLiteral("dd-MMM-yyyy H:mm:ss"));
    return fromUChars(buffer.data(), length);
}

namespace {

// A date or time formatter of the locale. The short date of many locales has
// a two-digit year; the general form shows all four.
std::unique_ptr<UDateFormat, DateFormatCloser> openGeneralFormat(const QByteArray& locale,
                                                                 bool time) {
    static const std::u16string utc = u"Etc/UTC";
    UErrorCode status = U_ZERO_ERROR;
    std::unique_ptr<UDateFormat, DateFormatCloser> format(
        udat_open(time ? UDAT_MEDIUM : UDAT_NONE, time ? UDAT_NONE : UDAT_SHORT, locale.constData(),
                  utc.data(), static_cast<int32_t>(utc.size()), nullptr, 0, &status));
    if (U_FAILURE(status))
        return {};
    if (time)
        return format;
    std::array<UChar, 256> pattern{};
    const int32_t length = udat_toPattern(format.get(), false, pattern.data(),
                                          static_cast<int32_t>(pattern.size()), &status);
    if (U_FAILURE(status))
        return format;
    QString text = fromUChars(pattern.data(), length);
    static const QRegularExpression shortYear(QStringLiteral("(?<![y'])y{1,2}(?!y)"));
    text.replace(shortYear, QStringLiteral("yyyy"));
    udat_applyPattern(format.get(), false, reinterpret_cast<const UChar*>(text.utf16()),
                      static_cast<int32_t>(text.size()));
    return format;
}

QString formatWall(UDateFormat* format, const QDateTime& wall) {
    std::array<UChar, 128> buffer{};
    UErrorCode status = U_ZERO_ERROR;
    const int32_t length =
        udat_format(format, static_cast<UDate>(wall.toMSecsSinceEpoch()), buffer.data(),
                    static_cast<int32_t>(buffer.size()), nullptr, &status);
    return U_FAILURE(status) ? QString() : fromUChars(buffer.data(), length);
}

} // namespace

QString generalDate(const QDateTime& when) {
    thread_local QByteArray cachedLocale;
    thread_local std::unique_ptr<UDateFormat, DateFormatCloser> dateFormat;
    thread_local std::unique_ptr<UDateFormat, DateFormatCloser> timeFormat;
    const QByteArray locale = icuLocale();
    if (!dateFormat || !timeFormat || cachedLocale != locale) {
        dateFormat = openGeneralFormat(locale, false);
        timeFormat = openGeneralFormat(locale, true);
        cachedLocale = locale;
    }
    const QDateTime local = when.toLocalTime();
    if (!dateFormat || !timeFormat)
        return local.toString(Qt::ISODate);
    // As for the log: the local wall-clock time handed over as UTC.
    const QDateTime wall(local.date(), local.time(), Qt::UTC);
    QString text = formatWall(dateFormat.get(), wall);
    if (local.time() != QTime(0, 0))
        text += u' ' + formatWall(timeFormat.get(), wall);
    text.replace(QChar(0x202F), u' ').replace(QChar(0x00A0), u' ');
    return text;
}

QString storedDateTime(const QDateTime& when) {
    return when.toLocalTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
}

QDateTime fromStoredDateTime(const QString& text) {
    return QDateTime::fromString(text, QStringLiteral("yyyy-MM-dd HH:mm:ss"));
}

} // namespace quillory::formats
