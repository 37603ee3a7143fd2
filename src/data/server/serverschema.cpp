#include "data/server/serverschema.h"

#include "data/connection.h"
#include "data/file/schema.h"
#include "data/transaction.h"

#include <QMap>
#include <QSqlQuery>

namespace quillory::serverschema {

namespace {

using Columns = QMap<QString, QString>; // column -> its type as the catalogue names it

// The tables of schema/records-server.sql, column by column.
const QMap<QString, Columns>& expectedTables() {
    static const QMap<QString, Columns> tables = [] {
        const QString integer = QStringLiteral("integer");
        const QString text = QStringLiteral("text");
        const QString money = QStringLiteral("bigint");
        const QString real = QStringLiteral("double precision");
        QMap<QString, Columns> t;
        Columns& customer = t[QStringLiteral("tblcustomer")];
        customer.insert(QStringLiteral("id"), integer);
        for (const char* name : {"fname", "lname", "street", "city", "prov", "country", "pcode",
                                 "email1", "email2", "phone", "cellphone", "othercontact", "notes"})
            customer.insert(QString::fromLatin1(name), text);
        t[QStringLiteral("tblservices")] = {{QStringLiteral("id"), integer},
                                            {QStringLiteral("customerid"), integer},
                                            {QStringLiteral("summary"), text},
                                            {QStringLiteral("status"), text},
                                            {QStringLiteral("billinghours"), real},
                                            {QStringLiteral("billingrate"), real},
                                            {QStringLiteral("services_provided"), text},
                                            {QStringLiteral("details"), text},
                                            {QStringLiteral("notes"), text},
                                            {QStringLiteral("datecreated"), text},
                                            {QStringLiteral("invoicegenerated"), integer}};
        t[QStringLiteral("tblinvoice")] = {
            {QStringLiteral("id"), integer},         {QStringLiteral("servicesid"), integer},
            {QStringLiteral("customerid"), integer}, {QStringLiteral("amountdue"), money},
            {QStringLiteral("amountpaid"), money},   {QStringLiteral("paymentdates"), text},
            {QStringLiteral("datecreated"), text},   {QStringLiteral("status"), integer}};
        Columns& options = t[QStringLiteral("tblbusoptions")];
        options.insert(QStringLiteral("uselogin"), integer);
        for (const char* name : {"username", "password", "busname", "busaddress", "busurl",
                                 "bus_slogan", "bus_phone", "bus_email", "image_path_logo"})
            options.insert(QString::fromLatin1(name), text);
        return t;
    }();
    return tables;
}

// The program's tables as the database has them, in the schema the
// connection works in; an absent table is absent here too.
std::optional<QMap<QString, Columns>> presentTables(Connection& cn) {
    QMap<QString, Columns> present;
    const QStringList names = expectedTables().keys();
    const bool ok = cn.forEachRow(
        QStringLiteral("SELECT table_name, column_name, data_type FROM information_schema.columns "
                       "WHERE table_schema = current_schema() AND table_name IN (?, ?, ?, ?)"),
        {names.at(0), names.at(1), names.at(2), names.at(3)}, [&present](const QSqlQuery& row) {
            present[row.value(0).toString()].insert(row.value(1).toString(),
                                                    row.value(2).toString());
        });
    if (!ok)
        return std::nullopt;
    return present;
}

QStringList compare(const QMap<QString, Columns>& present) {
    QStringList differences;
    for (auto table = expectedTables().cbegin(); table != expectedTables().cend(); ++table) {
        const auto found = present.constFind(table.key());
        if (found == present.cend()) {
            differences.append(QStringLiteral("there is no table ") + table.key());
            continue;
        }
        for (auto column = table->cbegin(); column != table->cend(); ++column) {
            const auto has = found->constFind(column.key());
            if (has == found->cend())
                differences.append(table.key() + QStringLiteral(" has no column ") + column.key());
            else if (*has != *column)
                differences.append(table.key() + u'.' + column.key() + QStringLiteral(" is ") +
                                   *has + QStringLiteral(", not ") + *column);
        }
        for (auto column = found->cbegin(); column != found->cend(); ++column)
            if (!table->contains(column.key()))
                differences.append(table.key() + QStringLiteral(" has a column ") + column.key() +
                                   QStringLiteral(" that the program does not "
                                                  "know"));
    }
    return differences;
}

// Makes the tables, unless another copy made them meanwhile.
bool create(Connection& cn) {
    Transaction transaction(cn);
    if (!transaction.isActive())
        return false;
    const std::optional<QMap<QString, Columns>> present = presentTables(cn);
    if (!present)
        return false;
    if (present->isEmpty()) {
        const QString text = schemaText(cn.dialect().schemaResource());
        if (text.isEmpty())
            return cn.fail({errnum::Unspecified,
                            QStringLiteral("The server's schema is missing from the program.")});
        for (const QString& statement : schemaStatements(text))
            if (!cn.execute(statement))
                return false;
    }
    return transaction.commit();
}

} // namespace

bool prepare(Connection& cn, bool make) {
    std::optional<QMap<QString, Columns>> present = presentTables(cn);
    if (!present)
        return false;
    if (present->isEmpty() && !make)
        return cn.fail({errnum::Unspecified,
                        cn.serverName() + QStringLiteral(" holds none of the program's tables.")});
    if (present->isEmpty()) {
        if (!create(cn))
            return false;
        present = presentTables(cn);
        if (!present)
            return false;
    }
    const QStringList differ = compare(*present);
    if (differ.isEmpty())
        return true;
    return cn.fail({errnum::Unspecified, cn.serverName() +
                                             QStringLiteral(" holds tables that differ from the "
                                                            "program's: ") +
                                             differ.join(QStringLiteral("; ")) + u'.'});
}

} // namespace quillory::serverschema
