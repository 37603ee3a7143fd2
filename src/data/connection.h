#pragma once

#include "errors/error.h"

#include <QHash>
#include <QSqlDatabase>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <QVector>

#include <functional>

class QSqlQuery;

namespace quillory {

// The program's connection to its database file. Texts and amounts go into a
// statement as bound parameters ("?" in the text), never spliced into it;
// only ids, once read as integers, stand in the text as their digits.
//
// A damaged file is never written to. Once SQLite reports damage (a malformed
// page, or a file that no longer reads as a database) on any statement after
// the open, the damage is reported once through HandleError (at once, or when
// the write transaction under way has been rolled back, so that no box waits
// with the write lock held), and from then on the connection refuses every
// write: a Transaction does not begin, and SQLite itself refuses any other
// write (PRAGMA query_only). The failures met afterwards carry numbers that
// report nothing more (a read) or say that the change was not saved (a write).
class Connection {
public:
    Connection();
    ~Connection();
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    // Opens an existing database file; a missing file is not created.
    bool open(const QString& path);
    void close();
    bool isOpen() const;

    // Runs one statement. `rowsAffected`, when given, receives the count of
    // rows it changed.
    bool execute(const QString& sql, const QVariantList& params = {}, int* rowsAffected = nullptr);

    // Runs a query and hands each row to `onRow` as it is read, without
    // keeping the rows: for long lists that are only copied out.
    bool forEachRow(const QString& sql, const QVariantList& params,
                    const std::function<void(const QSqlQuery&)>& onRow);

    const Error& lastError() const { return m_error; }
    QSqlDatabase database() const;

    // Sets and returns the last error; Recordset and Transaction report
    // through it too.
    bool fail(const Error& error);
    bool failFrom(const class QSqlError& error);
    void clearError() { m_error = Error::none(); }
    // The error a failed statement stands for, as the program reports it;
    // notes damage (see above).
    Error errorOf(const class QSqlError& error);

    // Whether damage has been met since the last open; it stays noted after a
    // close, so that nothing is written on the way out either.
    bool isDamaged() const { return m_damaged; }
    // Notes damage found by other means (a check of the whole file), reported
    // already: from now on the connection refuses to write.
    void noteReportedDamage();

private:
    friend class Transaction;
    void noteDamage(const QString& description);
    void reportPendingDamage();

    QString m_name;
    QString m_path;
    QString m_damageDescription;
    Error m_error;
    bool m_opening = false;
    bool m_damaged = false;
    bool m_damagePending = false; // found inside a write transaction, not reported yet
    bool m_inTransaction = false;
};

// A write unit of work: BEGIN IMMEDIATE takes the write lock at once, so that
// reads made inside it (such as the largest id) cannot be overtaken by another
// copy of the program. Rolls back unless committed.
class Transaction {
public:
    explicit Transaction(Connection& connection);
    ~Transaction();
    Transaction(const Transaction&) = delete;
    Transaction& operator=(const Transaction&) = delete;

    bool isActive() const { return m_active; }
    bool commit();
    void rollback();

private:
    Connection& m_connection;
    bool m_active = false;
};

// The rows of one query, read into memory, with a current row. Opening on
// "SELECT * FROM <table> ..." makes the rows updatable: fields can be assigned
// and written back with update(), and addNew() starts a new row.
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

    Connection* m_connection = nullptr;
    QString m_sql;
    QVariantList m_params;
    QString m_table; // set when the rows can be written back
    QStringList m_names;
    QHash<QString, int> m_index; // lower-case column name -> position
    QVector<QVariantList> m_rows;
    QVector<qint64> m_rowIds;
    int m_current = -1; // -1 before the first row (BOF), size() after the last (EOF)
    bool m_adding = false;
    QVariantList m_pending;     // the values of the row being added or changed
    QVector<bool> m_pendingSet; // which of them were assigned
    Error m_error;
};

// Binds a value as the database keeps it: date-times as text to the second,
// money as its count of ten-thousandths.
QVariant toStorable(const QVariant& value);

} // namespace quillory
