// The printed reports over the whole database, each printed into a PDF file:
// the time from the menu's call to the finished file, then the same job in its
// two halves (the layout, with its queries and amounts, and the painting into
// the PDF file), the pages and the file's size; and the writing of amounts.
#include "reports/reports.h"
#include "app/frmMain.h"
#include "benchsupport.h"
#include "core/formats.h"
#include "data/database.h"
#include "reports/reportpainter.h"
#include "reports/reportstore.h"
#include "widgets/printing.h"

#include <QDir>
#include <QFileInfo>
#include <QListWidget>
#include <QPrinter>

#include <cstdio>
#include <functional>
#include <string>
#include <vector>

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

    const qint64 pdfSize = QFileInfo(pdf).size();
    const bool printed = QFileInfo::exists(pdf);
    QFile::remove(pdf);

    // The layout alone, on the same printer's metrics, then its painting.
    const auto printer = quillory::printing::pdfPrinter(pdf);
    const quillory::reports::QtFontMeasure measure(printer.get());
    PrintLayout layout(measure, quillory::reports::printableInches(*printer));
    timer.restart();
    const LayoutResult result = layOut(layout);
    figure(("report_" + std::string(name) + "_layout").c_str(), msSince(timer), "ms");
    const quillory::reports::PrintedDocument document = layout.endDoc();
    timer.restart();
    const quillory::Error painted = quillory::reports::printDocument(document, *printer);
    figure(("report_" + std::string(name) + "_paint").c_str(), msSince(timer), "ms");
    count(("report_" + std::string(name) + "_pages").c_str(), document.pages.size(), "pages");
    qint64 characters = 0;
    for (const auto& page : document.pages)
        for (const auto& run : page.runs)
            characters += run.text.size();
    count(("report_" + std::string(name) + "_characters").c_str(), characters, "characters");
    figure(("report_" + std::string(name) + "_pdf_size").c_str(), mib(pdfSize), "MiB");
    if (result.outcome != LayoutResult::Ready || !printed || painted.isError()) {
        ++context.failures;
        std::printf("warning: the report %s printed nothing\n", name);
    }
    QFile::remove(pdf);
    quillory::printing::setPrinterFactory({});
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
