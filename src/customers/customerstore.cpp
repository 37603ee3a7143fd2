#include "customers/customerstore.h"

#include "data/recordset.h"
#include "data/rowguard.h"
#include "data/transaction.h"
#include "errors/handleerror.h"

#include <QSqlQuery>

#include <limits>

namespace quillory::customerstore {

namespace {

QString idText(int id) {
    return QString::number(id);
}

// Reads the single number of a COUNT query; nothing when it failed.
std::optional<qint64> countOf(Connection& cn, const QString& sql) {
    Recordset rs;
    if (!rs.open(sql, cn) || rs.eof())
        return std::nullopt;
    bool ok = false;
    const qint64 n = rs.field(0).toLongLong(&ok);
    return ok ? std::optional<qint64>(n) : std::nullopt;
}

QStringList columnTexts(Database& db, const QString& sql, int column) {
    QStringList out;
    Recordset rs;
    if (!db.RefreshRecordset(rs, sql))
        return out;
    for (rs.moveFirst(); !rs.eof(); rs.moveNext())
        out.append(rs.field(column).toString());
    return out;
}

} // namespace

std::optional<QStringList> customerEntries(Database& db) {
    // Read straight into the entries: the list may hold a hundred thousand.
    QStringList entries;
    const bool ok = db.cnMain.forEachRow(
        QStringLiteral("select lname,id from tblcustomer"), {}, [&entries](const QSqlQuery& row) {
            entries.append(row.value(0).toString() + u'-' + row.value(1).toString());
        });
    if (!ok) {
        Database::reportRefreshFailure(db.cnMain.lastError());
        return std::nullopt;
    }
    return entries;
}

std::optional<QVariantList> customerRow(Database& db, int id) {
    Recordset rs;
    if (!db.RefreshRecordset(rs,
                             QStringLiteral("SELECT * FROM tblcustomer WHERE id=") + idText(id)))
        return std::nullopt;
    if (rs.bof() || rs.eof())
        return std::nullopt;
    QVariantList values;
    for (const QString& column : kColumns)
        values.append(rs.field(column));
    return values;
}

QStringList projectEntries(Database& db, int customerId) {
    QStringList out;
    Recordset rs;
    if (!db.RefreshRecordset(rs, QStringLiteral("SELECT summary,status FROM tblservices WHERE "
                                                "customerid=") +
                                     idText(customerId)))
        return out;
    for (rs.moveFirst(); !rs.eof(); rs.moveNext())
        out.append(rs.field(QStringLiteral("summary")).toString() + u'\t' +
                   rs.field(QStringLiteral("status")).toString());
    return out;
}

QStringList projectStatuses(Database& db, int customerId) {
    // Statuses that differ only in letter case are one.
    return columnTexts(db, db.cnMain.dialect().distinctStatuses(idText(customerId)), 0);
}

QStringList invoiceEntries(Database& db, int customerId) {
    return columnTexts(db,
                       QStringLiteral("SELECT id FROM tblinvoice WHERE customerid=") +
                           idText(customerId) + QStringLiteral(" ORDER BY id DESC"),
                       0);
}

Totals customerTotals(Database& db, int customerId) {
    Totals totals;
    Recordset rs;
    if (rs.open(QStringLiteral("SELECT sum(amountdue),sum(amountpaid) FROM tblinvoice ") +
                    QStringLiteral("WHERE customerid=") + idText(customerId),
                db.cnMain) &&
        !rs.eof()) {
        totals.hasSums = true;
        totals.sumDue = Money::fromStored(rs.field(0));
        totals.sumPaid = Money::fromStored(rs.field(1));
    }
    totals.openInvoices =
        countOf(db.cnMain, QStringLiteral("SELECT COUNT(id) FROM tblinvoice WHERE customerid=") +
                               idText(customerId) + QStringLiteral(" AND status=0"));
    totals.projects =
        countOf(db.cnMain, QStringLiteral("SELECT COUNT(id) FROM tblservices WHERE customerid=") +
                               idText(customerId));
    return totals;
}

std::optional<int> insertCustomer(Database& db, const QStringList& values) {
    Connection& cn = db.cnMain;
    const auto failed = [&](const Error& error) -> std::optional<int> {
        HandleError(error);
        return std::nullopt;
    };
    Transaction transaction(cn);
    if (!transaction.isActive())
        return failed(cn.lastError());
    Recordset rs;
    if (!rs.open(QStringLiteral("select max(id) from tblcustomer"), cn))
        return failed(rs.lastError());
    // An empty table has no largest id: the first customer gets 1.
    const qint64 largest = rs.field(0).isNull() ? 0 : rs.field(0).toLongLong();
    if (largest >= std::numeric_limits<int>::max())
        return failed({errnum::Overflow, QStringLiteral("Overflow")});
    const int id = static_cast<int>(largest + 1);
    if (!rs.open(QStringLiteral("SELECT * FROM tblcustomer WHERE id=") + idText(id), cn) ||
        !rs.addNew() || !rs.setField(QStringLiteral("id"), id))
        return failed(rs.lastError());
    for (int i = 0; i < values.size() && i + 1 < kColumns.size(); ++i)
        if (!rs.setField(kColumns.at(i + 1), values.at(i)))
            return failed(rs.lastError());
    if (!rs.update())
        return failed(rs.lastError());
    if (!transaction.commit())
        return failed(cn.lastError());
    return id;
}

UpdateResult updateCustomer(Database& db, int id, const QVariantMap& shown,
                            const QVariantMap& changes) {
    switch (rowguard::writeIfUnchanged(db.cnMain, QStringLiteral("tblcustomer"),
                                       QStringLiteral("id"), id, shown, changes)) {
    case rowguard::Result::Written:
        return UpdateResult::Updated;
    case rowguard::Result::Failed:
        HandleError(db.cnMain.lastError());
        return UpdateResult::Failed;
    case rowguard::Result::ChangedMeanwhile:
        break;
    }
    // Gone altogether, or still there with other values?
    Recordset rs;
    if (!db.RefreshRecordset(rs,
                             QStringLiteral("SELECT id FROM tblcustomer WHERE id=") + idText(id)) ||
        rs.eof())
        return UpdateResult::NotFound;
    return UpdateResult::ChangedMeanwhile;
}

std::optional<Holdings> holdings(Connection& cn, int customerId) {
    const auto rows = [&cn, customerId](const char* columns, const char* table,
                                        QList<QVariantList>& out) {
        Recordset rs;
        if (!rs.open(QStringLiteral("SELECT %1 FROM %2 WHERE customerid=%3 ORDER BY id")
                         .arg(QLatin1String(columns), QLatin1String(table), idText(customerId)),
                     cn))
            return false;
        for (rs.moveFirst(); !rs.eof(); rs.moveNext())
            out.append({rs.field(0), rs.field(1), rs.field(2)});
        return true;
    };
    Holdings held;
    if (!rows("id,billinghours,billingrate", "tblservices", held.projects) ||
        !rows("id,amountdue,amountpaid", "tblinvoice", held.invoices))
        return std::nullopt;
    return held;
}

DeleteResult deleteCustomer(Database& db, int id, const QVariantMap& shown,
                            const Holdings& shownHoldings) {
    Connection& cn = db.cnMain;
    Transaction transaction(cn);
    const QString idPart = idText(id);
    bool ok = transaction.isActive();
    // Read under the write lock: nothing can change between this and the
    // deletions.
    std::optional<Holdings> now = ok ? holdings(cn, id) : std::nullopt;
    ok = ok && now;
    if (ok && *now != shownHoldings)
        return DeleteResult::ChangedMeanwhile; // rolled back: nothing goes
    const rowguard::Condition held = rowguard::stillHolds(cn, shown);
    QString removeCustomer = QStringLiteral("DELETE FROM tblcustomer WHERE ID=") + idPart;
    if (!held.sql.isEmpty())
        removeCustomer += QStringLiteral(" AND ") + held.sql;
    int removed = 0;
    ok = ok && cn.execute(removeCustomer, held.params, &removed);
    if (ok && removed == 0)
        return DeleteResult::ChangedMeanwhile; // rolled back: nothing else goes
    ok = ok && cn.execute(QStringLiteral("DELETE FROM tblservices WHERE customerid=") + idPart) &&
         cn.execute(QStringLiteral("DELETE FROM tblinvoice WHERE customerid=") + idPart) &&
         transaction.commit();
    if (!ok) {
        const Error error = cn.lastError();
        transaction.rollback();
        HandleError(error);
        return DeleteResult::Failed;
    }
    return DeleteResult::Deleted;
}

} // namespace quillory::customerstore
