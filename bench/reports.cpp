// The printed reports over the whole database: the time from the menu's call
// until the spooler has accepted the job, with the longest stall of the
// window's event loop meanwhile; then the same job in its three parts (the
// layout, with its queries and amounts; the composition of the PDF; the
// hand-over to the spooler), the pages and the file's size; and, in the same
// run, the same texts painted with QPainter::drawText onto a QPdfWriter, the
// baseline the composition is measured against.
//
// The jobs go to the default CUPS queue when there is one (`cmake --build
// build --target bench` starts a private scheduler for the run), else into a
// PDF file beside the database.
#include "reports/reports.h"
#include "app/frmMain.h"
#include "benchsupport.h"
#include "core/formats.h"
#include "data/database.h"
#include "printing/pdfcomposer.h"
#include "printing/printfonts.h"
#include "reports/reportpainter.h"
#include "reports/reportstore.h"
#include "widgets/printing.h"

#include <QDir>
#include <QFileInfo>
#include <QListWidget>
#include <QPainter>
#include <QPdfWriter>
#include <QTimer>

#include <sys/resource.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

namespace bench {

namespace {

using quillory::reports::LayoutResult;
using quillory::reports::PrintLayout;
namespace printing = quillory::printing;

using LayOut = std::function<LayoutResult(quillory::Connection&, PrintLayout&)>;

// The CPU time of the whole process so far, all threads, in milliseconds.
double cpuMs() {
    rusage usage = {};
    getrusage(RUSAGE_SELF, &usage);
    return (usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1e3 +
           (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e3;
}

std::string name(const char* report, const char* part = "") {
    return "report_" + std::string(report) + part;
}

// The longest time the main thread's event loop went without turning while
// `work` ran: a timer that wants to fire every millisecond notes each gap.
double longestStallMs(const std::function<void()>& work) {
    QElapsedTimer clock;
    double longest = 0;
    qint64 last = 0;
    QTimer tick;
    tick.setInterval(1);
    QObject::connect(&tick, &QTimer::timeout, [&] {
        const qint64 now = clock.nsecsElapsed();
        longest = std::max(longest, (now - last) / 1e6);
        last = now;
    });
    clock.start();
    tick.start();
    work();
    tick.stop();
    // The time from the last turn to the end counts too.
    return std::max(longest, (clock.nsecsElapsed() - last) / 1e6);
}

// The texts of a laid-out report painted with Qt's own PDF engine, as a bare
// program would: one QPdfWriter, QPainter::drawText for every run.
double qpdfWriterMs(const quillory::reports::PrintedDocument& document, const QString& path,
                    double* cpu) {
    QElapsedTimer timer;
    timer.start();
    const double cpuBefore = cpuMs();
    {
        QPdfWriter writer(path);
        writer.setPageSize(QPageSize(QPageSize::Letter));
        writer.setPageMargins(QMarginsF(0.25, 0.25, 0.25, 0.25), QPageLayout::Inch);
        QPainter painter(&writer);
        const double dpi = writer.resolution();
        for (int page = 0; page < document.pages.size(); ++page) {
            if (page > 0)
                writer.newPage();
            quillory::reports::paintPage(painter, document, page, dpi);
        }
    }
    *cpu = cpuMs() - cpuBefore;
    return msSince(timer);
}

struct ReportRun {
    double totalMs = 0;
    double stallMs = 0;
};

ReportRun oneReport(Context& context, const char* report, const std::function<void()>& print,
                    const LayOut& layOut, quillory::reports::PrintedDocument* keep = nullptr) {
    ReportRun run;
    QElapsedTimer timer;
    timer.start();
    const double cpuBefore = cpuMs();
    run.stallMs = longestStallMs(print);
    run.totalMs = msSince(timer);
    figure(name(report).c_str(), run.totalMs, "ms");
    // What the job cost the processors, whatever else the machine did.
    figure(name(report, "_cpu").c_str(), cpuMs() - cpuBefore, "ms");

    // The same job in its parts, one after the other on this thread.
    quillory::Error error;
    const auto destination = printing::spooler().destination(&error);
    if (!destination) {
        ++context.failures;
        std::printf("warning: no printer for the report %s: %s\n", report,
                    qPrintable(error.description));
        return run;
    }
    quillory::Connection cn;
    cn.openReadOnly(context.db.cnMain);
    printing::PrintFonts fonts;
    PrintLayout layout(fonts, destination->page.printable());
    timer.restart();
    const LayoutResult result = layOut(cn, layout);
    figure(name(report, "_layout").c_str(), msSince(timer), "ms");
    quillory::reports::PrintedDocument document = layout.endDoc(QString::fromLatin1(report));
    document.page = destination->page;

    timer.restart();
    const QByteArray pdf = printing::composePdf(document, fonts, &error);
    figure(name(report, "_compose").c_str(), msSince(timer), "ms");

    timer.restart();
    const int job = printing::spooler().submit(*destination, document.title, pdf, &error);
    figure(name(report, "_submit").c_str(), msSince(timer), "ms");

    count(name(report, "_pages").c_str(), document.pages.size(), "pages");
    qint64 characters = 0;
    for (const auto& page : document.pages)
        for (const auto& textRun : page.runs)
            characters += textRun.text.size();
    count(name(report, "_characters").c_str(), characters, "characters");
    figure(name(report, "_pdf_size").c_str(), mib(pdf.size()), "MiB");
    if (result.outcome != LayoutResult::Ready || pdf.isEmpty() || job <= 0) {
        ++context.failures;
        std::printf("warning: the report %s printed nothing: %s\n", report,
                    qPrintable(error.description));
    }
    if (keep)
        *keep = std::move(document);
    return run;
}

} // namespace

void benchReports(Context& context) {
    quillory::Database& db = context.db;
    std::vector<quillory::Money> amounts;
    {
        QElapsedTimer timer;
        timer.start();
        quillory::reportstore::forEachCustomer(db.cnMain, [&amounts](const auto& line) {
            if (const auto balance = line.sums.balance())
                amounts.push_back(*balance);
        });
        figure("report_query_customers_with_sums", msSince(timer), "ms");
    }
    {
        // The customers' balances in the locale's currency format, as the
        // reports write them.
        QElapsedTimer timer;
        timer.start();
        qsizetype length = 0;
        for (const quillory::Money amount : amounts)
            length += quillory::formats::currency(amount).size();
        const double ms = msSince(timer);
        figure("report_currency_per_amount",
               amounts.empty() ? 0.0 : ms * 1e6 / static_cast<double>(amounts.size()), "ns", 0);
        if (length == 0 && !amounts.empty())
            ++context.failures;
    }

    // Jobs go to CUPS when it has a default queue, else into a file.
    const QString pdf =
        QFileInfo(db.databasePath()).dir().absoluteFilePath(QStringLiteral("report.pdf"));
    printing::PdfFileSpooler file(pdf);
    {
        quillory::Error error;
        if (printing::CupsSpooler().destination(&error)) {
            std::printf("note: the reports go to the default CUPS queue\n");
        } else {
            std::printf("note: the reports go into %s (%s)\n", qPrintable(pdf),
                        qPrintable(error.description));
            printing::setSpooler(&file);
        }
    }

    quillory::reports::PrintedDocument totals;
    const ReportRun invoiceTotals = oneReport(
        context, "invoice_totals", [&db] { quillory::reports::PrintInvoiceTotalsReport(db); },
        quillory::reports::layOutInvoiceTotals, &totals);
    const ReportRun customerSummary = oneReport(
        context, "customer_summary", [&db] { quillory::reports::PrintCustomerSummaryReport(db); },
        quillory::reports::layOutCustomerSummary);
    // A customer from the middle of the list.
    auto* list = context.window.findChild<QListWidget*>(QStringLiteral("lstCustomer"));
    const int id =
        list && list->count() ? entryId(list->item(list->count() / 2)->text()).toInt() : 1;
    oneReport(
        context, "open_invoices",
        [&db, id] { quillory::reports::PrintCustomerOpenInvoicesReport(db, id); },
        [id](quillory::Connection& cn, PrintLayout& l) {
            return quillory::reports::layOutCustomerOpenInvoices(cn, l, id);
        });
    figure("report_longest_stall_ms", std::max(invoiceTotals.stallMs, customerSummary.stallMs),
           "ms");

    // The baseline: the invoice totals' texts through Qt's PDF engine.
    const QString baselinePdf =
        QFileInfo(db.databasePath()).dir().absoluteFilePath(QStringLiteral("baseline.pdf"));
    double baselineCpu = 0;
    const double baseline = qpdfWriterMs(totals, baselinePdf, &baselineCpu);
    QFile::remove(baselinePdf);
    figure("report_qpdfwriter_baseline", baseline, "ms");
    figure("report_qpdfwriter_baseline_cpu", baselineCpu, "ms");
    if (baseline > 0) {
        figure("report_invoice_totals_vs_baseline", invoiceTotals.totalMs / baseline, "x", 2);
        figure("report_customer_summary_vs_baseline", customerSummary.totalMs / baseline, "x", 2);
    }
    printing::setSpooler(nullptr);
    QFile::remove(pdf);
}

} // namespace bench
