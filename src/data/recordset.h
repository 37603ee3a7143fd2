#pragma once

#include "data/connection.h"

#include <QHash>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <QVector>

namespace quillory {

// The rows of one query, read into memory, with a current row. Opening on
// "SELECT * FROM <table> ..." makes the rows updatable: fields can be assigned
// and written back with update(), and addNew() starts a new row. A changed
// row is found again by its id as read, or in a table without an id by the
// store's row key (see Dialect::rowKey).
class Recordset {
public:
    Recordset() = default;

    bool open(const QString& sql, Connection& connection, const QVariantList& params = {});
    void close();
    bool isOpen() const { return m_connection != nullptr; }

    bool bof() const;
    bool eof() const;
    bool moveFirst();
    bool moveNext();
    int recordCount() const { return static_cast<int>(m_rows.size()); }

    // The current row's value of a column, by name (any letter case) or by
    // position. Without a current row the value is null and the error is
    // "no current record".
    QVariant field(const QString& name);
    QVariant field(int index);
    int fieldCount() const { return static_cast<int>(m_names.size()); }

    bool addNew();
    bool setField(const QString& name, const QVariant& value);
    // Writes the new or changed current row back to its table.
    bool update();
    // Runs the query again and moves to its first row.
    bool requery();

    const Error& lastError() const { return m_error; }

private:
    bool fail(const Error& error);
    bool requireOpen();
    bool requireCurrent();
    bool fetch();
    int indexOf(const QString& name) const;
    bool insertPending(const QStringList& columns, const QVariantList& values);
    bool updatePending(const QStringList& columns, const QVariantList& values);

    Connection* m_connection = nullptr;
    QString m_sql;
    QVariantList m_params;
    QString m_table; // set when the rows can be written back
    QStringList m_names;
    QHash<QString, int> m_index; // lower-case column name -> position
    QVector<QVariantList> m_rows;
    QVector<QVariant> m_rowKeys; // each row's row key, as read
    int m_current = -1;          // -1 before the first row (BOF), size() after the last (EOF)
    bool m_adding = false;
    QVariantList m_pending;     // the values of the row being added or changed
    QVector<bool> m_pendingSet; // which of them were assigned
    Error m_error;
};

} // namespace quillory
