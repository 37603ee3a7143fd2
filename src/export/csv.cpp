#include "export/csv.h"

#include <QDate>
#include <QIODevice>
#include <QTime>

#include <algorithm>
#include <charconv>
#include <cmath>

namespace quillory::csv {

namespace {

// A spreadsheet keeps 15 significant digits of a number.
constexpr qsizetype kDigitsKept = 15;

bool isDigits(const QString& value) {
    return !value.isEmpty() && std::all_of(value.cbegin(), value.cend(),
                                           [](QChar c) { return c >= u'0' && c <= u'9'; });
}

// Whether a spreadsheet would take the text for something else: a formula,
// or a number that is not the text (leading zeros dropped, digits cut).
bool readsAsSomethingElse(const QString& value) {
    if (value.isEmpty())
        return false;
    switch (value.front().unicode()) {
    case u'=':
    case u'+':
    case u'-':
    case u'@':
    case u'\t':
    case u'\r':
        return true;
    default:
        break;
    }
    return isDigits(value) &&
           ((value.size() > 1 && value.front() == u'0') || value.size() > kDigitsKept);
}

QString quoted(const QString& field) {
    const bool needsQuotes = field.contains(u',') || field.contains(u'"') ||
                             field.contains(u'\r') || field.contains(u'\n') ||
                             field.startsWith(u' ') || field.endsWith(u' ');
    if (!needsQuotes)
        return field;
    return u'"' + QString(field).replace(u'"', QStringLiteral("\"\"")) + u'"';
}

// The stored form of a date-time, "yyyy-MM-dd HH:mm:ss", checked by its
// parts: a QDateTime would look up the time zone for each of a million rows.
bool isStoredDateTime(const QString& value) {
    static const QString kPattern = QStringLiteral("0000-00-00 00:00:00");
    if (value.size() != kPattern.size())
        return false;
    for (qsizetype i = 0; i < value.size(); ++i) {
        const QChar c = value.at(i);
        if (kPattern.at(i) == u'0' ? !(c >= u'0' && c <= u'9') : c != kPattern.at(i))
            return false;
    }
    const auto number = [&value](qsizetype from, qsizetype length) {
        return value.mid(from, length).toInt();
    };
    return QDate(number(0, 4), number(5, 2), number(8, 2)).isValid() &&
           QTime(number(11, 2), number(14, 2), number(17, 2)).isValid();
}

bool isWholeNumber(const QVariant& value) {
    switch (value.typeId()) {
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::Long:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::Short:
    case QMetaType::UShort:
        return true;
    default:
        return false;
    }
}

} // namespace

QString text(const QString& value) {
    return quoted(readsAsSomethingElse(value) ? u'\'' + value : value);
}

QString text(const QVariant& value) {
    return value.isNull() ? QString() : text(value.toString());
}

QString money(const std::optional<Money>& amount) {
    if (!amount)
        return {};
    QString decimal = amount->toDecimalString();
    if (decimal.endsWith(QStringLiteral("00")))
        decimal.chop(2);
    return decimal;
}

QString amount(const QVariant& stored) {
    if (stored.isNull())
        return {};
    const std::optional<Money> value = Money::fromStored(stored);
    return value ? money(value) : text(stored);
}

QString integer(const QVariant& stored) {
    if (stored.isNull())
        return {};
    if (stored.typeId() == QMetaType::ULongLong)
        return QString::number(stored.toULongLong());
    return isWholeNumber(stored) ? QString::number(stored.toLongLong()) : text(stored);
}

QString figure(const QVariant& stored) {
    if (stored.isNull())
        return {};
    bool ok = false;
    const double value = stored.toDouble(&ok);
    const auto single = static_cast<float>(value);
    if (!ok || !std::isfinite(single))
        return text(stored);
    // The shortest fixed form that reads back as the same single: 37.3, not
    // 37.299999237060547.
    char digits[64];
    const std::to_chars_result end =
        std::to_chars(digits, digits + sizeof digits, single, std::chars_format::fixed);
    if (end.ec != std::errc())
        return text(stored);
    return QString::fromLatin1(digits, end.ptr - digits);
}

QString dateTime(const QVariant& stored) {
    if (stored.isNull())
        return {};
    const QString value = stored.toString();
    if (!isStoredDateTime(value))
        return text(value);
    QString iso = value;
    iso[10] = u'T';
    return iso;
}

QString record(const QStringList& fields) {
    return fields.join(u',') + QStringLiteral("\r\n");
}

Writer::Writer(QIODevice& device) : m_device(device) {
    put(QByteArrayLiteral("\xEF\xBB\xBF"));
}

bool Writer::write(const QStringList& fields) {
    return put(record(fields).toUtf8());
}

bool Writer::put(const QByteArray& bytes) {
    if (m_ok && m_device.write(bytes) != bytes.size())
        m_ok = false;
    return m_ok;
}

} // namespace quillory::csv
