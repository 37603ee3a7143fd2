#include "export/exportpdf.h"

#include "invoice/invoiceprint.h"
#include "invoice/logo.h"
#include "reports/reports.h"

#include <QImage>

namespace quillory::exportpdf {

namespace {

Result failure(const Error& error, const QString& fallback) {
    return {Result::Failed, {}, error.isError() ? error : Error{kPdfError, fallback}};
}

Result reportPdf(Connection& main, const reports::ReportLayOut& layOut, const QString& title) {
    // A connection of the calling thread's own, as a print job has.
    Connection cn;
    if (!cn.openReadOnly(main))
        return {Result::Failed, {}, cn.lastError()};
    reports::LayoutResult laid;
    Error error;
    QByteArray pdf = reports::composeReportPdf(cn, layOut, title, &laid, &error);
    if (laid.outcome == reports::LayoutResult::NoCustomers)
        return {Result::NoCustomers, {}, {}};
    if (laid.outcome == reports::LayoutResult::Failed)
        return {Result::Failed, {}, laid.error};
    if (pdf.isEmpty())
        return failure(error, QStringLiteral("the report could not be made into a PDF."));
    return {Result::Ready, std::move(pdf), {}};
}

} // namespace

Result invoicePdf(const QString& title, const QString& logoPath, const QString& text) {
    // The preview's rule for the logo, read as the preview reads it.
    QImage logo;
    if (!logoPath.isEmpty() && logoPath != u"NONE")
        logo = logo::readLogo(logoPath).value_or(QImage());
    Error error;
    QByteArray pdf = invoiceprint::composeInvoicePdf(logo, text, title, &error);
    if (pdf.isEmpty())
        return failure(error, QStringLiteral("the invoice could not be made into a PDF."));
    return {Result::Ready, std::move(pdf), {}};
}

Result invoiceTotalsPdf(Connection& cn) {
    return reportPdf(cn, reports::layOutInvoiceTotals, QStringLiteral("Invoice Totals"));
}

Result customerSummaryPdf(Connection& cn) {
    return reportPdf(cn, reports::layOutCustomerSummary, QStringLiteral("Customer Summary List"));
}

} // namespace quillory::exportpdf
