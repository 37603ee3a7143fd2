// The program on a database server, next to the file: the same window and
// subjects, and each timed action's statements run again through libpq alone.
#include "server.h"

#include "core/environment.h"
#include "data/connection.h"
#include "data/database.h"
#include "data/migration/migration.h"
#include "data/server/servermaintenance.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QVariant>

#include <libpq-fe.h>

#include <algorithm>
#include <cstdio>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace bench {

namespace {

// One statement as libpq takes it: "$1".."$n" for the values, each as text
// (nothing for a Null).
struct Statement {
    QByteArray sql;
    std::vector<std::optional<QByteArray>> values;
};

// The program's "?" placeholders as the server's "$n" (none stands inside a
// quoted text of the program's statements, but those are passed over).
QByteArray numbered(const QString& sql) {
    QString out;
    int n = 0;
    bool quoted = false;
    for (const QChar c : sql) {
        if (c == u'\'')
            quoted = !quoted;
        if (c == u'?' && !quoted)
            out += u'$' + QString::number(++n);
        else
            out += c;
    }
    return out.toUtf8();
}

Statement bareForm(const QString& sql, const QVariantList& params) {
    Statement statement{numbered(sql), {}};
    for (const QVariant& param : params) {
        const QVariant value = quillory::toStorable(param);
        if (value.isNull())
            statement.values.emplace_back();
        else if (value.typeId() == QMetaType::Double)
            statement.values.emplace_back(QByteArray::number(value.toDouble(), 'g', 17));
        else
            statement.values.emplace_back(value.toString().toUtf8());
    }
    return statement;
}

// A libpq connection of the benchmark's own, named apart from the program's.
class Bare {
public:
    ~Bare() { close(); }

    bool connect(const QString& uri) {
        close();
        const QByteArray dbname = uri.toUtf8();
        const char* keywords[] = {"dbname", "application_name", nullptr};
        const char* values[] = {dbname.constData(), "quillory-bench-bare", nullptr};
        m_connection = PQconnectdbParams(keywords, values, 1);
        if (PQstatus(m_connection) == CONNECTION_OK) {
            // The server's notices ("... does not exist, skipping") are not
            // figures: none goes to the output.
            PQsetNoticeProcessor(
                m_connection, [](void*, const char*) {}, nullptr);
            return true;
        }
        std::printf("warning: the bare connection failed: %s\n", PQerrorMessage(m_connection));
        return false;
    }

    void close() {
        if (m_connection)
            PQfinish(m_connection);
        m_connection = nullptr;
    }

    // Runs one statement, its rows read whole. False, with a warning, when
    // the server refused it.
    bool run(const Statement& statement) {
        PGresult* result = nullptr;
        if (statement.values.empty()) {
            result = PQexec(m_connection, statement.sql.constData());
        } else {
            std::vector<const char*> values;
            for (const std::optional<QByteArray>& value : statement.values)
                values.push_back(value ? value->constData() : nullptr);
            result = PQexecParams(m_connection, statement.sql.constData(),
                                  static_cast<int>(values.size()), nullptr, values.data(), nullptr,
                                  nullptr, 0);
        }
        const ExecStatusType status = PQresultStatus(result);
        const bool ok = status == PGRES_COMMAND_OK || status == PGRES_TUPLES_OK;
        if (!ok)
            std::printf("warning: the bare statement %s failed: %s\n", statement.sql.constData(),
                        PQresultErrorMessage(result));
        PQclear(result);
        return ok;
    }

    bool run(const char* sql) { return run(Statement{QByteArray(sql), {}}); }

