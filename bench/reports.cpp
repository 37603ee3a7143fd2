// The printed reports over the whole database, each printed into a PDF file:
// the time from the menu's call to the finished file, the time of the layout
// alone, and the pages.
#include "reports/reports.h"
#include "app/frmMain.h"
#include "app/printing.h"
#include "benchsupport.h"
#include "data/database.h"
#include "reports/reportpainter.h"
#include "reports/reportstore.h"

#include <QDir>
#include <QFileInfo>
#include <QListWidget>
#include <QPrinter>

#include <cstdio>
#include <functional>
#include <string>

namespace bench {

namespace {

using quillory::reports::LayoutResult;
using quillory::reports::PrintLayout;

void oneReport(Context& context, const char* name, const std::function<void()>& print,
               const std::function<LayoutResult(PrintLayout&)>& layOut) {
    const QString pdf = QFileInfo(context.db.databasePath())
                            .dir()
                            .absoluteFilePath(QStringLiteral("report-%1.pdf").arg(name));
    QFile::remove(pdf);
    quillory::printing::setPrinterFactory([pdf] { return quillory::printing::pdfPrinter(pdf); });

    QElapsedTimer timer;
    timer.start();
    print();
    figure(("report_" + std::string(name)).c_str(), msSince(timer), "ms");

    // The layout alone, on the same printer's metrics.
    const auto printer = quillory::printing::pdfPrinter(pdf + QStringLiteral(".unused"));
    const quillory::reports::QtFontMeasure measure(printer.get());
    PrintLayout layout(measure, quillory::reports::printableInches(*printer));
    timer.restart();
    const LayoutResult result = layOut(layout);
    const double layoutMs = msSince(timer);
    const qsizetype pages = layout.endDoc().pages.size();
    figure(("report_" + std::string(name) + "_layout").c_str(), layoutMs, "ms");
    count(("report_" + std::string(name) + "_pages").c_str(), pages, "pages");
    figure(("report_" + std::string(name) + "_pdf_size").c_str(), mib(QFileInfo(pdf).size()),
           "MiB");
    if (result.outcome != LayoutResult::Ready || !QFileInfo::exists(pdf)) {
        ++context.failures;
        std::printf("warning: the report %s printed nothing\n", name);
    }
    QFile::remove(pdf);
    quillory::printing::setPrinterFactory({});
}

} // namespace

void benchReports(Context& context) {
    quillory::Database& db = context.db;
    {
        QElapsedTimer timer;
        timer.start();
        qint64 rows = 0;
        quillory::reportstore::forEachCustomer(db.cnMain, [&rows](const auto&) { ++rows; });
        figure("report_query_customers_with_sums", msSince(timer), "ms");
    }
    oneReport(
        context, "invoice_totals", [&db] { quillory::reports::PrintInvoiceTotalsReport(db); },
        [&db](PrintLayout& l) { return quillory::reports::layOutInvoiceTotals(db.cnMain, l); });
    oneReport(
        context, "customer_summary", [&db] { quillory::reports::PrintCustomerSummaryReport(db); },
        [&db](PrintLayout& l) { return quillory::reports::layOutCustomerSummary(db.cnMain, l); });
    // A customer from the middle of the list.
    auto* list = context.window.findChild<QListWidget*>(QStringLiteral("lstCustomer"));
    const int id =
        list && list->count() ? entryId(list->item(list->count() / 2)->text()).toInt() : 1;
    oneReport(
        context, "open_invoices",
        [&db, id] { quillory::reports::PrintCustomerOpenInvoicesReport(db, id); },
        [&db, id](PrintLayout& l) {
            return quillory::reports::layOutCustomerOpenInvoices(db.cnMain, l, id);
        });
}

} // namespace bench
