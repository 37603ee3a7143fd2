#include "export/exportpdf.h"

#include "invoice/invoiceprint.h"
#include "invoice/logo.h"
#include "printing/pdfcomposer.h"
#include "reports/reports.h"

#include <QImage>

namespace quillory::exportpdf {

namespace {

Result failure(const Error& error, const QString& fallback) {
    return {Result::Failed, {}, error.isError() ? error : Error{printing::kPrinterError, fallback}};
}

Result reportPdf(Connection& main, const reports::ReportLayOut& layOut, const QString& title,
                 const std::atomic_bool* cancelled) {
    // A connection of the calling thread's own, as a print job has.
    Connection cn;
    if (!cn.openReadOnly(main))
        return {Result::Failed, {}, cn.lastError()};
    reports::ReportPdf made =
        reports::composeReportPdf(cn, layOut, title, printing::localePageSetup(), cancelled);
    if (made.cancelled)
        return {Result::Cancelled, {}, {}};
    if (made.laidOut.outcome == reports::LayoutResult::NoCustomers)
        return {Result::NoCustomers, {}, {}};
    if (made.laidOut.outcome == reports::LayoutResult::Failed)
        return {Result::Failed, {}, made.laidOut.error};
    if (made.pdf.isEmpty())
        return failure(made.error, QStringLiteral("the report could not be made into a PDF."));
    return {Result::Ready, std::move(made.pdf), {}};
}

} // namespace

Result invoicePdf(const QString& title, const QString& logoPath, const QString& text) {
    // Read as the preview reads it, and left out as the preview leaves it
    // out when it takes too long.
    const QImage logo = logo::readLogoWithin(logoPath, logo::kWaitMs);
    Error error;
    QByteArray pdf = invoiceprint::composeInvoicePdf(logo, text, title, &error);
    if (pdf.isEmpty())
        return failure(error, QStringLiteral("the invoice could not be made into a PDF."));
    return {Result::Ready, std::move(pdf), {}};
}

Result invoiceTotalsPdf(Connection& cn, const std::atomic_bool* cancelled) {
    return reportPdf(cn, reports::layOutInvoiceTotals, QStringLiteral("Invoice Totals"), cancelled);
}

Result customerSummaryPdf(Connection& cn, const std::atomic_bool* cancelled) {
    return reportPdf(cn, reports::layOutCustomerSummary, QStringLiteral("Customer Summary List"),
                     cancelled);
}

} // namespace quillory::exportpdf
