#pragma once

// What every benchmark subject shares: the options, the printed figures, the
// prompt that answers boxes nobody should see, and the window under test.

#include "errors/prompt.h"

#include <QElapsedTimer>
#include <QString>
#include <QStringList>

#include <optional>
#include <vector>

namespace quillory {
class Database;
class frmMain;
} // namespace quillory

namespace bench {

struct Options {
    QString dir; // program directory; empty: a fresh temporary one
    qint64 customers = 100000;
    qint64 perCustomer = 10;
    int views = 20;
    bool keep = false; // keep a temporary directory after the run
};

void usage();
std::optional<Options> parseOptions(const QStringList& args);

// Each figure is one line "name: value unit" on stdout.
// Qt's own messages (such as "qt.qpa.fonts: ...") go to stderr instead, each
// line marked "# ", so that none of them passes for a figure.
void separateQtMessages();
void figure(const char* name, double value, const char* unit, int decimals = 1);
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

// The subjects, each in a file of its own, run in this order by main().
void benchCustomers(Context& context);
// Answers the confirmations of Generate Invoice itself; other boxes go to `prompt`.
void benchProjects(Context& context, CountingPrompt& prompt);
void benchInvoices(Context& context);
void benchReports(Context& context);
void benchExports(Context& context);
void benchCompaction(Context& context);

} // namespace bench
