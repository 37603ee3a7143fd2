// The kill test. Runs the driver (the program's main window worked by a random
// user, quillory-killdriver) on one database again and again, and kills it
// with SIGKILL at a random moment each time: during start-up, inside an
// action, between actions, or while it closes. After each kill it checks that
// - the real program (quillory, offscreen) starts again on what was left,
//   loads without a box and closes cleanly;
// - PRAGMA integrity_check says ok;
// - every row is whole (see killtest::halfWritten);
// - everything the driver was told was done is there as it was told, and no
//   row changed but those the action under way at the kill could change.
// The next trial goes on from the same database.
//
//   quillory-killtest [--trials N] [--seed S] [--dir DIR]
//
// It prints its figures as "name: value" lines on stdout (lost_committed and
// half_written among them), the reason for each failure on stderr, and ends
// with status 1 when anything was lost, half written or did not start again.
#include "core/environment.h"
#include "data/file/schema.h"
#include "data/file/signature.h"
#include "errors/prompt.h"
#include "killrows.h"
#include "realprogram.h"
#include "testsupport.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QSqlQuery>
#include <QTemporaryDir>

#include <csignal>
#include <cstdio>
#include <map>
#include <memory>
#include <random>

using namespace quillory;
using killtest::kStartTimeout;
using killtest::RealProgram;
using killtest::Snapshot;
using killtest::startsAgain;

namespace {

void note(const QString& text) {
    std::fprintf(stderr, "%s\n", qPrintable(text));
}

// The parent shows no boxes: a box its own check raises is told on stderr.
class TellingPrompt : public Prompt {
public:
    Answer message(const QString& text, Buttons, Icon, const QString& title) override {
        note(QStringLiteral("box %1: %2").arg(title, text));
        return Ok;
    }
    std::optional<QString> input(const QString&, const QString&, const QString&, bool) override {
        return std::nullopt;
    }
    std::optional<QString> openFile(const QString&, const QString&) override {
        return std::nullopt;
    }
};

// An action the driver began; what it may have changed when it was not told
// done.
struct Action {
    QString kind;
    QString id;
};

// What the driver told, line by line.
class Told {
public:
    explicit Told(Snapshot expected) : m_expected(std::move(expected)) {}

    void line(const QString& text) {
        const QString word = text.section(u' ', 0, 0);
        if (word == u"begin") {
            m_underWay = Action{text.section(u' ', 1, 1), text.section(u' ', 2, 2)};
            m_rows.clear();
            m_gone.clear();
            ++begun;
        } else if (word == u"row") {
            m_rows.insert(text.section(u' ', 1, 1), text.section(u' ', 2));
        } else if (word == u"gone") {
            m_gone.append(text.section(u' ', 1, 1));
        } else if (word == u"done" && m_underWay) {
            for (const QString& customer : m_gone)
                removeCustomer(customer);
            for (auto it = m_rows.cbegin(); it != m_rows.cend(); ++it)
                m_expected.insert(it.key(), it.value());
            m_underWay.reset();
            ++done;
        } else if (word == u"refused" && m_underWay) {
            // Nothing is known of what it wrote: treated as under way.
            m_unsure.append(*m_underWay);
            m_underWay.reset();
            ++refused;
        } else if (word == u"ready") {
            ready = true;
        } else if (word == u"closed") {
            closed = true;
        }
    }

    const Snapshot& expected() const { return m_expected; }
    const std::optional<Action>& underWay() const { return m_underWay; }

    // The actions whose writes are unknown: the one under way, and refused ones.
    QList<Action> unsure() const {
        QList<Action> actions = m_unsure;
        if (m_underWay)
            actions.append(*m_underWay);
        return actions;
    }

    int begun = 0;
    int done = 0;
    int refused = 0;
    bool ready = false;
    bool closed = false;

private:
    void removeCustomer(const QString& id) {
        for (auto it = m_expected.begin(); it != m_expected.end();) {
            const bool ofCustomer =
                it.key() == killtest::rowKey(QStringLiteral("tblcustomer"), id) ||
                (!it.key().startsWith(QStringLiteral("tblcustomer:")) &&
                 killtest::rowObject(it.value()).value("customerid").toString() == id);
            it = ofCustomer ? m_expected.erase(it) : std::next(it);
        }
    }

