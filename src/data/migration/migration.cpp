#include "data/migration/migration.h"

#include "data/connection.h"
#include "data/file/schema.h"
#include "data/file/signature.h"
#include "data/server/serveraddress.h"
#include "data/server/servermaintenance.h"
#include "data/transaction.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSqlError>
#include <QSqlQuery>

#include <memory>

namespace quillory::migration {

namespace {

enum class Kind { Integer, Money, Real, Text };

struct Column {
    const char* name;
    Kind kind;
};

struct Table {
    const char* name;
    QList<Column> columns;
    // Whether the order of the rows matters: only the first row of the
    // business options is ever read.
    bool ordered = false;
};

// The program's tables and columns, as both schemas have them.
const QList<Table>& programTables() {
    using K = Kind;
    static const QList<Table> tables = {
        {"tblcustomer",
         {{"id", K::Integer},
          {"fname", K::Text},
          {"lname", K::Text},
          {"street", K::Text},
          {"city", K::Text},
          {"prov", K::Text},
          {"country", K::Text},
          {"pcode", K::Text},
          {"email1", K::Text},
          {"email2", K::Text},
          {"phone", K::Text},
          {"cellphone", K::Text},
          {"othercontact", K::Text},
          {"notes", K::Text}}},
        {"tblservices",
         {{"id", K::Integer},
          {"customerid", K::Integer},
          {"summary", K::Text},
          {"status", K::Text},
          {"billinghours", K::Real},
          {"billingrate", K::Real},
          {"services_provided", K::Text},
          {"details", K::Text},
          {"notes", K::Text},
          {"DateCreated", K::Text},
          {"invoicegenerated", K::Integer}}},
        {"tblinvoice",
         {{"id", K::Integer},
          {"servicesid", K::Integer},
          {"customerid", K::Integer},
          {"amountdue", K::Money},
          {"amountpaid", K::Money},
          {"paymentdates", K::Text},
          {"DateCreated", K::Text},
          {"Status", K::Integer}}},
        {"tblbusoptions",
         {{"uselogin", K::Integer},
          {"UserName", K::Text},
          {"Password", K::Text},
          {"busname", K::Text},
          {"busaddress", K::Text},
          {"busurl", K::Text},
          {"bus_slogan", K::Text},
          {"bus_phone", K::Text},
          {"bus_email", K::Text},
          {"image_path_logo", K::Text}},
         true},
    };
    return tables;
}

QString columnList(const Table& table) {
    QStringList names;
    for (const Column& column : table.columns)
        names.append(QString::fromLatin1(column.name));
    return names.join(u',');
}

// The rows written by one INSERT on a server: fewer statements make the copy
// quick, and the values stay well below the server's limit on them.
constexpr int kRowsPerInsert = 500;

QString insertStatement(const Table& table, int rows) {
    QString row = QStringLiteral("(?");
    for (qsizetype i = 1; i < table.columns.size(); ++i)
        row += QStringLiteral(",?");
    row += u')';
    QStringList values;
    values.reserve(rows);
    for (int i = 0; i < rows; ++i)
        values.append(row);
    return QStringLiteral("INSERT INTO ") + QString::fromLatin1(table.name) + QStringLiteral(" (") +
           columnList(table) + QStringLiteral(") VALUES ") + values.join(u',');
}

// A value as the target should receive it. A server hands its reals (and,
// to keep them exact, its big numbers) to the program as text; they go on as
// numbers. A value that does not read as one (a text a file let into a
// number column) goes on as it is, for the target to take or refuse.
QVariant carried(const QVariant& value, Kind kind) {
    if (value.isNull() || value.typeId() != QMetaType::QString)
        return value;
    bool ok = false;
    switch (kind) {
    case Kind::Integer:
    case Kind::Money: {
        const qlonglong n = value.toString().toLongLong(&ok);
        return ok ? QVariant(n) : value;
    }
    case Kind::Real: {
        const double d = value.toString().toDouble(&ok);
        return ok ? QVariant(d) : value;
    }
    case Kind::Text:
        break;
    }
    return value;
}

QString sumOf(const QString& expression) {
    return QStringLiteral("coalesce(sum(") + expression + QStringLiteral("),0)");
}

// One query that reads a table's figures: its rows, then each sum in order.
QString figuresQuery(const Table& table, const Dialect& dialect, QStringList& names) {
    QStringList parts{QStringLiteral("count(*)")};
    QStringList characters;
    QStringList nulls;
    for (const Column& column : table.columns) {
        const QString name = QString::fromLatin1(column.name);
        if (column.kind == Kind::Money) {
            names.append(name);
            parts.append(sumOf(name));
        } else if (column.kind == Kind::Real) {
            names.append(name);
            parts.append(sumOf(dialect.truncatedInteger(name + QStringLiteral("*10000"))));
        } else if (column.kind == Kind::Text) {
            characters.append(QStringLiteral("coalesce(length(") + name + QStringLiteral("),0)"));
        }
        nulls.append(QStringLiteral("CASE WHEN ") + name +
                     QStringLiteral(" IS NULL THEN 1 ELSE 0 END"));
    }
    names.append(QStringLiteral("characters"));
    parts.append(sumOf(characters.join(u'+')));
    names.append(QStringLiteral("nulls"));
    parts.append(sumOf(nulls.join(u'+')));
    return QStringLiteral("SELECT ") + parts.join(u',') + QStringLiteral(" FROM ") +
           QString::fromLatin1(table.name);
}

// A sum as an integer's digits, however the store hands it over.
QString integerText(const QVariant& value) {
    if (value.typeId() == QMetaType::Double)
        return QString::number(value.toDouble(), 'f', 0);
    return value.toString();
}

} // namespace

bool isMoneySum(const QString& name) {
    return name == u"amountdue" || name == u"amountpaid";
}

QString shownValue(const QString& name, const QString& value) {
    if (!isMoneySum(name))
        return value;
    const bool negative = value.startsWith(u'-');
    QString digits = negative ? value.mid(1) : value;
    while (digits.size() < 5)
        digits.prepend(u'0');
    return (negative ? QStringLiteral("-") : QString()) + digits.left(digits.size() - 4) + u'.' +
           digits.right(4);
}

std::optional<Figures> figuresOf(Connection& cn) {
    Figures figures;
    for (const Table& table : programTables()) {
        QStringList names;
        const QString sql = figuresQuery(table, cn.dialect(), names);
        TableFigures read;
        read.table = QString::fromLatin1(table.name);
        const bool ok = cn.forEachRow(sql, {}, [&](const QSqlQuery& row) {
            read.rows = row.value(0).toLongLong();
            for (qsizetype i = 0; i < names.size(); ++i)
                read.sums.append({names.at(i), integerText(row.value(int(i) + 1))});
        });
        if (!ok)
            return std::nullopt;
        figures.append(read);
    }
    return figures;
}

QStringList differences(const Figures& source, const Figures& target) {
    QStringList texts;
    for (qsizetype t = 0; t < source.size() && t < target.size(); ++t) {
        const TableFigures& a = source.at(t);
        const TableFigures& b = target.at(t);
        if (a.rows != b.rows)
            texts.append(a.table + QStringLiteral(" has ") + QString::number(a.rows) +
                         QStringLiteral(" rows, the copy ") + QString::number(b.rows));
        for (qsizetype i = 0; i < a.sums.size() && i < b.sums.size(); ++i) {
            const auto& [name, value] = a.sums.at(i);
            if (value != b.sums.at(i).second)
                texts.append(a.table + u' ' + name + QStringLiteral(" sums to ") +
                             shownValue(name, value) + QStringLiteral(", the copy's to ") +
                             shownValue(name, b.sums.at(i).second));
        }
    }
    if (source.size() != target.size())
        texts.append(QStringLiteral("the two sides do not have the same tables"));
    return texts;
}

namespace {

// The target's prepared statements, kept until its transaction has ended: a
// server refuses to free them inside a transaction that a failed row ended.
using Statements = std::vector<std::unique_ptr<QSqlQuery>>;

// Copies every row of the four tables from `from` to `to`, table by table
// (the rows of tblbusoptions in their order, whose first is the one in use).
// `from` reads from one snapshot and `to` is inside its write transaction;
// nothing is committed here. False, with `error` set, at the first row the
// target refuses.
bool copyRows(Connection& from, Connection& to, const ProgressFunction& progress,
              Statements& statements, Error* error) {
    const auto fail = [error](const Error& e) {
        if (error)
            *error = e;
        return false;
    };
    for (const Table& table : programTables()) {
        const QString name = QString::fromLatin1(table.name);
        qint64 total = 0;
        if (!from.forEachRow(QStringLiteral("SELECT count(*) FROM ") + name, {},
                             [&total](const QSqlQuery& row) { total = row.value(0).toLongLong(); }))
            return fail(from.lastError());
        Progress done{name, 0, total};
        if (progress)
            progress(done);

        QString select =
            QStringLiteral("SELECT ") + columnList(table) + QStringLiteral(" FROM ") + name;
        if (table.ordered)
            select += QStringLiteral(" ORDER BY ") + from.dialect().rowKey();
        if (!from.ensureReady())
            return fail(from.lastError());
        QSqlQuery source(from.database());
        source.setForwardOnly(true);
        if (!from.run(source, select, {}))
            return fail(from.lastError());

        // One statement, prepared once, takes a batch of rows: many on a
        // server, for fewer round trips; one on a file, whose driver looks each
        // value's name up among all of a statement's.
        const int batch = to.isServer() ? kRowsPerInsert : 1;
        if (!to.ensureReady())
            return fail(to.lastError());
        statements.push_back(std::make_unique<QSqlQuery>(to.database()));
        QSqlQuery& insert = *statements.back();
        if (!insert.prepare(insertStatement(table, batch)))
            return fail(to.errorOf(insert.lastError()));
        QVariantList values;
        values.reserve(batch * table.columns.size());
        int rows = 0;
        const auto flush = [&]() {
            if (rows == 0)
                return true;
            QSqlQuery* statement = &insert;
            if (rows < batch) {
                // The last rows, fewer than a batch, in a statement of their own.
                statements.push_back(std::make_unique<QSqlQuery>(to.database()));
                statement = statements.back().get();
                if (!statement->prepare(insertStatement(table, rows)))
                    return to.failFrom(statement->lastError());
            }
            for (qsizetype i = 0; i < values.size(); ++i)
                statement->bindValue(int(i), toStorable(values.at(i)));
            if (!statement->exec())
                return to.failFrom(statement->lastError());
            done.copied += rows;
            values.clear();
            rows = 0;
            if (progress)
                progress(done);
            return true;
        };
        while (source.next()) {
            for (qsizetype i = 0; i < table.columns.size(); ++i)
                values.append(carried(source.value(int(i)), table.columns.at(i).kind));
            if (++rows == batch && !flush())
                return fail(to.lastError());
        }
        if (source.lastError().isValid())
            return fail(from.errorOf(source.lastError()));
        if (!flush())
            return fail(to.lastError());
    }
    return true;
}

// --- The whole move -------------------------------------------------------------

// One side of a move, opened for it: a database file, held against every copy
// of the program and with its header restored, or a server's database, where
// no copy of the program may be connected either.
class Side {
public:
    Side(QString location, bool target) : m_location(std::move(location)), m_target(target) {}
    ~Side() { close(false); }
    Side(const Side&) = delete;
    Side& operator=(const Side&) = delete;

