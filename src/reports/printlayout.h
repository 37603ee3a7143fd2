#pragma once

#include "printing/printeddocument.h"

#include <QFont>
#include <QHash>
#include <QSizeF>
#include <QString>
#include <QVector>

#include <atomic>
#include <functional>
#include <memory>
#include <optional>

class QPaintDevice;

// The printer as the reports use it, without a printer: a font, a current
// position in inches from the top-left of the printable area, Print that ends
// the line or stays on it, automatic new pages, and a job that is either sent
// whole (EndDoc) or discarded (KillDoc). What it produces is a list of
// positioned text runs per page, which the PDF composer then draws.
namespace quillory::reports {

using printing::FontMeasure;
using printing::PrintedDocument;
using printing::PrintedPage;
using printing::PrintFont;
using printing::TextRun;

// The Qt font for a printer font; a family the system lacks ("Sans Serif")
// is found through the platform's font substitution.
QFont toQFont(const PrintFont& font);

// Measures with Qt's font metrics on a paint device (the printer itself, or
// any device with the printer's resolution).
class QtFontMeasure : public FontMeasure {
public:
    explicit QtFontMeasure(const QPaintDevice* device);
    ~QtFontMeasure() override;
    double lineHeight(const PrintFont& font) const override;
    double textWidth(const PrintFont& font, const QString& text) const override;

private:
    struct Metrics;
    Metrics& metrics(const PrintFont& font) const;
    const QPaintDevice* m_device;
    mutable QHash<PrintFont, std::shared_ptr<Metrics>> m_metrics;
    // The font asked for last, which is nearly always the next one asked for.
    mutable PrintFont m_lastFont;
    mutable Metrics* m_last = nullptr;
};

class PrintLayout {
public:
    // `printable` is the printable area of the page, in inches.
    PrintLayout(const FontMeasure& measure, QSizeF printable);

    void setFontName(const QString& family);
    void setFontSize(double points);
    void setBold(bool bold);
    const PrintFont& font() const { return m_font; }
    const FontMeasure& measure() const { return m_measure; }

    // A job whose user cancelled stops taking text; its layout is discarded.
    void setCancelFlag(const std::atomic_bool* cancelled) { m_cancelled = cancelled; }
    bool cancelled() const { return m_cancelled && m_cancelled->load(std::memory_order_relaxed); }
    QSizeF printable() const { return m_printable; }

    void setCurrentX(double inches);
    double currentX() const;
    double currentY() const { return m_y; }
    int currentPage() const { return m_page; }

    // Prints `text` at the current position. With `endLine` the next output
    // goes to the start of the next line; without it, it stays on this line
    // right after the text. A CR LF inside the text starts a new line at the
    // left edge. A line that would pass the bottom of the page goes to the top
    // of a new page.
    void print(const QString& text, bool endLine = true);
    void printStaying(const QString& text) { print(text, false); }
    // Prints CR LF as a complete line: the output moves down two lines.
    void printLineBreak();

    // Hands each page over as soon as nothing more can land on it, so that
    // it can be composed while the layout goes on; endDoc() then hands over
    // the rest and keeps no pages. The pages' runs index `fonts`, which only
    // grows.
    using PageSink = std::function<void(PrintedPage&& page, const QVector<PrintFont>& fonts)>;
    void setPageSink(PageSink sink) { m_sink = std::move(sink); }

    // Discards everything printed so far (KillDoc); pages handed to the
    // sink are the sink's to discard.
    void killDoc();
    // Hands over the job and starts a new, empty one (EndDoc). Pages that
    // received no text are not part of it.
    PrintedDocument endDoc(const QString& title = {});

private:
    void placeLine(const QString& text);
    void handOver(int upTo);
    void nextLine();
    int fontIndex();
    double lineHeight();

    const FontMeasure& m_measure;
    QSizeF m_printable;
    PrintFont m_font;
    int m_fontIndex = -1;
    double m_lineHeight = -1; // of m_font, once measured
    double m_x = 0;
    double m_y = 0;
    int m_page = 0;
    // After a staying Print the current x lies right after that text, which
    // is measured only when someone needs that x.
    std::optional<TextRun> m_stayedAfter;
    PrintedDocument m_document;
    const std::atomic_bool* m_cancelled = nullptr;
    PageSink m_sink;
    int m_handedOver = 0; // pages before this one went to the sink
};

} // namespace quillory::reports
