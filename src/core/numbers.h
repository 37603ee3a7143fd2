#pragma once

#include "core/money.h"

#include <QString>

#include <optional>

// The three ways the program reads a number from what a user typed.
//
// * The numeric test and the locale conversion read the text under the user's
//   locale (formats::localeName()) through ICU: blanks around it, a sign, an
//   exponent, the locale's decimal and grouping separators and its currency
//   symbol are accepted ("$1,000.50" in en_US, "1.000,5" in de_DE). The empty
//   text and a text of blanks are not numbers.
// * The leading-number reading takes the longest leading decimal number with
//   "." as the decimal point whatever the locale, after removing every blank,
//   tab and line feed; "&H" and "&O" introduce a hexadecimal or octal integer.
//   A text without a leading number reads as 0.
namespace quillory::numbers {

// Whether the whole text reads as a number under the user's locale.
bool isNumeric(const QString& text);

// The text's exact decimal value under the user's locale, in plain form
// ("-1000.5", "1E+3" is given as "1000"): digits with an optional sign and
// ".". Nothing when the text is not numeric.
std::optional<QString> localeDecimal(const QString& text);

// The locale conversion to double and to single precision. Nothing when the
// text is not numeric or the value is too large for the type; a value too
// small for it reads as zero, so that every numeric text converts.
std::optional<double> localeDouble(const QString& text);
std::optional<float> localeSingle(const QString& text);

// The locale conversion to money: the exact decimal value rounded to four
// decimals, ties away from zero. Nothing when the text is not numeric or the
// amount is too large to hold.
std::optional<Money> localeMoney(const QString& text);

// The leading-number reading: its value, and how many characters of the text
// (blanks, tabs and line feeds removed) formed the number.
struct LeadingNumber {
    double value = 0;
    qsizetype length = 0;
};
LeadingNumber readLeadingNumber(const QString& text);
inline double leadingNumber(const QString& text) {
    return readLeadingNumber(text).value;
}

} // namespace quillory::numbers
