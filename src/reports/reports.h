#pragma once

#include "data/database.h"
#include "printing/spooler.h"
#include "reports/printlayout.h"

#include <QByteArray>
#include <QString>

#include <atomic>
#include <functional>
#include <optional>

// The three printed reports of the Reports menu. Each prints straight to the
// printer the spooler names (printing::spooler().destination()); a failure
// discards the job and shows the error's number and description.
namespace quillory::reports {

// "Invoice Totals (To Date)": every customer with the sums owing and paid and
// the balance, then the grand totals.
void PrintInvoiceTotalsReport(Database& db);
// "Customer Summary List (Email, Act Balance)": every customer with e-mail
// address and balance.
void PrintCustomerSummaryReport(Database& db);
// "Selected Customer - Open Invoices": the balance and the count of open
// invoices of the selected customer. Without a selected customer it prints
// nothing and says nothing.
void PrintCustomerOpenInvoicesReport(Database& db, std::optional<int> customerId);

// What laying out a report came to.
struct LayoutResult {
    enum Outcome { Ready, NoCustomers, Failed } outcome = Ready;
    Error error;
};

// The layouts behind the procedures, on a layout of the caller's: the text
// and its places, page by page, without a printer.
LayoutResult layOutInvoiceTotals(Connection& cn, PrintLayout& layout);
LayoutResult layOutCustomerSummary(Connection& cn, PrintLayout& layout);
LayoutResult layOutCustomerOpenInvoices(Connection& cn, PrintLayout& layout, int customerId);

// A report laid out and composed as a PDF file in memory, for printing or
// keeping: `layOut` is one of the three above, `title` the file's title.
// Pages are composed on a second thread while the layout goes on. When
// `cancelled` turns true, the layout stops taking text and nothing is
// composed further.
using ReportLayOut = std::function<LayoutResult(Connection&, PrintLayout&)>;
struct ReportPdf {
    LayoutResult laidOut;
    bool cancelled = false;
    Error error; // why composing failed
    QByteArray pdf;

    bool ready() const {
        return laidOut.outcome == LayoutResult::Ready && !cancelled && !error.isError();
    }
};
ReportPdf composeReportPdf(Connection& cn, const ReportLayOut& layOut, const QString& title,
                           const printing::PageSetup& page = printing::localePageSetup(),
                           const std::atomic_bool* cancelled = nullptr);

// `text` as it fits into `width` inches in the layout's current font: control
// characters become spaces, and a text too long ends in an ellipsis.
QString fitted(const PrintLayout& layout, const QString& text, double width);

} // namespace quillory::reports
