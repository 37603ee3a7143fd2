#include "benchsupport.h"

#include "data/database.h"

#include <QCoreApplication>
#include <QFile>

#include <sys/resource.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>

namespace bench {

using quillory::Prompt;

void usage() {
    std::fprintf(stderr,
                 "usage: quillory-bench [--db DIR] [--customers N] [--per-customer K]\n"
                 "                      [--views V] [--keep] [--only SUBJECT] [--server URI]\n"
                 "  --db DIR          program directory to use; an existing records.mdb in it\n"
                 "                    is reused as it is, otherwise one is made and filled\n"
                 "  --customers N     customers to make (default 100000)\n"
                 "  --per-customer K  projects, and so invoices, per customer (default 10)\n"
                 "  --views V         customers to view one after the other (default 20)\n"
                 "  --keep            keep the temporary program directory\n"
                 "  --only SUBJECT    time one subject alone: customers, projects, invoices,\n"
                 "                    reports, exports or compaction\n"
                 "  --server URI      time the program on this server database too (filled\n"
                 "                    from the file when it holds no rows); see\n"
                 "                    scripts/bench-server.sh\n");
}

std::optional<Options> parseOptions(const QStringList& args) {
    Options options;
    for (int i = 1; i < args.size(); ++i) {
        const QString& arg = args.at(i);
        const auto value = [&]() -> std::optional<QString> {
            if (i + 1 >= args.size())
                return std::nullopt;
            return args.at(++i);
        };
        const auto number = [&](qint64 minimum) -> std::optional<qint64> {
            const std::optional<QString> text = value();
            if (!text)
                return std::nullopt;
            bool ok = false;
            const qint64 n = text->toLongLong(&ok);
            if (!ok || n < minimum)
                return std::nullopt;
            return n;
        };
        if (arg == QLatin1String("--db")) {
            const std::optional<QString> dir = value();
            if (!dir)
                return std::nullopt;
            options.dir = *dir;
        } else if (arg == QLatin1String("--customers")) {
            const std::optional<qint64> n = number(1);
            // Customer ids are 32-bit, as are project ids (customers * K).
            if (!n || *n > 100000000)
                return std::nullopt;
            options.customers = *n;
        } else if (arg == QLatin1String("--per-customer")) {
            const std::optional<qint64> n = number(0);
            if (!n || *n > 1000)
                return std::nullopt;
            options.perCustomer = *n;
        } else if (arg == QLatin1String("--views")) {
            const std::optional<qint64> n = number(1);
            if (!n || *n > 100000)
                return std::nullopt;
            options.views = static_cast<int>(*n);
        } else if (arg == QLatin1String("--server")) {
            const std::optional<QString> uri = value();
            if (!uri)
                return std::nullopt;
            options.server = *uri;
        } else if (arg == QLatin1String("--keep")) {
            options.keep = true;
        } else if (arg == QLatin1String("--only")) {
            const std::optional<QString> subject = value();
            if (!subject || !QStringList{"customers", "projects", "invoices", "reports", "exports",
                                         "compaction"}
                                 .contains(*subject))
                return std::nullopt;
            options.only = *subject;
        } else {
            return std::nullopt;
        }
    }
    if (options.customers * options.perCustomer > 2000000000)
        return std::nullopt;
    return options;
}

// --- Output -------------------------------------------------------------------

namespace {
void markedQtMessage(QtMsgType type, const QMessageLogContext& context, const QString& message) {
    const QString text = qFormatLogMessage(type, context, message);
    for (const QString& line : text.split(u'\n'))
        std::fprintf(stderr, "# %s\n", qPrintable(line));
    std::fflush(stderr);
    if (type == QtFatalMsg)
        std::abort();
}
} // namespace

void separateQtMessages() {
    qInstallMessageHandler(markedQtMessage);
}

namespace {
std::string& figurePrefix() {
    static std::string prefix;
    return prefix;
}
std::map<std::string, double>& printed() {
    static std::map<std::string, double> figures;
    return figures;
}
ActionRecorder& recorder() {
    static ActionRecorder actions;
    return actions;
}
} // namespace

void figure(const char* name, double value, const char* unit, int decimals) {
    const std::string whole = figurePrefix() + name;
    std::printf("%s: %.*f %s\n", whole.c_str(), decimals, value, unit);
    std::fflush(stdout);
    printed()[whole] = value;
}

void setFigurePrefix(const std::string& prefix) {
    figurePrefix() = prefix;
}

const std::map<std::string, double>& printedFigures() {
    return printed();
}

void beginAction(const char* name, qint64 customerId) {
    if (recorder().begin)
        recorder().begin(name, customerId);
}

void endAction() {
    if (recorder().end)
        recorder().end();
}

void setActionRecorder(ActionRecorder actions) {
    recorder() = std::move(actions);
}

void count(const char* name, qint64 value, const char* unit) {
    std::printf("%s%s: %lld %s\n", figurePrefix().c_str(), name, static_cast<long long>(value),
                unit);
    std::fflush(stdout);
}

double msSince(const QElapsedTimer& timer) {
    return timer.nsecsElapsed() / 1e6;
}

double mib(qint64 bytes) {
    return bytes / (1024.0 * 1024.0);
}

// The largest resident set read so far (VmHWM can lag behind VmRSS).
namespace {
qint64 highestSeen = 0;
}

qint64 currentMemoryBytes() {
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith("VmRSS:")) {
            const qint64 bytes = line.mid(6).trimmed().split(' ').value(0).toLongLong() * 1024;
            highestSeen = std::max(highestSeen, bytes);
            return bytes;
        }
    }
    return 0;
}

