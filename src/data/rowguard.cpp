#include "data/rowguard.h"

#include <QSqlQuery>

namespace quillory::rowguard {

Condition stillHolds(const Connection& cn, const QVariantMap& shown) {
    Condition condition;
    QStringList terms;
    for (auto it = shown.cbegin(); it != shown.cend(); ++it) {
        terms.append(cn.dialect().holdsExactly(it.key()));
        condition.params.append(it.value());
    }
    condition.sql = terms.join(QStringLiteral(" AND "));
    return condition;
}

Result writeIfUnchanged(Connection& cn, const QString& table, const QString& keyColumn,
                        const QVariant& key, const QVariantMap& shown, const QVariantMap& changes) {
    const Condition held = stillHolds(cn, shown);
    QString where = keyColumn + QStringLiteral("=?");
    if (!held.sql.isEmpty())
        where += QStringLiteral(" AND ") + held.sql;
    const QVariantList whereParams = QVariantList{key} + held.params;

    if (changes.isEmpty()) {
        bool found = false;
        if (!cn.forEachRow(QStringLiteral("SELECT 1 FROM ") + table + QStringLiteral(" WHERE ") +
                               where,
                           whereParams, [&found](const QSqlQuery&) { found = true; }))
            return Result::Failed;
        return found ? Result::Written : Result::ChangedMeanwhile;
    }

    QStringList sets;
    QVariantList params;
    for (auto it = changes.cbegin(); it != changes.cend(); ++it) {
        sets.append(it.key() + QStringLiteral("=?"));
        params.append(it.value());
    }
    int rows = 0;
    if (!cn.execute(QStringLiteral("UPDATE ") + table + QStringLiteral(" SET ") + sets.join(u',') +
                        QStringLiteral(" WHERE ") + where,
                    params + whereParams, &rows))
        return Result::Failed;
    return rows == 1 ? Result::Written : Result::ChangedMeanwhile;
}

} // namespace quillory::rowguard
