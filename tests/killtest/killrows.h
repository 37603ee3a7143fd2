#pragma once

#include "data/connection.h"

#include <QJsonObject>
#include <QMap>
#include <QString>
#include <QStringList>

#include <optional>

class QSqlQuery;

// What the kill test's driver and its parent share: the rows they compare,
// each written as one line of text.
namespace quillory::killtest {

// The tables the driver writes, each row keyed "table:id".
inline const QStringList kTables = {QStringLiteral("tblcustomer"), QStringLiteral("tblservices"),
                                    QStringLiteral("tblinvoice")};

QString rowKey(const QString& table, const QVariant& id);

// A row as one line: a JSON object of its columns, each value as text (so
// that 64-bit amounts stay exact) or null.
QString rowText(const QSqlQuery& row);
QJsonObject rowObject(const QString& text);

// Every row of the three tables, "table:id" -> row text; nothing when a
// query failed.
using Snapshot = QMap<QString, QString>;
std::optional<Snapshot> snapshot(Connection& cn);

// The rows that break a rule of whole writes, one description each: a project
// or invoice without its customer, a project marked invoiced without its one
// invoice or an invoice without its marked project, an amount paid that is not
// the sum of the payment history's lines, a status that does not follow from
// the amounts.
QStringList halfWritten(const Snapshot& rows);

} // namespace quillory::killtest