    bool run(const QString& sql) { return run(Statement{sql.toUtf8(), {}}); }

private:
    PGconn* m_connection = nullptr;
};

// The rows of one customer as they were before a write action, so that the
// action can be undone and run again bare on the same rows.
bool keepCustomer(Bare& bare, qint64 id) {
    const QString n = QString::number(id);
    return bare.run("DROP TABLE IF EXISTS pg_temp.kept_c, pg_temp.kept_s, pg_temp.kept_i") &&
           bare.run(QStringLiteral("CREATE TEMP TABLE kept_c AS SELECT * FROM tblcustomer WHERE "
                                   "id=") +
                    n) &&
           bare.run(QStringLiteral("CREATE TEMP TABLE kept_s AS SELECT * FROM tblservices WHERE "
                                   "customerid=") +
                    n) &&
           bare.run(QStringLiteral("CREATE TEMP TABLE kept_i AS SELECT * FROM tblinvoice WHERE "
                                   "customerid=") +
                    n);
}

bool restoreCustomer(Bare& bare, qint64 id) {
    const QString n = QString::number(id);
    return bare.run("BEGIN") && bare.run(QStringLiteral("DELETE FROM tblcustomer WHERE id=") + n) &&
           bare.run(QStringLiteral("DELETE FROM tblservices WHERE customerid=") + n) &&
           bare.run(QStringLiteral("DELETE FROM tblinvoice WHERE customerid=") + n) &&
           bare.run("INSERT INTO tblcustomer SELECT * FROM kept_c") &&
           bare.run("INSERT INTO tblservices SELECT * FROM kept_s") &&
           bare.run("INSERT INTO tblinvoice SELECT * FROM kept_i") && bare.run("COMMIT");
}

// Records each action's statements as the program runs them, then runs them
// again bare: a write action after its customer's rows were put back as they
// were, so that it writes what the program wrote.
class Recorder {
public:
    Recorder(const QString& uri, int& failures) : m_uri(uri), m_failures(failures) {}

    bool start() {
        if (!m_bare.connect(m_uri))
            return false;
        quillory::Connection::setStatementObserver(
            [this](const QString& sql, const QVariantList& params) {
                if (m_recording)
                    m_statements.push_back(bareForm(sql, params));
            });
        setActionRecorder({[this](const char* name, qint64 customer) { begin(name, customer); },
                           [this] { end(); }});
        return true;
    }

    ~Recorder() {
        quillory::Connection::setStatementObserver({});
        setActionRecorder({});
    }

    void begin(const char* name, qint64 customer) {
        m_name = name;
        m_customer = customer;
        m_statements.clear();
        if (customer >= 0 && !keepCustomer(m_bare, customer))
            ++m_failures;
        m_recording = true;
    }

    void end() {
        m_recording = false;
        if (m_customer >= 0 && !restoreCustomer(m_bare, m_customer))
            ++m_failures;
        // Start-up begins with the connection.
        const bool startup = m_name == "startup_until_shown";
        Bare fresh;
        Bare& bare = startup ? fresh : m_bare;
        QElapsedTimer timer;
        timer.start();
        bool ok = !startup || fresh.connect(m_uri);
        for (const Statement& statement : m_statements)
            ok = ok && bare.run(statement);
        const double ms = msSince(timer);
        if (!ok)
            ++m_failures;
        m_times[m_name].push_back(ms);
        m_counts[m_name] = std::max(m_counts[m_name], m_statements.size());
    }

    void print() const {
        for (const auto& [name, times] : m_times) {
            if (times.size() == 1) {
                figure(name.c_str(), times.front(), "ms", 2);
            } else {
                figure((name + "_median").c_str(), median(times), "ms", 2);
                figure((name + "_max").c_str(), *std::max_element(times.begin(), times.end()), "ms",
                       2);
            }
            count((name + "_statements").c_str(), static_cast<qint64>(m_counts.at(name)),
                  "statements");
        }
    }

private:
    QString m_uri;
    int& m_failures;
    Bare m_bare;
    bool m_recording = false;
    std::string m_name;
    qint64 m_customer = -1;
    std::vector<Statement> m_statements;
    std::map<std::string, std::vector<double>> m_times;
    std::map<std::string, size_t> m_counts;
};

// Compact Database on the server: the backup copy into a file, the server's
// own VACUUM (ANALYZE), and the check of the rows.
void timeMaintenance(const QString& uri, int& failures) {
    namespace compaction = quillory::compaction;
    quillory::Database db;
    if (const std::optional<quillory::Error> error = db.openLocation(uri)) {
        std::printf("warning: the server database could not be opened for its maintenance: %s\n",
                    qPrintable(error->description));
        ++failures;
        return;
    }
    QElapsedTimer total;
    CompactionSteps onStep;
    total.start();
    const compaction::Result result =
        quillory::servermaintenance::compactServer(db, std::ref(onStep));
    onStep.finish();
    figure("compaction", msSince(total), "ms");
    const QString backup = quillory::servermaintenance::backupPathFor(uri);
    figure("compaction_backup_size", mib(QFileInfo(backup).size()), "MiB");
    if (result.outcome != compaction::Result::Compacted) {
        ++failures;
        std::printf("warning: the server's maintenance failed: %s\n",
                    qPrintable(result.error.description));
    }
    QFile::remove(backup);
    db.CloseDatabase();
}

} // namespace

