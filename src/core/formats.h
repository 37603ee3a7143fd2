#pragma once

#include "core/money.h"

#include <QDateTime>
#include <QString>

// Locale formats of the program: money, hours and rates, dates. Each is a
// plain function of its value and the formatting locale.
namespace quillory::formats {

// The ICU locale id used for formatting ("en_US"). By default it is the
// user's locale; tests pin it.
QString localeName();
void setLocaleName(const QString& icuLocaleId);

// An amount in the locale's currency format, accounting style (negative
// amounts in parentheses where the locale does that). The exact value is
// rounded to the currency's decimals with ties away from zero: in en_US
// 1234.5 gives "$1,234.50", -20 gives "($20.00)" and 0.075 gives "$0.08".
QString currency(Money amount);

// A single-precision value in its shortest plain decimal form, without
// grouping: 20.75 -> "20.75", 40 -> "40", 0.1 -> "0.1". The decimal separator
// is the locale's.
QString shortestNumber(float value);

// The error log's date pattern: two-digit day, the locale's three-letter
// month, four-digit year, 24-hour hour without a leading zero, then minutes
// and seconds: "06-Dec-2026 9:05:07".
QString logDateTime(const QDateTime& when);

// The locale's general date form: the short date with a four-digit year, then
// the time with seconds unless it is midnight. en_US: "12/6/2026 1:05:07 PM",
// or "12/6/2026" at midnight. Narrow and no-break spaces of the locale data
// are written as plain spaces, so that stored texts read the same everywhere.
QString generalDate(const QDateTime& when);

// How the database keeps a date-time: local time to the second.
QString storedDateTime(const QDateTime& when);
QDateTime fromStoredDateTime(const QString& text);

} // namespace quillory::formats