    Connection cn;

    std::optional<Error> open() {
        if (isServerLocation(m_location))
            return openServer();
        return openFile();
    }

    // Closes the connection; a file is marked again, and one made for a
    // move that failed is removed.
    void close(bool keep) {
        cn.close();
        if (!m_lock.isHeld())
            return;
        if (m_created && !keep) {
            QFile::remove(m_location);
            QFile::remove(m_location + QStringLiteral("-journal"));
        } else {
            writeSignature(m_location, 1);
        }
        m_lock.release();
    }

    // How messages name it: the file's path, or the server's database (never
    // the URI, which may hold a password).
    QString name() const { return cn.isServer() ? cn.serverName() : m_location; }

private:
    std::optional<Error> openFile() {
        const QString which =
            m_target ? QStringLiteral("The target ") : QStringLiteral("The source ");
        if (QFileInfo(m_location).isDir())
            return Error{errnum::PathFileAccess,
                         which + QStringLiteral("is a folder: ") + m_location};
        if (!QFileInfo::exists(m_location)) {
            if (!m_target)
                return Error{errnum::FileNotFound, QStringLiteral("File not found: ") + m_location};
            Error error;
            if (!createDatabaseFile(m_location, &error))
                return error;
            m_created = true;
        }
        // No copy of the program may work on the file meanwhile: what it
        // wrote to the source after the copy, or to the target before the
        // commit, would be lost.
        if (!m_lock.acquireExclusive(m_location)) {
            const bool writable = QFileInfo(m_location).isWritable();
            if (m_created)
                QFile::remove(m_location);
            m_created = false;
            return Error{errnum::PermissionDenied,
                         writable ? m_location + QStringLiteral(" is in use by a copy of the "
                                                                "program; close every copy first.")
                                  : QStringLiteral("Permission denied: ") + m_location};
        }
        if (writeSignature(m_location, 2) == SignatureResult::Failed)
            return Error{errnum::PermissionDenied,
                         QStringLiteral("Permission denied: ") + m_location};
        if (!cn.open(m_location))
            return cn.lastError();
        return std::nullopt;
    }

