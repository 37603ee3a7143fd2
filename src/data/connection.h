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
    // Opens a second, read-only connection on the database `main` is open
    // on, for reading on another thread: call it, use the connection and let
    // it go on that thread. Damage met here is left for `main` to report.
    bool openReadOnly(const Connection& main);
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
    bool openFile(const QString& path, bool readOnly);
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
    bool m_readOnly = false;
};

// The errors the data layer reports of itself, as the program numbers them.
namespace dataerror {
Error objectClosed();
Error notWrittenToDamagedFile();
} // namespace dataerror

// Binds a value as the database keeps it: date-times as text to the second,
// money as its count of ten-thousandths.
QVariant toStorable(const QVariant& value);

// Binds `params` to the placeholders of a prepared query, in order, each as
// toStorable() gives it.
void bindValues(QSqlQuery& query, const QVariantList& params);

} // namespace quillory