    Snapshot m_expected;
    std::optional<Action> m_underWay;
    QList<Action> m_unsure;
    QMap<QString, QString> m_rows;
    QStringList m_gone;
};

// Whether an action that may or may not have been written could change this
// row of `before`; and the new rows it could add, per table.
bool mayChange(const QList<Action>& actions, const QString& key, const Snapshot& before) {
    const QString table = key.section(u':', 0, 0);
    const QString id = key.section(u':', 1);
    const QString customer = killtest::rowObject(before.value(key)).value("customerid").toString();
    for (const Action& a : actions) {
        if ((a.kind == u"edit-customer" && table == u"tblcustomer" && id == a.id) ||
            (a.kind == u"delete-customer" &&
             (table == u"tblcustomer" ? id == a.id : customer == a.id)) ||
            ((a.kind == u"edit-project" || a.kind == u"generate") && table == u"tblservices" &&
             id == a.id) ||
            (a.kind == u"payment" && table == u"tblinvoice" && id == a.id))
            return true;
    }
    return false;
}

int newRowsAllowed(const QList<Action>& actions, const QString& table) {
    int allowed = 0;
    for (const Action& a : actions) {
        if ((a.kind == u"add-customer" && table == u"tblcustomer") ||
            (a.kind == u"add-project" && table == u"tblservices") ||
            (a.kind == u"generate" && table == u"tblinvoice"))
            ++allowed;
    }
    return allowed;
}

// The database as the check reads it, the header put back for the reading
// and hidden again after it when it was hidden.
struct Reading {
    QStringList integrity;
    std::optional<Snapshot> rows;
};

Reading readDatabase(const QString& path) {
    Reading reading;
    const bool wasMarked = writeSignature(path, 2) == SignatureResult::Written;
    {
        Connection cn;
        if (cn.open(path)) {
            cn.forEachRow(QStringLiteral("PRAGMA integrity_check"), {}, [&](const QSqlQuery& row) {
                reading.integrity << row.value(0).toString();
            });
            reading.rows = killtest::snapshot(cn);
        } else {
            reading.integrity << cn.lastError().description;
        }
    }
    if (wasMarked)
        writeSignature(path, 1);
    return reading;
}

struct Figures {
    std::map<QString, qint64> values;
    qint64& operator[](const char* name) { return values[QString::fromLatin1(name)]; }
};

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QStringList args = app.arguments();
    int trials = 50;
    quint64 seed = quint64(QDateTime::currentMSecsSinceEpoch());
    QString keep;
    for (qsizetype i = 1; i + 1 < args.size(); i += 2) {
        if (args.at(i) == u"--trials")
            trials = args.at(i + 1).toInt();
        else if (args.at(i) == u"--seed")
            seed = args.at(i + 1).toULongLong();
        else if (args.at(i) == u"--dir")
            keep = args.at(i + 1);
    }
    if (args.size() % 2 == 0 || trials <= 0) {
        note(QStringLiteral("usage: quillory-killtest [--trials N] [--seed S] [--dir DIR]"));
        return 2;
    }
    const QString bin = QCoreApplication::applicationDirPath();
    const QString driver = bin + QStringLiteral("/quillory-killdriver");
    QTemporaryDir temporary;
    const QString dir = keep.isEmpty() ? temporary.path() : keep;
    QDir().mkpath(dir);
    const QString db = dir + QStringLiteral("/records.mdb");
    if (QFile::exists(db) || !createDatabaseFile(db) ||
        !QFile::copy(bin + QStringLiteral("/quillory"), dir + QStringLiteral("/quillory"))) {
        note(QStringLiteral("cannot set up the program directory %1 (it must hold no records.mdb)")
                 .arg(dir));
        return 2;
    }
    QFile::setPermissions(dir + QStringLiteral("/quillory"),
                          QFile::permissions(bin + QStringLiteral("/quillory")));
    environment::setProgramDirectory(dir);
    TellingPrompt prompt;
    Prompt::install(&prompt);
    std::printf("# seed %llu, program directory %s\n", static_cast<unsigned long long>(seed),
                qPrintable(dir));
    std::fflush(stdout);