    std::optional<Error> openServer() {
        // The program's tables are made in a target database that has none
        // yet; a source without them is refused, and left as it was.
        cn.setMakesServerTables(m_target);
        if (!cn.open(m_location))
            return cn.lastError();
        const std::optional<int> others = servermaintenance::otherCopies(cn);
        if (!others)
            return cn.lastError();
        if (*others > 0)
            return Error{errnum::PermissionDenied,
                         cn.serverName() + QStringLiteral(" is in use by ") +
                             QString::number(*others) +
                             QStringLiteral(" copy(ies) of the program; close every copy first.")};
        // A copy that connects from now on writes nothing until the move is
        // over (its writes wait, then fail as for a database in use): what
        // it wrote to the source after the copy was taken would be lost, and
        // rows of its own in the target would stand beside the copied ones.
        // The move's own writes pass (the hold is this session's), and the
        // hold ends with the session.
        const QStringList hold = cn.dialect().holdWriters();
        if (!hold.isEmpty() && !cn.execute(hold.constFirst()))
            return cn.lastError();
        return std::nullopt;
    }

    QString m_location;
    bool m_target;
    bool m_created = false;
    DatabaseUseLock m_lock;
};

bool holdsRows(const Figures& figures) {
    for (const TableFigures& table : figures)
        if (table.rows > 0)
            return true;
    return false;
}

// The same place, as far as the names tell.
bool samePlace(const QString& a, const QString& b) {
    if (isServerLocation(a) || isServerLocation(b))
        return a == b;
    return QFileInfo(a).absoluteFilePath() == QFileInfo(b).absoluteFilePath() ||
           (QFileInfo::exists(a) &&
            QFileInfo(a).canonicalFilePath() == QFileInfo(b).canonicalFilePath());
}

// Writes every row of `source` (reading from one snapshot) into the opened,
// empty target in one transaction, committed when the figures agree.
Result copyInto(Connection& source, Side& target, const ProgressFunction& progress) {
    Result result;
    const auto failed = [&result](const Error& error) {
        result.ok = false;
        result.error = error;
        return result;
    };
    // One transaction, which holds the writers of every copy off until it
    // ends.
    Statements statements;
    Transaction transaction(target.cn);
    if (!transaction.isActive())
        return failed(target.cn.lastError());

    const std::optional<Figures> before = figuresOf(target.cn);
    if (!before)
        return failed(target.cn.lastError());
    if (holdsRows(*before)) {
        QStringList held;
        for (const TableFigures& table : *before)
            if (table.rows > 0)
                held.append(table.table + u' ' + QString::number(table.rows));
        return failed({errnum::Unspecified, QStringLiteral("The target holds rows already (") +
                                                held.join(QStringLiteral(", ")) +
                                                QStringLiteral("); it must be empty: ") +
                                                target.name()});
    }

    Error error;
    if (!copyRows(source, target.cn, progress, statements, &error))
        return failed(error);

    const std::optional<Figures> sourceFigures = figuresOf(source);
    if (!sourceFigures)
        return failed(source.lastError());
    const std::optional<Figures> targetFigures = figuresOf(target.cn);
    if (!targetFigures)
        return failed(target.cn.lastError());
    result.source = *sourceFigures;
    result.target = *targetFigures;
    if (const QStringList differ = differences(*sourceFigures, *targetFigures); !differ.isEmpty())
        return failed({errnum::Unspecified, QStringLiteral("The copy does not agree with the "
                                                           "source, so nothing was kept: ") +
                                                differ.join(QStringLiteral("; ")) + u'.'});
    if (!transaction.commit())
        return failed(target.cn.lastError());
    statements.clear();
    for (const TableFigures& table : result.target)
        result.rows += table.rows;
    target.close(true);
    result.ok = true;
    return result;
}

} // namespace

Result migrate(const QString& from, const QString& to, const ProgressFunction& progress) {
    if (samePlace(from, to)) {
        Result result;
        result.error = {errnum::Unspecified,
                        QStringLiteral("The source and the target are the same database.")};
        return result;
    }
    Side source(from, false);
    if (const std::optional<Error> error = source.open())
        return {false, *error, {}, {}, 0};
    Side target(to, true);
    if (const std::optional<Error> error = target.open())
        return {false, *error, {}, {}, 0};
    // The source is read from one snapshot.
    if (!source.cn.execute(source.cn.dialect().beginSnapshot()))
        return {false, source.cn.lastError(), {}, {}, 0};
    return copyInto(source.cn, target, progress);
}

Result copyToNewFile(Connection& from, const QString& path, const ProgressFunction& progress) {
    if (QFileInfo::exists(path))
        return {false,
                {errnum::Unspecified, QStringLiteral("The file exists already: ") + path},
                {},
                {},
                0};
    Side target(path, true);
    if (const std::optional<Error> error = target.open())
        return {false, *error, {}, {}, 0};
    return copyInto(from, target, progress);
}

} // namespace quillory::migration
