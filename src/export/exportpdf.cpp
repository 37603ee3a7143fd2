#include "export/exportpdf.h"

#include "core/formats.h"
#include "invoice/invoiceprint.h"
#include "reports/reportpainter.h"
#include "reports/reports.h"
#include "widgets/printing.h"

#include <QFile>
#include <QImage>
#include <QLocale>
#include <QPrinter>
#include <QTemporaryDir>

#include <functional>

namespace quillory::exportpdf {

namespace {

Result failure(const QString& description) {
    return {Result::Failed, {}, {kPdfError, description}};
}

// Qt's printer writes a PDF only to a named file: it is made in a private
// temporary folder and read back from there.
Result printToPdf(const QString& title, const std::function<Result(QPrinter&)>& print) {
    const QTemporaryDir folder;
    if (!folder.isValid())
        return failure(QStringLiteral("no temporary folder could be made: ") +
                       folder.errorString());
    const QString path = folder.filePath(QStringLiteral("document.pdf"));
    const std::unique_ptr<QPrinter> printer = printing::pdfPrinter(path);
    printer->setPageSize(pageSize());
    printer->setDocName(title);
    printer->setCreator(QStringLiteral("Quillory"));
    Result result = print(*printer);
    if (result.outcome != Result::Ready)
        return result;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return failure(QStringLiteral("the PDF could not be read back: ") + file.errorString());
    result.pdf = file.readAll();
    if (result.pdf.isEmpty())
        return failure(QStringLiteral("the PDF could not be read back: ") + file.errorString());
    return result;
}

Result reportPdf(const QString& title,
                 const std::function<reports::LayoutResult(reports::PrintLayout&)>& layOut) {
    return printToPdf(title, [&](QPrinter& printer) -> Result {
        const reports::QtFontMeasure measure(&printer);
        reports::PrintLayout layout(measure, reports::printableInches(printer));
        const reports::LayoutResult laid = layOut(layout);
        if (laid.outcome == reports::LayoutResult::NoCustomers)
            return {Result::NoCustomers, {}, {}};
        if (laid.outcome == reports::LayoutResult::Failed)
            return {Result::Failed, {}, laid.error};
        const Error error = reports::printDocument(layout.endDoc(title), printer);
        if (error.isError())
            return {Result::Failed, {}, error};
        return {Result::Ready, {}, {}};
    });
}

} // namespace

QPageSize pageSize() {
    const QLocale locale(formats::localeName());
    return QPageSize(locale.measurementSystem() == QLocale::ImperialUSSystem ? QPageSize::Letter
                                                                             : QPageSize::A4);
}

Result invoicePdf(const QString& title, const QString& logoPath, const QString& text) {
    // The preview's rule for the logo.
    QImage logo;
    if (!logoPath.isEmpty() && logoPath != u"NONE")
        logo.load(logoPath);
    return printToPdf(title, [&](QPrinter& printer) -> Result {
        if (!invoiceprint::printDocument(printer, logo, text, invoiceprint::documentFont()))
            return failure(QStringLiteral("the invoice could not be printed into a PDF."));
        return {Result::Ready, {}, {}};
    });
}

Result invoiceTotalsPdf(Connection& cn) {
    return reportPdf(QStringLiteral("Invoice Totals"), [&cn](reports::PrintLayout& layout) {
        return reports::layOutInvoiceTotals(cn, layout);
    });
}

Result customerSummaryPdf(Connection& cn) {
    return reportPdf(QStringLiteral("Customer Summary List"), [&cn](reports::PrintLayout& layout) {
        return reports::layOutCustomerSummary(cn, layout);
    });
}

} // namespace quillory::exportpdf
