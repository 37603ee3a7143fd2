#include "options/optionsstore.h"

#include "data/rowguard.h"
#include "data/transaction.h"
#include "errors/handleerror.h"

#include <QSqlQuery>

namespace quillory::optionsstore {

namespace {

const QString kTable = QStringLiteral("tblbusoptions");

QString columnList() {
    return kColumns.join(u',');
}

} // namespace

std::optional<Options> readOptions(Database& db) {
    Options options;
    const QString key = db.cnMain.dialect().rowKey();
    const bool ok = db.cnMain.forEachRow(QStringLiteral("SELECT ") + key + u',' + columnList() +
                                             QStringLiteral(" FROM tblbusoptions ORDER BY ") + key +
                                             QStringLiteral(" LIMIT 1"),
                                         {}, [&options](const QSqlQuery& query) {
                                             options.rowKey = query.value(0);
                                             QVariantMap row;
                                             for (int i = 0; i < kColumns.size(); ++i)
                                                 row.insert(kColumns.at(i), query.value(i + 1));
                                             options.row = std::move(row);
                                         });
    if (!ok) {
        Database::reportRefreshFailure(db.cnMain.lastError());
        return std::nullopt;
    }
    return options;
}

SaveResult saveOptions(Database& db, const Options& read, const QVariantMap& changes) {
    Connection& cn = db.cnMain;
    Transaction transaction(cn);
    const auto failed = [&cn, &transaction] {
        transaction.rollback();
        HandleError(cn.lastError());
        return SaveResult::Failed;
    };
    if (!transaction.isActive())
        return failed();

    if (!read.row) {
        bool empty = true;
        if (!cn.forEachRow(QStringLiteral("SELECT 1 FROM tblbusoptions LIMIT 1"), {},
                           [&empty](const QSqlQuery&) { empty = false; }))
            return failed();
        if (!empty)
            return SaveResult::ChangedMeanwhile;
        QStringList columns;
        QVariantList values;
        for (auto it = changes.cbegin(); it != changes.cend(); ++it) {
            columns.append(it.key());
            values.append(it.value());
        }
        const QString sql = columns.isEmpty()
                                ? QStringLiteral("INSERT INTO tblbusoptions DEFAULT VALUES")
                                : QStringLiteral("INSERT INTO tblbusoptions (") +
                                      columns.join(u',') + QStringLiteral(") VALUES (") +
                                      QStringList(columns.size(), QStringLiteral("?")).join(u',') +
                                      u')';
        if (!cn.execute(sql, values))
            return failed();
    } else {
        const rowguard::Result result = rowguard::writeIfUnchanged(
            cn, kTable, cn.dialect().rowKey(), read.rowKey, *read.row, changes);
        if (result == rowguard::Result::Failed)
            return failed();
        if (result == rowguard::Result::ChangedMeanwhile)
            return SaveResult::ChangedMeanwhile;
    }
    if (!transaction.commit())
        return failed();
    return SaveResult::Saved;
}

} // namespace quillory::optionsstore
