#include "killrows.h"

#include "core/money.h"

#include <QJsonDocument>
#include <QMultiMap>
#include <QSqlQuery>
#include <QSqlRecord>

namespace quillory::killtest {

namespace {

QString field(const QJsonObject& row, const char* column) {
    return row.value(QLatin1String(column)).toString();
}

// The payments of a history ("NA", then one "<date>($<amount>)" line each),
// added up; nothing when a line does not hold an amount.
std::optional<Money> paymentsOf(const QString& history) {
    const QStringList lines = history.split(QStringLiteral("\r\n"));
    if (lines.value(0) != u"NA")
        return std::nullopt;
    Money total;
    for (qsizetype i = 1; i < lines.size(); ++i) {
        const QString& line = lines.at(i);
        const qsizetype open = line.lastIndexOf(QStringLiteral("($"));
        if (open < 0 || !line.endsWith(u')'))
            return std::nullopt;
        const std::optional<Money> amount = Money::parse(line.mid(open + 2).chopped(1));
        const std::optional<Money> sum = amount ? total.plus(*amount) : std::nullopt;
        if (!sum)
            return std::nullopt;
        total = *sum;
    }
    return total;
}

} // namespace

QString rowKey(const QString& table, const QVariant& id) {
    return table + u':' + id.toString();
}

QString rowText(const QSqlQuery& row) {
    const QSqlRecord record = row.record();
    QJsonObject object;
    for (int i = 0; i < record.count(); ++i) {
        const QVariant value = row.value(i);
        object.insert(record.fieldName(i),
                      value.isNull() ? QJsonValue(QJsonValue::Null) : QJsonValue(value.toString()));
    }
    return QString::fromUtf8(QJsonDocument(object).toJson(QJsonDocument::Compact));
}

QJsonObject rowObject(const QString& text) {
    return QJsonDocument::fromJson(text.toUtf8()).object();
}

std::optional<Snapshot> snapshot(Connection& cn) {
    Snapshot rows;
    for (const QString& table : kTables) {
        const bool ok =
            cn.forEachRow(QStringLiteral("SELECT * FROM ") + table, {}, [&](const QSqlQuery& row) {
                rows.insert(rowKey(table, row.value(QStringLiteral("id"))), rowText(row));
            });
        if (!ok)
            return std::nullopt;
    }
    return rows;
}

QStringList halfWritten(const Snapshot& rows) {
    QSet<QString> customers;
    QMap<QString, QJsonObject> projects; // id -> row
    QList<QJsonObject> invoices;
    for (auto it = rows.cbegin(); it != rows.cend(); ++it) {
        const QJsonObject row = rowObject(it.value());
        if (it.key().startsWith(QStringLiteral("tblcustomer:")))
            customers.insert(field(row, "id"));
        else if (it.key().startsWith(QStringLiteral("tblservices:")))
            projects.insert(field(row, "id"), row);
        else
            invoices.append(row);
    }

    QStringList problems;
    QMultiMap<QString, QString> invoicesOfProject; // project id -> invoice id
    for (const QJsonObject& invoice : invoices) {
        const QString id = field(invoice, "id");
        if (!customers.contains(field(invoice, "customerid")))
            problems << QStringLiteral("invoice %1 without its customer").arg(id);
        const QJsonObject project = projects.value(field(invoice, "servicesid"));
        if (field(project, "invoicegenerated") != u"1" ||
            field(project, "customerid") != field(invoice, "customerid"))
            problems << QStringLiteral("invoice %1 without its invoiced project").arg(id);
        invoicesOfProject.insert(field(invoice, "servicesid"), id);

        const std::optional<Money> due = Money::fromStored(invoice.value("amountdue").toString());
        const std::optional<Money> paid = Money::fromStored(invoice.value("amountpaid").toString());
        const QString history = field(invoice, "paymentdates");
        if (!due || !paid || paymentsOf(history) != paid)
            problems << QStringLiteral("invoice %1: amount paid %2 is not its history %3")
                            .arg(id, field(invoice, "amountpaid"), history);
        // A new invoice is open whatever it owes; a payment closes it exactly
        // when nothing is left owing.
        const QString status =
            history == u"NA" || due != paid ? QStringLiteral("0") : QStringLiteral("1");
        if (field(invoice, "Status") != status)
            problems << QStringLiteral("invoice %1: status %2 with %3 due and %4 paid")
                            .arg(id, field(invoice, "Status"), field(invoice, "amountdue"),
                                 field(invoice, "amountpaid"));
    }
    for (auto it = projects.cbegin(); it != projects.cend(); ++it) {
        if (!customers.contains(field(it.value(), "customerid")))
            problems << QStringLiteral("project %1 without its customer").arg(it.key());
        const qsizetype count = invoicesOfProject.count(it.key());
        const bool marked = field(it.value(), "invoicegenerated") == u"1";
        if (count > 1 || marked != (count == 1))
            problems << QStringLiteral("project %1 marked %2 with %3 invoices")
                            .arg(it.key(), field(it.value(), "invoicegenerated"))
                            .arg(count);
    }
    return problems;
}

} // namespace quillory::killtest