// The peak resident set of the process: the larger of VmHWM and ru_maxrss
// (both in KiB on Linux; the kernel updates them lazily, so take both).
qint64 peakMemoryBytes() {
    qint64 peak = 0;
    QFile status(QStringLiteral("/proc/self/status"));
    if (status.open(QIODevice::ReadOnly)) {
        for (const QByteArray& line : status.readAll().split('\n')) {
            if (line.startsWith("VmHWM:"))
                peak = line.mid(6).trimmed().split(' ').value(0).toLongLong() * 1024;
        }
    }
    rusage usage = {};
    if (getrusage(RUSAGE_SELF, &usage) == 0)
        peak = std::max(peak, static_cast<qint64>(usage.ru_maxrss) * 1024);
    currentMemoryBytes();
    return std::max(peak, highestSeen);
}

double median(std::vector<double> values) {
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    const size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

// --- The prompt -----------------------------------------------------------------

Prompt::Answer CountingPrompt::message(const QString& text, Buttons buttons, Icon,
                                       const QString& title) {
    note(title, text);
    switch (buttons) {
    case Buttons::Ok:
    case Buttons::OkCancel:
        return Ok;
    case Buttons::YesNo:
    case Buttons::YesNoCancel:
        return Yes;
    }
    return Ok;
}

std::optional<QString> CountingPrompt::input(const QString& prompt, const QString& title,
                                             const QString&, bool) {
    note(title, prompt);
    return QString();
}

std::optional<QString> CountingPrompt::openFile(const QString& title, const QString& filters) {
    note(title, filters);
    return std::nullopt;
}

void CountingPrompt::note(const QString& title, const QString& text) {
    ++m_boxes;
    std::printf("warning: a box appeared: [%s] %s\n", qPrintable(title),
                qPrintable(QString(text).replace(QStringLiteral("\r\n"), QStringLiteral(" "))));
    std::fflush(stdout);
}

// --- Driving the window ---------------------------------------------------------

void CompactionSteps::operator()(quillory::compaction::Step next) {
    static const char* const names[quillory::compaction::kStepCount] = {"lock", "backup", "compact",
                                                                        "check"};
    finish();
    m_current = names[static_cast<int>(next)];
    m_timer.restart();
}

void CompactionSteps::finish() {
    if (m_current)
        figure((std::string("compaction_step_") + m_current).c_str(), msSince(m_timer), "ms");
    m_current = nullptr;
}

void settle() {
    for (int i = 0; i < 4; ++i)
        QCoreApplication::processEvents(QEventLoop::AllEvents);
}

qint64 scalar(quillory::Database& db, const QString& sql) {
    quillory::Recordset rs;
    if (!rs.open(sql, db.cnMain) || rs.eof())
        return -1;
    return rs.field(0).toLongLong();
}

QString entryId(const QString& entry) {
    return entry.section(u'-', -1);
}

} // namespace bench
