#pragma once

#include "core/money.h"

#include <QString>
#include <QStringList>
#include <QVariant>

#include <optional>

class QIODevice;

// Comma-separated values as spreadsheets read them (RFC 4180): fields joined
// by commas, each record ending in CR LF, a field quoted when it holds a
// comma, a quote, a line break or a blank at either end, its quotes doubled.
// The fields below are each one value as a spreadsheet should take it: text
// stays text, amounts and numbers stay numbers, date-times read as dates.
namespace quillory::csv {

// A text field. A text that a spreadsheet would run as a formula (one that
// begins with =, +, -, @, TAB or CR) is written behind an apostrophe, and so
// is one that it would read as a number and so change: digits with a
// leading zero ("02134") or more digits than it keeps (16 and more). A Null
// is an empty field.
QString text(const QString& value);
QString text(const QVariant& value);

// An amount as a plain decimal with a point: two decimals, or all four when
// the third or fourth is not zero ("12.50", "12.3456", "12.3450",
// "-0.0750", "0.00"). Nothing is an empty field.
QString money(const std::optional<Money>& amount);
// A stored money column; a stored value that is not an amount is written as
// text, so that nothing is lost.
QString amount(const QVariant& stored);

// A stored whole number (an id, a flag) as its digits; any other stored
// value is written as text.
QString integer(const QVariant& stored);

// A single-precision figure (hours, a rate) in its shortest decimal form
// with a point ("37.3", "40"); a Null is an empty field.
QString figure(const QVariant& stored);

// A stored date-time in ISO 8601 ("2026-12-01T10:00:00"); a stored text
// that is not a date-time is written as text.
QString dateTime(const QVariant& stored);

// One record: the fields joined by commas, ending in CR LF.
QString record(const QStringList& fields);

// Writes a CSV file to a device: first the UTF-8 byte-order mark, by which
// spreadsheets know the encoding, then each record as UTF-8.
class Writer {
public:
    explicit Writer(QIODevice& device);
    // False once any write has failed; then nothing more is written.
    bool write(const QStringList& fields);
    bool ok() const { return m_ok; }

private:
    bool put(const QByteArray& bytes);

    QIODevice& m_device;
    bool m_ok = true;
};

} // namespace quillory::csv
