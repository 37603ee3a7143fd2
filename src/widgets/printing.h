#pragma once

#include <QString>

#include <functional>
#include <memory>

class QPrinter;

// Where the program prints: the platform's default printer (through CUPS on
// Linux), unless another printer has been set, as tests do to print into a
// PDF file.
namespace quillory::printing {

// A printer set up for one job on the default printer. Its printerName() is
// empty when the platform has no printer at all.
std::unique_ptr<QPrinter> defaultPrinter();

// Replaces the default printer; an empty function restores it.
void setPrinterFactory(std::function<std::unique_ptr<QPrinter>()> factory);

// A printer that writes a PDF file at `path`, for tests and benchmarks.
std::unique_ptr<QPrinter> pdfPrinter(const QString& path);

} // namespace quillory::printing
