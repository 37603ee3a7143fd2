#pragma once

#include "data/connection.h"
#include "errors/error.h"

#include <QByteArray>
#include <QString>

#include <atomic>

// The PDF documents of the Export menu, one function per document. Each is
// made whole in memory before anything is written anywhere, by the composer
// that printing uses, on the locale's paper: the invoice as the preview prints
// it, the two customer lists as the Reports menu prints them.
namespace quillory::exportpdf {

struct Result {
    enum Outcome {
        Ready,       // `pdf` holds the document
        NoCustomers, // a customer list without customers: nothing to make
        Failed,      // `error` says why (printing::kPrinterError when nothing else does)
        Cancelled,   // the user cancelled: nothing made
    } outcome = Failed;
    QByteArray pdf;
    Error error;
};

// The invoice document, titled `title`: the logo named by `logoPath` above
// the text. An empty path or "NONE" has no logo, and so prints a file that
// cannot be read as a picture, or read within logo::kWaitMs.
Result invoicePdf(const QString& title, const QString& logoPath, const QString& text);

// "Invoice Totals" and "Customer Summary List", read through a read-only
// connection of the calling thread's own on the database of `cn`. When
// `cancelled` turns true they stop and give Cancelled.
Result invoiceTotalsPdf(Connection& cn, const std::atomic_bool* cancelled = nullptr);
Result customerSummaryPdf(Connection& cn, const std::atomic_bool* cancelled = nullptr);

} // namespace quillory::exportpdf
