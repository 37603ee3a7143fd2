#pragma once

#include "errors/error.h"
#include "printing/printeddocument.h"

#include <QByteArray>

#include <atomic>
#include <functional>
#include <memory>

namespace quillory::printing {

class PrintFonts;

// The error number of a print job that could not be made or sent.
inline constexpr std::int64_t kPrinterError = 482;
// A print failure as the program reports it: "Printer error: " and why.
Error printerError(const QString& reason);

// Where a PDF goes as it is written; false stops the writing.
using PdfSink = std::function<bool(const char* data, size_t length)>;

// Turns printed pages into a PDF, a page at a time, with cairo: text as the
// glyphs of embedded subsets of its fonts, together with what they read as,
// so that the file's text can be searched, copied and read back; pictures as
// images. Pages go into the file in the order given.
class PdfComposer {
public:
    // `fonts` must be the fonts the pages were measured with, and stay for
    // the composer's life.
    PdfComposer(PrintFonts& fonts, const PageSetup& page, const QString& title, PdfSink sink);
    ~PdfComposer();
    PdfComposer(const PdfComposer&) = delete;
    PdfComposer& operator=(const PdfComposer&) = delete;

    // Draws one page; `fonts` are the document's, which the runs index.
    void addPage(const PrintedPage& page, const QVector<PrintFont>& fonts);
    // Ends the file. An error when the file could not be made or written.
    Error finish();

private:
    struct Private;
    std::unique_ptr<Private> d;
};

// A PdfComposer on a thread of its own, with fonts of its own: pages are
// composed as they are handed in, while their layout goes on.
class PdfComposerThread {
public:
    // When `cancelled` turns true, composing stops and finish() gives nothing.
    PdfComposerThread(const PageSetup& page, const QString& title,
                      const std::atomic_bool* cancelled = nullptr);
    // Abandons what was not finished.
    ~PdfComposerThread();
    PdfComposerThread(const PdfComposerThread&) = delete;
    PdfComposerThread& operator=(const PdfComposerThread&) = delete;

    void addPage(PrintedPage&& page, const QVector<PrintFont>& fonts);
    // No more pages: waits for the last and gives the file; empty, with
    // `error` set when it could not be made, or when cancelled.
    QByteArray finish(Error* error);
    // Stops at once; nothing is given.
    void abandon();

private:
    struct Private;
    std::unique_ptr<Private> d;
};

// The whole document as one PDF file in memory; empty, with `error` set,
// when it could not be made. When `cancelled` turns true, composing stops
// between two pages and gives nothing.
QByteArray composePdf(const PrintedDocument& document, PrintFonts& fonts, Error* error,
                      const std::atomic_bool* cancelled = nullptr);

} // namespace quillory::printing
