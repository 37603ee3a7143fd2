#include "invoice/invoiceprint.h"

#include <QAbstractTextDocumentLayout>
#include <QPainter>
#include <QPrinter>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextImageFormat>
#include <QTextOption>
#include <QUrl>

namespace quillory::invoiceprint {

namespace {

// The screen shows tab stops half an inch apart; paper does the same.
constexpr qreal kTabStopInches = 0.5;
constexpr qreal kScreenDpi = 96.0;

} // namespace

QFont documentFont() {
    QFont font(QStringLiteral("Liberation Sans"));
    font.setPointSizeF(9.75);
    return font;
}

bool printDocument(QPrinter& printer, const QImage& logo, const QString& text, const QFont& font) {
    if (printer.outputFormat() == QPrinter::NativeFormat && printer.printerName().isEmpty())
        return false;

    // Laid out on the printer itself, so that fonts and the logo take their
    // sizes at its resolution; pages are the printable area.
    QTextDocument document;
    document.documentLayout()->setPaintDevice(&printer);
    document.setDefaultFont(font);
    document.setDocumentMargin(0);
    QTextOption option = document.defaultTextOption();
    // Given at 96 per inch; the layout scales it to the printer.
    option.setTabStopDistance(kTabStopInches * kScreenDpi);
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    document.setDefaultTextOption(option);
    const QRectF page = printer.pageRect(QPrinter::DevicePixel);
    document.setPageSize(page.size());

    QTextCursor cursor(&document);
    if (!logo.isNull()) {
        const QUrl name(QStringLiteral("quillory-logo:"));
        document.addResource(QTextDocument::ImageResource, name, logo);
        QTextImageFormat image;
        image.setName(name.toString());
        // The logo keeps its own size (pixels at 96 per inch), narrowed to
        // the page when it is wider.
        const qreal widest = page.width() * kScreenDpi / printer.logicalDpiX();
        if (logo.width() > widest) {
            image.setWidth(widest);
            image.setHeight(logo.height() * widest / logo.width());
        }
        cursor.insertImage(image);
        cursor.insertBlock();
    }
    cursor.insertText(QString(text).replace(QStringLiteral("\r\n"), QStringLiteral("\n")));

    QPainter painter;
    if (!painter.begin(&printer))
        return false;
    const int pages = document.pageCount();
    for (int i = 0; i < pages; ++i) {
        if (i > 0 && !printer.newPage()) {
            painter.end();
            return false;
        }
        painter.save();
        const qreal top = i * page.height();
        painter.translate(0, -top);
        // A line that only touches the page's edge belongs to the page beside
        // it: the area drawn stops a device pixel short of both edges.
        document.drawContents(&painter, QRectF(0, top + 1, page.width(), page.height() - 2));
        painter.restore();
    }
    return painter.end() && printer.printerState() != QPrinter::Error;
}

} // namespace quillory::invoiceprint
