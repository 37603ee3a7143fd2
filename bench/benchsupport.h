#pragma once

// What every benchmark subject shares: the options, the printed figures, the
// prompt that answers boxes nobody should see, and the window under test.

#include "data/file/compact.h"
#include "errors/prompt.h"

#include <QElapsedTimer>
#include <QString>
#include <QStringList>

#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace quillory {
class Database;
class frmMain;
} // namespace quillory

namespace bench {

struct Options {
    QString dir;    // program directory; empty: a fresh temporary one
    QString server; // a database server's URI for the server run; empty: none
    qint64 customers = 100000;
    qint64 perCustomer = 10;
    int views = 20;
    bool keep = false; // keep a temporary directory after the run
    QString only;      // one subject alone; empty: all of them

    bool runs(const char* subject) const { return only.isEmpty() || only == subject; }
};

void usage();
std::optional<Options> parseOptions(const QStringList& args);

// Each figure is one line "name: value unit" on stdout.
// Qt's own messages (such as "qt.qpa.fonts: ...") go to stderr instead, each
// line marked "# ", so that none of them passes for a figure.
void separateQtMessages();
void figure(const char* name, double value, const char* unit, int decimals = 1);
// What goes before every figure's name from now on ("server_" for the run on
// a database server; empty for the file's).
void setFigurePrefix(const std::string& prefix);
// Every figure printed so far, by its whole name, for the closing comparison.
const std::map<std::string, double>& printedFigures();
void count(const char* name, qint64 value, const char* unit);
double msSince(const QElapsedTimer& timer);
double mib(qint64 bytes);
qint64 currentMemoryBytes();
qint64 peakMemoryBytes();
double median(std::vector<double> values);

// Answers every box without showing it, and counts them: none is expected
// while the benchmark runs.
class CountingPrompt : public quillory::Prompt {
public:
    Answer message(const QString& text, Buttons buttons, Icon, const QString& title) override;
    std::optional<QString> input(const QString& prompt, const QString& title, const QString&,
                                 bool) override;
    std::optional<QString> openFile(const QString& title, const QString& filters) override;
    int boxes() const { return m_boxes; }

private:
    void note(const QString& title, const QString& text);
    int m_boxes = 0;
};

// Times a compaction's steps one after the other: each is printed as
// compaction_step_<name> when the next begins, the last one by finish().
class CompactionSteps {
public:
    void operator()(quillory::compaction::Step next);
    void finish();

private:
    QElapsedTimer m_timer;
    const char* m_current = nullptr;
};

// Lets the window handle what it left for the event loop (layout, painting).
void settle();

// The first field of a query's first row; -1 when there is none.
qint64 scalar(quillory::Database& db, const QString& sql);

// The id at the end of a list entry ("Smith-Jones-17" is 17).
QString entryId(const QString& entry);

// What a subject works with: the options, the window after its load
// sequence, and the count of failed checks, which makes the run fail.
struct Context {
    const Options& options;
    quillory::Database& db;
    quillory::frmMain& window;
    int failures = 0;
};

// Marks the timed action that follows, from just before its timer starts to
// just after it is read: `name` is its figure's name without "_median", and
// `customerId` the customer whose rows it writes (-1 for one that only
// reads). The server run records the statements in between and runs them
// again bare; elsewhere nothing happens.
void beginAction(const char* name, qint64 customerId = -1);
void endAction();
struct ActionRecorder {
    std::function<void(const char*, qint64)> begin;
    std::function<void()> end;
};
void setActionRecorder(ActionRecorder recorder);

// Opens the main window on the program directory set (which opens its
// database), runs its load sequence and times the subjects; with
// `everySubject` false the reports and the compaction are left out. Returns the
// count of failed checks, or -1 when the window could not be opened.
int timeWindow(const Options& options, CountingPrompt& prompt, bool everySubject);

// The subjects, each in a file of its own, run in this order by timeWindow().
void benchCustomers(Context& context);
// Answers the confirmations of Generate Invoice itself; other boxes go to `prompt`.
void benchProjects(Context& context, CountingPrompt& prompt);
void benchInvoices(Context& context);
void benchReports(Context& context);
void benchExports(Context& context);
void benchCompaction(Context& context);

} // namespace bench
