#include "invoice/invoicestore.h"

#include "data/rowguard.h"
#include "data/transaction.h"
#include "errors/handleerror.h"

#include <QSqlQuery>
#include <QSqlRecord>

namespace quillory::invoicestore {

namespace {

QString idText(qint64 id) {
    return QString::number(id);
}

// The first row of a query, or nothing when it has none or failed (the
// failure reported as every failed read is).
std::optional<Row> firstRow(Database& db, const QString& sql) {
    std::optional<Row> row;
    const bool ok = db.cnMain.forEachRow(sql, {}, [&row](const QSqlQuery& query) {
        if (row)
            return;
        const QSqlRecord record = query.record();
        Row values;
        for (int i = 0; i < record.count(); ++i)
            values.insert(record.fieldName(i).toLower(), query.value(i));
        row = std::move(values);
    });
    if (!ok) {
        Database::reportRefreshFailure(db.cnMain.lastError());
        return std::nullopt;
    }
    return row;
}

} // namespace

std::optional<Row> invoiceRow(Database& db, int invoiceId, int customerId) {
    return firstRow(db, QStringLiteral("SELECT * FROM tblinvoice WHERE id=") + idText(invoiceId) +
                            QStringLiteral(" AND customerid=") + idText(customerId));
}

std::optional<Row> documentCustomer(Database& db, int customerId) {
    return firstRow(db, QStringLiteral("SELECT * FROM tblcustomer WHERE id=") + idText(customerId));
}

std::optional<Row> documentInvoice(Database& db, int invoiceId, int customerId) {
    return firstRow(db, QStringLiteral("SELECT * FROM tblinvoice WHERE customerid=") +
                            idText(customerId) + QStringLiteral(" AND id=") + idText(invoiceId));
}

std::optional<Row> documentProject(Database& db, const QVariant& servicesId) {
    bool ok = false;
    const qint64 id = servicesId.toLongLong(&ok);
    if (servicesId.isNull() || !ok)
        return std::nullopt;
    return firstRow(db, QStringLiteral("SELECT services_provided FROM tblservices ") +
                            QStringLiteral("WHERE id=") + idText(id));
}

PaymentResult applyPayment(Database& db, int invoiceId, const Row& read, const Payment& payment) {
    Connection& cn = db.cnMain;
    Transaction transaction(cn);
    // The write lock is let go before the report, whose box waits for the
    // user; the rollback keeps the failure that led to it.
    const auto failed = [&cn, &transaction] {
        transaction.rollback();
        HandleError(cn.lastError());
        return PaymentResult::Failed;
    };
    if (!transaction.isActive())
        return failed();
    // The status follows from the amount due, so that too must still be what
    // the balance was worked out from.
    QVariantMap shown;
    for (const char* column : {"customerid", "amountdue", "amountpaid", "paymentdates"})
        shown.insert(QString::fromLatin1(column), read.value(QString::fromLatin1(column)));
    const QVariantMap changes = {
        {QStringLiteral("amountpaid"), payment.amountPaid.toStored()},
        {QStringLiteral("paymentdates"), payment.paymentDates},
        {QStringLiteral("Status"), payment.status},
    };
    const rowguard::Result result = rowguard::writeIfUnchanged(
        cn, QStringLiteral("tblinvoice"), QStringLiteral("id"), invoiceId, shown, changes);
    if (result == rowguard::Result::Failed)
        return failed();
    if (result == rowguard::Result::ChangedMeanwhile)
        return PaymentResult::ChangedMeanwhile;
    if (!transaction.commit())
        return failed();
    return PaymentResult::Applied;
}

} // namespace quillory::invoicestore
