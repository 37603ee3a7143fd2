#include "invoice/invoiceprint.h"

#include "printing/pdfcomposer.h"
#include "printing/printfonts.h"
#include "printing/spooler.h"

#include <QRegularExpression>

#include <cmath>
#include <vector>

namespace quillory::invoiceprint {

using printing::FontMeasure;
using printing::PageSetup;
using printing::PrintedDocument;
using printing::PrintFont;
using printing::TextRun;

namespace {

// The screen shows tab stops half an inch apart; paper does the same.
constexpr double kTabStop = 0.5;
// The logo keeps the size it has on screen.
constexpr double kScreenDpi = 96.0;
constexpr double kEpsilon = 1e-9;

// Breaks the document's lines where they would pass the right edge, and puts
// the pieces between tabs at their stops.
class Wrapper {
public:
    struct Piece {
        double x;
        QString text;
    };
    using Line = std::vector<Piece>;

    Wrapper(const FontMeasure& measure, const PrintFont& font, double width)
        : m_measure(measure), m_font(font), m_width(width) {}

    std::vector<Line> wrap(const QString& line) {
        m_lines.clear();
        m_lines.emplace_back();
        m_x = 0;
        m_open = false;
        const QStringList parts = line.split(u'\t');
        for (qsizetype i = 0; i < parts.size(); ++i) {
            if (i > 0)
                tab();
            words(parts.at(i));
        }
        return std::move(m_lines);
    }

private:
    double width(const QString& text) const { return m_measure.textWidth(m_font, text); }

    void newLine() {
        m_lines.emplace_back();
        m_x = 0;
        m_open = false;
    }

    void tab() {
        const double stop = (std::floor(m_x / kTabStop + kEpsilon) + 1) * kTabStop;
        if (stop > m_width + kEpsilon)
            newLine();
        else
            m_x = stop;
        m_open = false;
    }

    void put(const QString& text) {
        if (!m_open) {
            m_lines.back().push_back({m_x, QString()});
            m_open = true;
        }
        m_lines.back().back().text += text;
        m_x += width(text);
    }

    // Each word with the blanks after it; a word goes to the next line when
    // it passes the edge (its blanks may hang over it).
    void words(const QString& part) {
        qsizetype at = 0;
        while (at < part.size()) {
            qsizetype end = at;
            while (end < part.size() && part.at(end) != u' ')
                ++end;
            const QString word = part.mid(at, end - at);
            while (end < part.size() && part.at(end) == u' ')
                ++end;
            const QString blanks = part.mid(at + word.size(), end - at - word.size());
            at = end;
            const double needed = width(word);
            if (m_x > 0 && m_x + needed > m_width + kEpsilon)
                newLine();
            if (needed > m_width + kEpsilon)
                pieces(word);
            else
                put(word);
            put(blanks);
        }
    }

    // A word wider than the page, broken wherever the edge comes.
    void pieces(const QString& word) {
        qsizetype at = 0;
        while (at < word.size()) {
            qsizetype take = 1;
            if (word.at(at).isHighSurrogate() && at + 1 < word.size())
                take = 2;
            const QString piece = word.mid(at, take);
            if (m_x > 0 && m_x + width(piece) > m_width + kEpsilon)
                newLine();
            put(piece);
            at += take;
        }
    }

    const FontMeasure& m_measure;
    const PrintFont& m_font;
    double m_width;
    std::vector<Line> m_lines;
    double m_x = 0;
    bool m_open = false;
};

} // namespace

PrintFont documentFont() {
    return {QStringLiteral("Liberation Sans"), 9.75, false};
}

PrintedDocument layOutInvoice(const FontMeasure& measure, const PageSetup& page, const QImage& logo,
                              const QString& text, const QString& title) {
    PrintedDocument document;
    document.title = title;
    document.page = page;
    const PrintFont font = documentFont();
    document.fonts.append(font);
    const QSizeF printable = page.printable();
    const double lineHeight = measure.lineHeight(font);

    int pageIndex = 0;
    double y = 0;
    document.pages.resize(1);
    if (!logo.isNull()) {
        double width = logo.width() / kScreenDpi;
        double height = logo.height() / kScreenDpi;
        if (width > printable.width()) {
            height *= printable.width() / width;
            width = printable.width();
        }
        document.pages[0].images.append({QRectF(0, 0, width, height), logo});
        y = height;
    }

    // Control characters other than the tab and the line break print as
    // blanks.
    QString clean = text;
    for (QChar& c : clean)
        if ((c.unicode() < 0x20 && c != u'\t' && c != u'\r' && c != u'\n') ||
            (c.unicode() >= 0x7f && c.unicode() <= 0x9f))
            c = u' ';
    static const QRegularExpression lineBreak(QStringLiteral("\r\n|\r|\n"));
    QStringList lines = clean.split(lineBreak);
    // The document ends with a line break, which starts no line of its own.
    if (!lines.isEmpty() && lines.constLast().isEmpty())
        lines.removeLast();

    Wrapper wrapper(measure, font, printable.width());
    for (const QString& line : lines) {
        for (const Wrapper::Line& placed : wrapper.wrap(line)) {
            if (y > 0 && y + lineHeight > printable.height() + kEpsilon) {
                ++pageIndex;
                document.pages.resize(pageIndex + 1);
                y = 0;
            }
            for (const Wrapper::Piece& piece : placed)
                document.pages[pageIndex].runs.append(TextRun{piece.x, y, piece.text, 0});
            y += lineHeight;
        }
    }
    while (document.pages.size() > 1 && document.pages.constLast().isEmpty())
        document.pages.removeLast();
    return document;
}

QByteArray composeInvoicePdf(const QImage& logo, const QString& text, const QString& title,
                             Error* error) {
    printing::PrintFonts fonts;
    const PrintedDocument document =
        layOutInvoice(fonts, printing::localePageSetup(), logo, text, title);
    return printing::composePdf(document, fonts, error);
}

} // namespace quillory::invoiceprint
