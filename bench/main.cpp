// quillory-bench: fills a program directory with a large database, then times
// the main window's start-up and each subject in turn (one file per subject).
//
// Usage: quillory-bench [--db DIR] [--customers N] [--per-customer K]
//                       [--views V] [--keep] [--only SUBJECT] [--server URI]
//
// Every figure is printed on a line of its own as "name: value unit".

#include "app/frmMain.h"
#include "benchsupport.h"
#include "core/environment.h"
#include "data/database.h"
#include "data/file/schema.h"
#include "filldb.h"
#include "server.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QListWidget>
#include <QTemporaryDir>

#include <cstdio>

using namespace bench;
using quillory::Prompt;

namespace bench {

int timeWindow(const Options& options, CountingPrompt& prompt, bool everySubject) {
    int failures = 0;
    // The window. Creating it opens the database.
    quillory::Database db;
    QElapsedTimer timer;
    beginAction("startup_until_shown");
    timer.start();
    quillory::frmMain window(db);
    if (!window.initialized()) {
        endAction();
        std::fprintf(stderr, "quillory-bench: the window could not open the database\n");
        return -1;
    }
    const double openMs = msSince(timer);
    figure("open_database", openMs, "ms");

    auto* list = window.findChild<QListWidget*>(QStringLiteral("lstCustomer"));
    if (!list) {
        endAction();
        std::fprintf(stderr, "quillory-bench: the window lacks its customer list\n");
        return -1;
    }
    timer.restart();
    const bool loaded = window.Form_Load();
    const double loadMs = msSince(timer);
    if (!loaded) {
        endAction();
        std::fprintf(stderr, "quillory-bench: the load sequence refused the login\n");
        return -1;
    }
    timer.restart();
    settle();
    // What Form_Load left to the event loop: the list's item layout and the
    // first paint. The list is on screen after both.
    const double loadSettleMs = msSince(timer);
    endAction();
    figure("load_sequence", loadMs, "ms");
    figure("load_settle", loadSettleMs, "ms");
    figure("load_until_shown", loadMs + loadSettleMs, "ms");
    figure("startup_until_shown", openMs + loadMs + loadSettleMs, "ms");
    count("list_entries", list->count(), "rows");

    Context context{options, db, window};
    if (options.runs("customers"))
        benchCustomers(context);
    if (options.runs("projects"))
        benchProjects(context, prompt);
    if (options.runs("invoices"))
        benchInvoices(context);
    if (everySubject) {
        if (options.runs("reports"))
            benchReports(context);
        if (options.runs("exports"))
            benchExports(context);
        if (options.runs("compaction"))
            benchCompaction(context);
    }
    failures += context.failures;
    figure("memory_after_load", mib(currentMemoryBytes()), "MiB");

    // The rows, counted after the timings so as not to warm the connection's
    // cache before them.
    count("customers", scalar(db, QStringLiteral("SELECT count(*) FROM tblcustomer")), "rows");
    count("projects", scalar(db, QStringLiteral("SELECT count(*) FROM tblservices")), "rows");
    count("invoices", scalar(db, QStringLiteral("SELECT count(*) FROM tblinvoice")), "rows");
    window.close();
    return failures;
}

} // namespace bench

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    separateQtMessages();
    CountingPrompt prompt;
    Prompt::install(&prompt);

    QApplication app(argc, argv);
    const std::optional<Options> parsed = parseOptions(QCoreApplication::arguments());
    if (!parsed) {
        usage();
        return 2;
    }
    const Options options = *parsed;

    // The program directory.
    std::optional<QTemporaryDir> temporary;
    QString dir = options.dir;
    if (dir.isEmpty()) {
        temporary.emplace(QDir::temp().filePath(QStringLiteral("quillory-bench-XXXXXX")));
        if (!temporary->isValid()) {
            std::fprintf(stderr, "quillory-bench: cannot make a temporary directory\n");
            return 1;
        }
        temporary->setAutoRemove(!options.keep);
        dir = temporary->path();
    } else if (!QDir().mkpath(dir)) {
        std::fprintf(stderr, "quillory-bench: cannot make %s\n", qPrintable(dir));
        return 1;
    }
    dir = QFileInfo(dir).absoluteFilePath();
    quillory::environment::setProgramDirectory(dir);
    std::printf("program_directory: %s\n", qPrintable(dir));

    // The database.
    const QString path = quillory::environment::defaultDatabasePath();
    if (QFile::exists(path)) {
        std::printf("note: reusing %s as it is\n", qPrintable(path));
    } else {
        quillory::Error error;
        if (!quillory::createDatabaseFile(path, &error)) {
            std::fprintf(stderr, "quillory-bench: %s\n", qPrintable(error.description));
            return 1;
        }
        FillCounts filled;
        QElapsedTimer timer;
        timer.start();
        const bool ok = fillDatabase(path, options, filled);
        const double seconds = timer.nsecsElapsed() / 1e9;
        if (!ok) {
            std::fprintf(stderr, "quillory-bench: filling the database failed\n");
            return 1;
        }
        figure("fill_database", seconds, "s", 2);
    }
    std::fflush(stdout);

    // The server's database, filled from the file before either is timed,
    // so that both runs start from the same rows.
    std::optional<ServerRun> server;
    if (!options.server.isEmpty()) {
        server.emplace(options);
        if (!server->fill(path))
            return 1;
    }

    int failures = timeWindow(options, prompt, true);
    if (failures < 0)
        return 1;
    if (server) {
        const int serverFailures = server->run(dir, prompt);
        if (serverFailures < 0)
            return 1;
        failures += serverFailures;
        printComparison();
    }
    figure("database_size", mib(QFileInfo(path).size()), "MiB");
    figure("peak_memory", mib(peakMemoryBytes()), "MiB");
    count("boxes_shown", prompt.boxes(), "boxes");
    if (prompt.boxes() > 0)
        std::printf("warning: %d box(es) appeared; none was expected\n", prompt.boxes());
    Prompt::install(nullptr);
    if (temporary && options.keep)
        std::printf("note: kept %s\n", qPrintable(dir));
    return failures == 0 && prompt.boxes() == 0 ? 0 : 1;
}
