#pragma once

#include <QHash>
#include <QImage>
#include <QMarginsF>
#include <QRectF>
#include <QSizeF>
#include <QString>
#include <QVector>

// A print job as the program describes it before any printer sees it: text
// runs and pictures placed in inches, page by page, on a sheet of a known
// size. The reports and the invoice lay their pages out into this; the PDF
// composer turns it into the file that goes to the spooler.
namespace quillory::printing {

struct PrintFont {
    QString family;
    double pointSize = 0;
    bool bold = false;

    bool operator==(const PrintFont&) const = default;
};
size_t qHash(const PrintFont& font, size_t seed = 0);

// How much room text takes, in inches.
class FontMeasure {
public:
    virtual ~FontMeasure() = default;
    // The distance from one line to the next.
    virtual double lineHeight(const PrintFont& font) const = 0;
    virtual double textWidth(const PrintFont& font, const QString& text) const = 0;
};

// One piece of text at its place: x and y in inches from the top-left of the
// printable area, y being the top of its line.
struct TextRun {
    double x = 0;
    double y = 0;
    QString text;
    int font = 0; // index into PrintedDocument::fonts
};

// A picture drawn into a rectangle of the printable area, in inches.
struct PlacedImage {
    QRectF inches;
    QImage image;
};

struct PrintedPage {
    QVector<TextRun> runs;
    QVector<PlacedImage> images;

    bool isEmpty() const { return runs.isEmpty() && images.isEmpty(); }
};

// The sheet: its size and the margins around the printable area, in inches.
struct PageSetup {
    QSizeF paper{8.5, 11.0};
    QMarginsF margins{0.25, 0.25, 0.25, 0.25};

    QSizeF printable() const {
        return {paper.width() - margins.left() - margins.right(),
                paper.height() - margins.top() - margins.bottom()};
    }
    bool operator==(const PageSetup&) const = default;
};

// A finished print job.
struct PrintedDocument {
    QString title;
    PageSetup page;
    QVector<PrintFont> fonts;
    QVector<PrintedPage> pages;

    bool isEmpty() const { return pages.isEmpty(); }
};

} // namespace quillory::printing
