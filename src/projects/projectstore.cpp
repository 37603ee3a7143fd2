#include "projects/projectstore.h"

#include "core/money.h"
#include "data/recordset.h"
#include "data/rowguard.h"
#include "data/transaction.h"
#include "errors/handleerror.h"

#include <QSqlQuery>

#include <limits>

namespace quillory::projectstore {

namespace {

const QString kTable = QStringLiteral("tblservices");

QString idText(int id) {
    return QString::number(id);
}

const QStringList& allColumns() {
    static const QStringList columns = {column::id,       column::customerId, column::summary,
                                        column::status,   column::hours,      column::rate,
                                        column::services, column::details,    column::notes,
                                        column::created,  column::invoiced};
    return columns;
}

using Values = QList<std::pair<QString, QVariant>>;

// Adds the row with this id to `table` through an updatable recordset, its
// columns assigned in the order given. A failure is left in the connection.
bool addRow(Connection& cn, const QString& table, int id, const Values& values) {
    Recordset rs;
    bool ok = rs.open(QStringLiteral("SELECT * FROM ") + table + QStringLiteral(" WHERE id=") +
                          idText(id),
                      cn) &&
              rs.addNew();
    for (auto it = values.cbegin(); ok && it != values.cend(); ++it)
        ok = rs.setField(it->first, it->second);
    if (ok && rs.update())
        return true;
    cn.fail(rs.lastError());
    return false;
}

Error overflow() {
    return {errnum::Overflow, QStringLiteral("Overflow")};
}

std::optional<int> nextId(Connection& cn, const QString& table, int first) {
    Recordset rs;
    if (!rs.open(QStringLiteral("SELECT MAX(id) FROM ") + table, cn)) {
        cn.fail(rs.lastError());
        return std::nullopt;
    }
    const QVariant largest = rs.field(0);
    if (largest.isNull())
        return first;
    if (largest.toLongLong() >= std::numeric_limits<int>::max()) {
        cn.fail(overflow());
        return std::nullopt;
    }
    return static_cast<int>(largest.toLongLong() + 1);
}

// Whether another project of the customer than `exceptId` has this summary,
// letter for letter. Nothing when the query failed.
std::optional<bool> summaryTaken(Connection& cn, int customerId, const QString& summary,
                                 std::optional<int> exceptId) {
    bool taken = false;
    QString sql = QStringLiteral("SELECT 1 FROM tblservices WHERE customerid=") +
                  idText(customerId) + QStringLiteral(" AND summary=?");
    if (exceptId)
        sql += QStringLiteral(" AND id<>") + idText(*exceptId);
    if (!cn.forEachRow(sql, {summary}, [&taken](const QSqlQuery&) { taken = true; }))
        return std::nullopt;
    return taken;
}

// The values of a project's row found by its key, within the transaction
// under way; nothing when there is no such row, with `failed` telling a
// failed query apart.
std::optional<QVariantMap> rowByKey(Connection& cn, const ProjectKey& key, bool& failed) {
    failed = false;
    Recordset rs;
    if (!rs.open(QStringLiteral("SELECT * FROM tblservices WHERE id=") + idText(key.id) +
                     QStringLiteral(" AND customerid=") + idText(key.customerId) +
                     QStringLiteral(" AND summary=?"),
                 cn, {key.summary})) {
        cn.fail(rs.lastError());
        failed = true;
        return std::nullopt;
    }
    if (rs.eof())
        return std::nullopt;
    QVariantMap row;
    for (const QString& name : allColumns())
        row.insert(name, rs.field(name));
    return row;
}

// Reports the connection's last error and rolls back what was begun.
Outcome failedWith(Transaction& transaction, Connection& cn) {
    const Error error = cn.lastError();
    transaction.rollback();
    HandleError(error);
    return Outcome::Failed;
}

QVariantMap withIdentity(QVariantMap shown, const ProjectKey& key) {
    shown.insert(column::customerId, key.customerId);
    shown.insert(column::summary, key.summary);
    return shown;
}

Outcome fromGuard(rowguard::Result result) {
    switch (result) {
    case rowguard::Result::Written:
        return Outcome::Done;
    case rowguard::Result::ChangedMeanwhile:
        return Outcome::ChangedMeanwhile;
    case rowguard::Result::Failed:
        break;
    }
    return Outcome::Failed;
}

} // namespace

std::optional<QStringList> projectEntries(Database& db, int customerId,
                                          const std::optional<QString>& status) {
    QString sql = QStringLiteral("SELECT summary,status FROM tblservices WHERE customerid=") +
                  idText(customerId);
    QVariantList params;
    if (status) {
        sql += QStringLiteral(" AND ") + db.cnMain.dialect().statusMatches();
        params.append(*status);
    }
    Recordset rs;
    if (!db.RefreshRecordset(rs, sql, params))
        return std::nullopt;
    QStringList entries;
    for (rs.moveFirst(); !rs.eof(); rs.moveNext())
        entries.append(rs.field(0).toString() + u'\t' + rs.field(1).toString());
    return entries;
}

std::optional<QVariantMap> findProject(Database& db, int customerId, const QString& summary) {
    Recordset rs;
    if (!db.RefreshRecordset(rs,
                             QStringLiteral("SELECT * FROM tblservices WHERE summary=? AND "
                                            "customerid=") +
                                 idText(customerId),
                             {summary}) ||
        rs.eof())
        return std::nullopt;
    QVariantMap row;
    for (const QString& name : allColumns())
        row.insert(name, rs.field(name));
    return row;
}

InvoiceMark invoiceMark(Database& db, int projectId, int customerId) {
    Recordset rs;
    if (!db.RefreshRecordset(rs, QStringLiteral("SELECT invoicegenerated FROM tblservices WHERE "
                                                "id=") +
                                     idText(projectId) + QStringLiteral(" AND customerid=") +
                                     idText(customerId)) ||
        rs.eof())
        return InvoiceMark::NotFound;
    const QVariant mark = rs.field(0);
    return !mark.isNull() && mark.toLongLong() == 1 ? InvoiceMark::Invoiced : InvoiceMark::Open;
}

std::optional<int> nextProjectId(Connection& cn) {
    return nextId(cn, kTable, 0);
}

std::optional<int> nextInvoiceId(Connection& cn) {
    return nextId(cn, QStringLiteral("tblinvoice"), 1);
}

WriteResult insertProject(Database& db, const NewProject& project, const QDateTime& now) {
    Connection& cn = db.cnMain;
    Transaction transaction(cn);
    if (!transaction.isActive())
        return {failedWith(transaction, cn)};
    const std::optional<bool> taken =
        summaryTaken(cn, project.customerId, project.summary, std::nullopt);
    if (!taken)
        return {failedWith(transaction, cn)};
    if (*taken)
        return {Outcome::Duplicate};
    const std::optional<int> id = nextProjectId(cn);
    if (!id)
        return {failedWith(transaction, cn)};

    const Values values = {{column::id, *id},
                           {column::customerId, project.customerId},
                           {column::hours, project.hours},
                           {column::rate, project.rate},
                           {column::summary, project.summary},
                           {column::services, project.services},
                           {column::details, project.details},
                           {column::notes, project.notes},
                           {column::created, now},
                           {column::status, project.status}};
    if (!addRow(cn, kTable, *id, values) || !transaction.commit())
        return {failedWith(transaction, cn)};
    return {Outcome::Done, *id};
}

Outcome updateProject(Database& db, const ProjectKey& key, const QVariantMap& shown,
                      const QVariantMap& changes, const QDateTime& now) {
    Connection& cn = db.cnMain;
    Transaction transaction(cn);
    if (!transaction.isActive())
        return failedWith(transaction, cn);
    bool failed = false;
    if (!rowByKey(cn, key, failed))
        return failed ? failedWith(transaction, cn) : Outcome::NotFound;
    const auto summary = changes.constFind(column::summary);
    if (summary != changes.cend()) {
        const std::optional<bool> taken =
            summaryTaken(cn, key.customerId, summary->toString(), key.id);
        if (!taken)
            return failedWith(transaction, cn);
        if (*taken)
            return Outcome::Duplicate;
    }
    QVariantMap written = changes;
    written.insert(column::created, now);
    const Outcome outcome = fromGuard(rowguard::writeIfUnchanged(
        cn, kTable, column::id, key.id, withIdentity(shown, key), written));
    if (outcome == Outcome::Failed)
        return failedWith(transaction, cn);
    if (outcome != Outcome::Done)
        return outcome;
    if (!transaction.commit())
        return failedWith(transaction, cn);
    return Outcome::Done;
}

WriteResult generateInvoice(Database& db, const ProjectKey& key, const QVariantMap& shown,
                            const QDateTime& now) {
    Connection& cn = db.cnMain;
    Transaction transaction(cn);
    if (!transaction.isActive())
        return {failedWith(transaction, cn)};
    bool failed = false;
    const std::optional<QVariantMap> row = rowByKey(cn, key, failed);
    if (!row)
        return {failed ? failedWith(transaction, cn) : Outcome::NotFound};
    const QVariant mark = row->value(column::invoiced);
    if (!mark.isNull() && mark.toLongLong() == 1)
        return {Outcome::AlreadyInvoiced};

    // The figures billed are those stored, which the guard below holds to the
    // ones the user confirmed.
    const QVariant hours = row->value(column::hours);
    const QVariant rate = row->value(column::rate);
    const std::optional<Money> due = hours.isNull() || rate.isNull()
                                         ? std::nullopt
                                         : Money::fromProduct(static_cast<float>(hours.toDouble()),
                                                              static_cast<float>(rate.toDouble()));
    if (!due) {
        cn.fail(overflow());
        return {failedWith(transaction, cn)};
    }
    const std::optional<int> id = nextInvoiceId(cn);
    if (!id)
        return {failedWith(transaction, cn)};

    const QVariantMap guard = withIdentity(
        {{column::hours, shown.value(column::hours)}, {column::rate, shown.value(column::rate)}},
        key);
    const Outcome marked = fromGuard(rowguard::writeIfUnchanged(
        cn, kTable, column::id, key.id, guard,
        {{column::invoiced, 1}, {column::status, QStringLiteral("Completed")}}));
    if (marked == Outcome::Failed)
        return {failedWith(transaction, cn)};
    if (marked != Outcome::Done)
        return {marked};

    const Values values = {{QStringLiteral("servicesid"), key.id},
                           {QStringLiteral("customerid"), key.customerId},
                           {QStringLiteral("id"), *id},
                           {QStringLiteral("amountdue"), QVariant::fromValue(*due)},
                           {QStringLiteral("amountpaid"), QVariant::fromValue(Money())},
                           {QStringLiteral("paymentdates"), QStringLiteral("NA")},
                           {QStringLiteral("DateCreated"), now},
                           {QStringLiteral("Status"), 0}};
    if (!addRow(cn, QStringLiteral("tblinvoice"), *id, values) || !transaction.commit())
        return {failedWith(transaction, cn)};
    return {Outcome::Done, *id};
}

} // namespace quillory::projectstore