    std::mt19937_64 random(seed);
    const auto uniform = [&random](int low, int high) {
        return std::uniform_int_distribution<int>(low, high)(random);
    };
    Figures figures;
    for (const char* name : {"kill_trials", "lost_committed", "half_written"})
        figures[name] = 0;
    Snapshot baseline;
    QSet<QString> knownProblems;
    bool failed = false;

    for (int trial = 1; trial <= trials; ++trial) {
        // When to kill: at a moment from the start (start-up included), or a
        // moment into the k-th action. Now and then the driver is given only
        // a few actions, so that the kill may come while it closes, or after.
        const bool fromStart = uniform(0, 99) < 15;
        const int afterBegins = fromStart ? 0 : uniform(1, 6);
        const int delay = fromStart ? uniform(0, 400) : uniform(0, 60);
        const int actions = uniform(0, 99) < 8 ? uniform(0, 3) : 100000;

        // Now and then a second copy of the program runs beside it, idle; it
        // outlives the kill and, closing last, marks the header over what the
        // kill left.
        std::unique_ptr<RealProgram> bystander;
        if (uniform(0, 99) < 20) {
            bystander = std::make_unique<RealProgram>(dir);
            if (const QString why = bystander->waitUntilStarted(1); !why.isEmpty()) {
                ++figures["restart_failures"];
                note(QStringLiteral("trial %1: the second copy did not start: %2")
                         .arg(trial)
                         .arg(why));
                bystander.reset();
            }
        }

        QProcess process;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        process.setProcessEnvironment(environment);
        process.start(driver,
                      {dir, QString::number(random() & 0x7fffffff), QString::number(actions)});
        if (!process.waitForStarted(kStartTimeout)) {
            note(QStringLiteral("trial %1: the driver did not start").arg(trial));
            return 2;
        }
        Told told(baseline);
        QByteArray pending;
        const auto readLines = [&] {
            pending += process.readAllStandardOutput();
            qsizetype end;
            while ((end = pending.indexOf('\n')) >= 0) {
                told.line(QString::fromUtf8(pending.first(end)));
                pending.remove(0, end + 1);
            }
        };
        QElapsedTimer clock;
        clock.start();
        qint64 deadline = fromStart ? delay : -1;
        bool killed = false;
        while (process.state() == QProcess::Running) {
            if (deadline >= 0 && clock.elapsed() >= deadline) {
                process.kill();
                killed = true;
                break;
            }
            if (clock.elapsed() > 10 * kStartTimeout) {
                note(QStringLiteral("trial %1: the driver hangs").arg(trial));
                process.kill();
                killed = true;
                failed = true;
                break;
            }
            process.waitForReadyRead(
                deadline >= 0 ? int(std::max<qint64>(1, deadline - clock.elapsed())) : 1000);
            const int begunBefore = told.begun;
            readLines();
            if (deadline < 0 && begunBefore < afterBegins && told.begun >= afterBegins)
                deadline = clock.elapsed() + delay;
        }
        process.waitForFinished(kStartTimeout);
        // What it told before it died counts; half a line does not.
        readLines();
        const QString errors = QString::fromLocal8Bit(process.readAllStandardError());
        ++figures["kill_trials"];
        if (!killed)
            ++figures["ended_before_kill"];
        if (!told.ready)
            ++figures["killed_before_ready"];
        if (killed && told.underWay())
            ++figures["kills_in_action"];
        figures["reported_actions"] += told.done;
        figures["refused_actions"] += told.refused;
        const qint64 unexpected = errors.count(QStringLiteral("unexpected box"));
        figures["unexpected_boxes"] += unexpected;
        // Ending by itself, it must end well (a sanitizer report ends it with
        // a failure).
        const bool driverFailed =
            !killed && (process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0);
        if (driverFailed)
            ++figures["driver_failures"];
        if (unexpected > 0 || driverFailed)
            note(QStringLiteral("trial %1: driver said: %2").arg(trial).arg(errors.trimmed()));
        if (test::header(db) == signature::kPlain)
            ++figures["header_plain_after_kill"];
        if (QFile::exists(db + QStringLiteral("-journal")))
            ++figures["journal_after_kill"];
        if (bystander) {
            ++figures["trials_with_second_copy"];
            if (const QString why = bystander->closeCleanly(); !why.isEmpty()) {
                ++figures["restart_failures"];
                note(QStringLiteral("trial %1: the second copy did not close cleanly: %2")
                         .arg(trial)
                         .arg(why));
            }
            bystander.reset();
        }

        if (const QString why = startsAgain(dir); !why.isEmpty()) {
            ++figures["restart_failures"];
            note(QStringLiteral("trial %1: the program did not start again: %2")
                     .arg(trial)
                     .arg(why));
        }

        const Reading reading = readDatabase(db);
        if (reading.integrity != QStringList{QStringLiteral("ok")}) {
            ++figures["integrity_failures"];
            note(QStringLiteral("trial %1: integrity check: %2")
                     .arg(trial)
                     .arg(reading.integrity.join(QStringLiteral("; "))));
        }
        if (!reading.rows) {
            ++figures["half_written"];
            note(QStringLiteral("trial %1: the rows cannot be read").arg(trial));
            failed = true;
            break;
        }
        const Snapshot& now = *reading.rows;
        // A row left half written stays so; it is counted in the trial that
        // left it.
        const QStringList problems = killtest::halfWritten(now);
        for (const QString& problem : problems) {
            if (knownProblems.contains(problem))
                continue;
            ++figures["half_written"];
            note(QStringLiteral("trial %1: half written: %2").arg(trial).arg(problem));
        }
        knownProblems = QSet<QString>(problems.cbegin(), problems.cend());
        const QList<Action> unsure = told.unsure();
        const Snapshot& expected = told.expected();
        bool underWayWritten = false;
        for (auto it = expected.cbegin(); it != expected.cend(); ++it) {
            const bool same = now.value(it.key()) == it.value();
            if (!same && mayChange(unsure, it.key(), expected)) {
                underWayWritten = true;
            } else if (!same) {
                ++figures["lost_committed"];
                note(QStringLiteral("trial %1: %2 was told as %3, is %4")
                         .arg(trial)
                         .arg(it.key(), it.value(),
                              now.contains(it.key()) ? now.value(it.key())
                                                     : QStringLiteral("gone")));
            }
        }
        for (const QString& table : killtest::kTables) {
            int added = 0;
            for (auto it = now.cbegin(); it != now.cend(); ++it)
                if (it.key().startsWith(table + u':') && !expected.contains(it.key()))
                    ++added;
            if (added > 0)
                underWayWritten = true;
            if (added > newRowsAllowed(unsure, table)) {
                ++figures["half_written"];
                note(QStringLiteral("trial %1: %2 rows of %3 that no action wrote")
                         .arg(trial)
                         .arg(added)
                         .arg(table));
            }
        }
        if (killed && told.underWay() && underWayWritten)
            ++figures["kills_in_action_written"];
        baseline = now;
        if (trial % 50 == 0)
            note(QStringLiteral("# %1 trials, %2 rows").arg(trial).arg(baseline.size()));
    }

    figures["rows_at_end"] = baseline.size();
    for (const auto& [name, value] : figures.values)
        std::printf("%s: %lld\n", qPrintable(name), static_cast<long long>(value));
    Prompt::install(nullptr);
    const bool lost = figures["lost_committed"] > 0 || figures["half_written"] > 0 ||
                      figures["integrity_failures"] > 0 || figures["restart_failures"] > 0 ||
                      figures["unexpected_boxes"] > 0 || figures["driver_failures"] > 0;
    return failed || lost ? 1 : 0;
}
