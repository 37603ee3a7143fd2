#include "data/recordset.h"

#include <QRegularExpression>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>

namespace quillory {

namespace {

constexpr std::int64_t kNotUpdatable = 3251;

Error noCurrentRecord() {
    return {errnum::NoCurrentRecord,
            QStringLiteral("Either BOF or EOF is True, or the current record has been deleted. "
                           "Requested operation requires a current record.")};
}

Error itemNotFound() {
    return {errnum::Unspecified, QStringLiteral("Item cannot be found in the collection "
                                                "corresponding to the requested name or "
                                                "ordinal.")};
}

Error notUpdatable() {
    return {kNotUpdatable, QStringLiteral("Current Recordset does not support updating.")};
}

// "SELECT * FROM tblname ..." gives rows that can be written back to tblname.
const QRegularExpression& updatableSelect() {
    static const QRegularExpression re(QStringLiteral(R"(^\s*select\s+\*\s+from\s+(\w+)\b)"),
                                       QRegularExpression::CaseInsensitiveOption);
    return re;
}

const QString kRowKeyColumn = QStringLiteral("quillory_rowkey_");
const QString kIdColumn = QStringLiteral("id");

Error rowNotLocated() {
    return {errnum::RowNotLocated, QStringLiteral("Row cannot be located for updating. Some values "
                                                  "may have been changed since it was last read.")};
}

} // namespace

// --- Recordset ----------------------------------------------------------------

bool Recordset::fail(const Error& error) {
    m_error = error;
    return false;
}

bool Recordset::requireOpen() {
    return isOpen() ? true : fail(dataerror::objectClosed());
}

bool Recordset::requireCurrent() {
    if (!requireOpen())
        return false;
    if (m_adding)
        return true;
    return (bof() || eof()) ? fail(noCurrentRecord()) : true;
}

bool Recordset::open(const QString& sql, Connection& connection, const QVariantList& params) {
    close();
    m_error = Error::none();
    m_sql = sql;
    m_params = params;
    const auto match = updatableSelect().match(sql);
    m_table = match.hasMatch() ? match.captured(1) : QString();
    m_connection = &connection;
    if (!fetch()) {
        m_connection = nullptr;
        return false;
    }
    return true;
}

bool Recordset::fetch() {
    m_rows.clear();
    m_rowKeys.clear();
    m_names.clear();
    m_index.clear();
    m_adding = false;
    m_pending.clear();
    m_pendingSet.clear();
    Connection& cn = *m_connection;
    if (!cn.ensureReady())
        return fail(cn.lastError());
    QString text = m_sql;
    if (!m_table.isEmpty()) {
        // Carry each row's row key along for a table without an id.
        const auto match = updatableSelect().match(text);
        const qsizetype star = text.indexOf(u'*', match.capturedStart(0));
        text.replace(star, 1,
                     cn.dialect().rowKey() + QStringLiteral(" AS %1, *").arg(kRowKeyColumn));
    }
    QSqlQuery query(cn.database());
    query.setForwardOnly(true);
    if (!cn.run(query, text, m_params))
        return fail(cn.lastError());
    const QSqlRecord record = query.record();
    const int first = m_table.isEmpty() ? 0 : 1;
    for (int i = first; i < record.count(); ++i) {
        m_index.insert(record.fieldName(i).toLower(), i - first);
        m_names.append(record.fieldName(i));
    }
    while (query.next()) {
        QVariantList row;
        row.reserve(record.count() - first);
        for (int i = first; i < record.count(); ++i)
            row.append(query.value(i));
        if (first)
            m_rowKeys.append(query.value(0));
        m_rows.append(std::move(row));
    }
    if (query.lastError().isValid())
        return fail(m_connection->errorOf(query.lastError()));
    m_current = 0;
    return true;
}

void Recordset::close() {
    m_connection = nullptr;
    m_rows.clear();
    m_rowKeys.clear();
    m_names.clear();
    m_index.clear();
    m_current = -1;
    m_adding = false;
    m_pending.clear();
    m_pendingSet.clear();
}

bool Recordset::bof() const {
    return !isOpen() || m_rows.isEmpty() || m_current < 0;
}

bool Recordset::eof() const {
    return !isOpen() || m_rows.isEmpty() || m_current >= m_rows.size();
}

bool Recordset::moveFirst() {
    if (!requireOpen() || (!m_pending.isEmpty() && !update()))
        return false;
    m_current = 0;
    return true;
}

bool Recordset::moveNext() {
    if (!requireOpen() || (!m_pending.isEmpty() && !update()))
        return false;
    if (eof())
        return fail(noCurrentRecord());
    ++m_current;
    return true;
}

int Recordset::indexOf(const QString& name) const {
    return m_index.value(name.toLower(), -1);
}

QVariant Recordset::field(int index) {
    m_error = Error::none();
    if (!requireCurrent())
        return {};
    if (index < 0 || index >= m_names.size()) {
        fail(itemNotFound());
        return {};
    }
    if (!m_pending.isEmpty())
        return m_pending.at(index);
    return m_rows.at(m_current).at(index);
}

QVariant Recordset::field(const QString& name) {
    const int index = indexOf(name);
    if (index < 0 && isOpen()) {
        fail(itemNotFound());
        return {};
    }
    return field(index);
}

bool Recordset::addNew() {
    m_error = Error::none();
    if (!requireOpen())
        return false;
    if (m_table.isEmpty())
        return fail(notUpdatable());
    if (!m_pending.isEmpty() && !update())
        return false;
    m_adding = true;
    m_pending = QVariantList(m_names.size());
    m_pendingSet = QVector<bool>(m_names.size(), false);
    return true;
}

bool Recordset::setField(const QString& name, const QVariant& value) {
    m_error = Error::none();
    if (!requireCurrent())
        return false;
    if (m_table.isEmpty())
        return fail(notUpdatable());
    const int index = indexOf(name);
    if (index < 0)
        return fail(itemNotFound());
    if (m_pending.isEmpty()) {
        m_pending = m_rows.at(m_current);
        m_pendingSet = QVector<bool>(m_names.size(), false);
    }
    m_pending[index] = value;
    m_pendingSet[index] = true;
    return true;
}

bool Recordset::update() {
    m_error = Error::none();
    if (!requireOpen())
        return false;
    if (m_pending.isEmpty())
        return true;
    QStringList columns;
    QVariantList values;
    for (int i = 0; i < m_names.size(); ++i) {
        if (m_pendingSet.at(i)) {
            columns.append(m_names.at(i));
            values.append(m_pending.at(i));
        }
    }
    if (!(m_adding ? insertPending(columns, values) : updatePending(columns, values)))
        return false;
    m_adding = false;
    m_pending.clear();
    m_pendingSet.clear();
    return true;
}

bool Recordset::insertPending(const QStringList& columns, const QVariantList& values) {
    Connection& cn = *m_connection;
    QString sql = QStringLiteral("INSERT INTO ") + m_table;
    if (columns.isEmpty()) {
        sql += QStringLiteral(" DEFAULT VALUES");
    } else {
        sql += QStringLiteral(" (") + columns.join(u',') + QStringLiteral(") VALUES (") +
               QStringList(columns.size(), QStringLiteral("?")).join(u',') + u')';
    }
    // The stored row comes back, column defaults included, with its row key.
    sql += QStringLiteral(" RETURNING ") + cn.dialect().rowKey() + QStringLiteral(", *");
    if (!cn.ensureReady())
        return fail(cn.lastError());
    QSqlQuery query(cn.database());
    if (!cn.run(query, sql, values))
        return fail(cn.lastError());
    QVariantList row = m_pending;
    QVariant key;
    if (query.next()) {
        key = query.value(0);
        for (int i = 0; i < m_names.size(); ++i)
            row[i] = query.value(i + 1);
    }
    query.finish();
    m_rows.append(row);
    m_rowKeys.append(key);
    m_current = static_cast<int>(m_rows.size()) - 1;
    return true;
}

bool Recordset::updatePending(const QStringList& columns, const QVariantList& values) {
    Connection& cn = *m_connection;
    // By the id the row was read with; in a table without one, by its row key.
    const int idIndex = indexOf(kIdColumn);
    const QString keyColumn = idIndex >= 0 ? kIdColumn : cn.dialect().rowKey();
    const QVariant key = idIndex >= 0 ? m_rows.at(m_current).at(idIndex) : m_rowKeys.at(m_current);
    QStringList sets;
    for (const QString& column : columns)
        sets.append(column + QStringLiteral("=?"));
    if (!cn.ensureReady())
        return fail(cn.lastError());
    QSqlQuery query(cn.database());
    // The row key of a changed row may be new: it comes back.
    if (!cn.run(query,
                QStringLiteral("UPDATE ") + m_table + QStringLiteral(" SET ") + sets.join(u',') +
                    QStringLiteral(" WHERE ") + keyColumn + QStringLiteral("=? RETURNING ") +
                    cn.dialect().rowKey(),
                values + QVariantList{key}))
        return fail(cn.lastError());
    if (!query.next())
        return fail(rowNotLocated());
    m_rowKeys[m_current] = query.value(0);
    query.finish();
    for (int i = 0; i < m_names.size(); ++i)
        if (m_pendingSet.at(i))
            m_rows[m_current][i] = toStorable(m_pending.at(i));
    return true;
}

bool Recordset::requery() {
    m_error = Error::none();
    if (!requireOpen())
        return false;
    return fetch();
}

} // namespace quillory
