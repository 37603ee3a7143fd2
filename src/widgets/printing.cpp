#include "widgets/printing.h"

#include <QPrinter>
#include <QPrinterInfo>

namespace quillory::printing {

namespace {
std::function<std::unique_ptr<QPrinter>()>& factorySetting() {
    static std::function<std::unique_ptr<QPrinter>()> factory;
    return factory;
}
} // namespace

std::unique_ptr<QPrinter> defaultPrinter() {
    if (factorySetting())
        return factorySetting()();
    return std::make_unique<QPrinter>(QPrinterInfo::defaultPrinter(), QPrinter::HighResolution);
}

void setPrinterFactory(std::function<std::unique_ptr<QPrinter>()> factory) {
    factorySetting() = std::move(factory);
}

std::unique_ptr<QPrinter> pdfPrinter(const QString& path) {
    auto printer = std::make_unique<QPrinter>(QPrinter::HighResolution);
    printer->setOutputFormat(QPrinter::PdfFormat);
    printer->setOutputFileName(path);
    return printer;
}

} // namespace quillory::printing
