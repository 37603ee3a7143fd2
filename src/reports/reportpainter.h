#pragma once

#include "errors/error.h"
#include "reports/printlayout.h"

class QPainter;
class QPrinter;

namespace quillory::reports {

// The error number of a printer that cannot take the job.
inline constexpr std::int64_t kPrinterError = 482;

// The printable area of a printer's page, in inches.
QSizeF printableInches(const QPrinter& printer);

// Why a printer cannot take a job before it has begun (none set up, a PDF
// printer without a file); nothing when it looks usable.
Error printerProblem(const QPrinter& printer);

// Sends a finished job to the printer, page by page. A printer that cannot
// begin the job or start a page gives the printer error.
Error printDocument(const PrintedDocument& document, QPrinter& printer);

// Draws one page on a painter that is already active, with `dotsPerInch`
// device pixels to the inch (the screenshots of the manual use this too).
void paintPage(QPainter& painter, const PrintedDocument& document, int page, double dotsPerInch);

} // namespace quillory::reports
