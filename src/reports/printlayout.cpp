#include "reports/printlayout.h"

#include <QFontMetricsF>
#include <QPaintDevice>

#include <vector>

namespace quillory::reports {

namespace {
// Rounding slack when a line ends exactly at the bottom of the page.
constexpr double kEpsilon = 1e-9;
} // namespace

QFont toQFont(const PrintFont& font) {
    QFont qfont(font.family);
    qfont.setStyleHint(QFont::SansSerif);
    qfont.setPointSizeF(font.pointSize);
    qfont.setBold(font.bold);
    return qfont;
}

// --- QtFontMeasure ---------------------------------------------------------------

struct QtFontMeasure::Metrics {
    Metrics(const PrintFont& font, const QPaintDevice* device)
        : fm(toQFont(font), device), dpiX(device->logicalDpiX()), dpiY(device->logicalDpiY()),
          advances(kSimpleEnd, -1.0) {}

    // Latin letters, digits and signs stand side by side without shaping, so
    // their widths add up; the reports measure hundreds of thousands of
    // names, and shaping each would take seconds. Kerning moves a letter by
    // a hair at most, which the gap between columns absorbs.
    static constexpr char16_t kSimpleEnd = 0x0300;
    double width(const QString& text) {
        double sum = 0;
        for (const QChar c : text) {
            const char16_t u = c.unicode();
            if (u >= kSimpleEnd)
                return fm.horizontalAdvance(text);
            double& advance = advances[u];
            if (advance < 0)
                advance = fm.horizontalAdvance(c);
            sum += advance;
        }
        return sum;
    }

    QFontMetricsF fm;
    double dpiX;
    double dpiY;
    std::vector<double> advances;
};

QtFontMeasure::QtFontMeasure(const QPaintDevice* device) : m_device(device) {}

QtFontMeasure::~QtFontMeasure() = default;

QtFontMeasure::Metrics& QtFontMeasure::metrics(const PrintFont& font) const {
    if (m_last && font == m_lastFont)
        return *m_last;
    auto it = m_metrics.constFind(font);
    if (it == m_metrics.constEnd())
        it = m_metrics.insert(font, std::make_shared<Metrics>(font, m_device));
    m_lastFont = font;
    m_last = it->get();
    return *m_last;
}

double QtFontMeasure::lineHeight(const PrintFont& font) const {
    const Metrics& m = metrics(font);
    return m.fm.lineSpacing() / m.dpiY;
}

double QtFontMeasure::textWidth(const PrintFont& font, const QString& text) const {
    Metrics& m = metrics(font);
    return m.width(text) / m.dpiX;
}

// --- PrintLayout -----------------------------------------------------------------

PrintLayout::PrintLayout(const FontMeasure& measure, QSizeF printable)
    : m_measure(measure), m_printable(printable) {}

void PrintLayout::setFontName(const QString& family) {
    m_font.family = family;
    m_fontIndex = -1;
    m_lineHeight = -1;
}

void PrintLayout::setFontSize(double points) {
    m_font.pointSize = points;
    m_fontIndex = -1;
    m_lineHeight = -1;
}

void PrintLayout::setBold(bool bold) {
    m_font.bold = bold;
    m_fontIndex = -1;
    m_lineHeight = -1;
}

double PrintLayout::lineHeight() {
    if (m_lineHeight < 0)
        m_lineHeight = m_measure.lineHeight(m_font);
    return m_lineHeight;
}

void PrintLayout::setCurrentX(double inches) {
    m_x = inches;
    m_stayedAfter.reset();
}

double PrintLayout::currentX() const {
    if (!m_stayedAfter)
        return m_x;
    const TextRun& run = *m_stayedAfter;
    return run.x + m_measure.textWidth(m_document.fonts.at(run.font), run.text);
}

int PrintLayout::fontIndex() {
    if (m_fontIndex < 0) {
        m_fontIndex = static_cast<int>(m_document.fonts.indexOf(m_font));
        if (m_fontIndex < 0) {
            m_fontIndex = static_cast<int>(m_document.fonts.size());
            m_document.fonts.append(m_font);
        }
    }
    return m_fontIndex;
}

void PrintLayout::placeLine(const QString& text) {
    m_x = currentX();
    m_stayedAfter.reset();
    const double height = lineHeight();
    if (m_y > 0 && m_y + height > m_printable.height() + kEpsilon) {
        ++m_page;
        m_y = 0;
    }
    if (text.isEmpty())
        return;
    if (m_sink && m_page > m_handedOver)
        handOver(m_page);
    const int at = m_page - m_handedOver;
    if (m_document.pages.size() <= at)
        m_document.pages.resize(at + 1);
    TextRun run{m_x, m_y, text, fontIndex()};
    m_document.pages[at].runs.append(run);
    m_stayedAfter = std::move(run);
}

void PrintLayout::handOver(int upTo) {
    // Pages without text between two others are pages of the job too.
    const int count = upTo - m_handedOver;
    for (int i = 0; i < count; ++i)
        m_sink(i < m_document.pages.size() ? std::move(m_document.pages[i]) : PrintedPage(),
               m_document.fonts);
    m_document.pages.remove(0, std::min<qsizetype>(count, m_document.pages.size()));
    m_handedOver = upTo;
}

void PrintLayout::nextLine() {
    m_y += lineHeight();
    m_x = 0;
    m_stayedAfter.reset();
}

void PrintLayout::print(const QString& text, bool endLine) {
    // Each CR LF (or a lone CR or LF) ends a line inside the text.
    qsizetype start = 0;
    while (true) {
        qsizetype end = start;
        while (end < text.size() && text[end] != u'\r' && text[end] != u'\n')
            ++end;
        placeLine(text.mid(start, end - start));
        if (end >= text.size())
            break;
        nextLine();
        start = end + 1;
        if (text[end] == u'\r' && start < text.size() && text[start] == u'\n')
            ++start;
    }
    if (endLine)
        nextLine();
}

void PrintLayout::printLineBreak() {
    print(QStringLiteral("\r\n"), true);
}

void PrintLayout::killDoc() {
    m_document.pages.clear();
    m_document.fonts.clear();
    m_fontIndex = -1;
    m_x = 0;
    m_y = 0;
    m_page = 0;
    m_handedOver = 0;
    m_stayedAfter.reset();
}

PrintedDocument PrintLayout::endDoc(const QString& title) {
    while (!m_document.pages.isEmpty() && m_document.pages.constLast().isEmpty())
        m_document.pages.removeLast();
    if (m_sink)
        handOver(m_handedOver + static_cast<int>(m_document.pages.size()));
    PrintedDocument done = std::move(m_document);
    done.title = title;
    m_document = {};
    killDoc();
    return done;
}

} // namespace quillory::reports