bool ServerRun::fill(const QString& path) {
    {
        quillory::Connection cn;
        if (!cn.open(m_options.server)) {
            std::fprintf(stderr, "quillory-bench: the server database cannot be opened: %s\n",
                         qPrintable(cn.lastError().description));
            return false;
        }
        const std::optional<quillory::migration::Figures> figures =
            quillory::migration::figuresOf(cn);
        if (figures && !figures->isEmpty() && figures->front().rows > 0) {
            std::printf("note: reusing the server database as it is\n");
            return true;
        }
    }
    QElapsedTimer timer;
    timer.start();
    const quillory::migration::Result moved = quillory::migration::migrate(path, m_options.server);
    const double seconds = timer.nsecsElapsed() / 1e9;
    if (!moved.ok) {
        std::fprintf(stderr, "quillory-bench: filling the server database failed: %s\n",
                     qPrintable(moved.error.description));
        return false;
    }
    figure("server_fill", seconds, "s", 2);
    figure("server_fill_rows_per_second", moved.rows / seconds, "rows/s", 0);
    // What an administrator does after loading a database: the planner's
    // statistics, and the tables' visibility maps, made at once.
    quillory::Connection cn;
    timer.restart();
    if (!cn.open(m_options.server) || !cn.execute(QStringLiteral("VACUUM (ANALYZE)"))) {
        std::fprintf(stderr, "quillory-bench: the server database could not be analysed: %s\n",
                     qPrintable(cn.lastError().description));
        return false;
    }
    figure("server_fill_analyze", timer.nsecsElapsed() / 1e9, "s", 2);
    return true;
}

int ServerRun::run(const QString& dir, CountingPrompt& prompt) {
    // A program directory of its own, whose NetworkPath.sfe names the server.
    const QString serverDir = QDir(dir).filePath(QStringLiteral("server"));
    QFile sfe(QDir(serverDir).filePath(QStringLiteral("NetworkPath.sfe")));
    if (!QDir().mkpath(serverDir) || !sfe.open(QIODevice::WriteOnly) ||
        sfe.write((m_options.server + QStringLiteral("\r\n")).toUtf8()) < 0) {
        std::fprintf(stderr, "quillory-bench: cannot write %s\n", qPrintable(sfe.fileName()));
        return -1;
    }
    sfe.close();
    quillory::environment::setProgramDirectory(serverDir);

    int failures = 0;
    int windowFailures = 0;
    {
        Recorder recorder(m_options.server, failures);
        if (!recorder.start())
            return -1;
        setFigurePrefix("server_");
        windowFailures = timeWindow(m_options, prompt, false);
        if (windowFailures >= 0)
            timeMaintenance(m_options.server, failures);
        setFigurePrefix("server_bare_");
        recorder.print();
        setFigurePrefix("");
    }
    quillory::environment::setProgramDirectory(dir);
    if (windowFailures < 0)
        return -1;
    return failures + windowFailures;
}

void printComparison() {
    // Each action's figures; the worst of the server's must stay within one
    // frame at 60 frames a second.
    const char* const actions[] = {
        "startup_until_shown",
        "customer_view_median",
        "customer_view_max",
        "customer_save_median",
        "customer_save_max",
        "refresh",
        "project_view_median",
        "project_view_max",
        "project_filter_median",
        "project_filter_max",
        "invoice_view_median",
        "invoice_view_max",
        "invoice_generation_click_median",
        "invoice_generation_click_max",
        "payment_median",
        "payment_max",
        "write_commit_median",
    };
    const std::map<std::string, double>& printed = printedFigures();
    const auto shown = [&printed](const std::string& name) -> std::string {
        const auto found = printed.find(name);
        if (found == printed.end())
            return "-";
        char text[32];
        std::snprintf(text, sizeof text, "%.2f", found->second);
        return text;
    };
    std::printf("\n  %-34s %10s %10s %12s\n", "action (ms)", "file", "server", "server_bare");
    for (const char* action : actions) {
        const std::string name(action);
        const auto server = printed.find("server_" + name);
        const bool over =
            server != printed.end() && server->second > 16.0 && name != "write_commit_median";
        std::printf("  %-34s %10s %10s %12s%s\n", action, shown(name).c_str(),
                    shown("server_" + name).c_str(), shown("server_bare_" + name).c_str(),
                    over ? "  over 16 ms" : "");
    }
    std::fflush(stdout);
}

} // namespace bench
