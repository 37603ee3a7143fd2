#include "reports/reportpainter.h"

#include <QFontMetricsF>
#include <QPainter>
#include <QPrinter>

namespace quillory::reports {

namespace {
Error printerError(const QString& detail) {
    return {kPrinterError, QStringLiteral("Printer error: ") + detail};
}
} // namespace

QSizeF printableInches(const QPrinter& printer) {
    return printer.pageLayout().paintRect(QPageLayout::Inch).size();
}

Error printerProblem(const QPrinter& printer) {
    if (printer.outputFormat() == QPrinter::PdfFormat) {
        if (printer.outputFileName().isEmpty())
            return printerError(QStringLiteral("no default printer is set up."));
        return Error::none();
    }
    if (printer.printerName().isEmpty())
        return printerError(QStringLiteral("no default printer is set up."));
    if (!printer.isValid())
        return printerError(
            QStringLiteral("the printer \"%1\" is not available.").arg(printer.printerName()));
    return Error::none();
}

void paintPage(QPainter& painter, const PrintedDocument& document, int page, double dotsPerInch) {
    // One Qt font and its ascent per printer font; runs keep their order.
    QVector<QFont> fonts;
    QVector<double> ascents;
    for (const PrintFont& font : document.fonts) {
        fonts.append(toQFont(font));
        ascents.append(QFontMetricsF(fonts.constLast(), painter.device()).ascent());
    }
    int current = -1;
    for (const TextRun& run : document.pages.at(page).runs) {
        if (run.font != current) {
            current = run.font;
            painter.setFont(fonts.at(current));
        }
        painter.drawText(QPointF(run.x * dotsPerInch, run.y * dotsPerInch + ascents.at(current)),
                         run.text);
    }
}

Error printDocument(const PrintedDocument& document, QPrinter& printer) {
    if (const Error problem = printerProblem(printer); problem.isError())
        return problem;
    if (document.isEmpty())
        return Error::none();
    if (!document.title.isEmpty())
        printer.setDocName(document.title);
    QPainter painter;
    if (!painter.begin(&printer)) {
        const QString where = printer.outputFormat() == QPrinter::PdfFormat
                                  ? printer.outputFileName()
                                  : printer.printerName();
        return printerError(QStringLiteral("cannot start printing on \"%1\".").arg(where));
    }
    const double dpi = printer.resolution();
    for (int page = 0; page < document.pages.size(); ++page) {
        if (page > 0 && !printer.newPage()) {
            printer.abort();
            painter.end();
            return printerError(QStringLiteral("cannot start page %1.").arg(page + 1));
        }
        paintPage(painter, document, page, dpi);
    }
    if (!painter.end())
        return printerError(QStringLiteral("the job could not be sent."));
    return Error::none();
}

} // namespace quillory::reports
