#include "printing/pdfcomposer.h"

#include "printing/printfonts.h"

#include <cairo-pdf.h>
#include <cairo.h>

#include <algorithm>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>
#include <vector>

namespace quillory::printing {

Error printerError(const QString& reason) {
    return {kPrinterError, QStringLiteral("Printer error: ") + reason};
}

namespace {

constexpr double kPointsPerInch = 72.0;

cairo_status_t writeToSink(void* closure, const unsigned char* data, unsigned int length) {
    const PdfSink& sink = *static_cast<const PdfSink*>(closure);
    return sink(reinterpret_cast<const char*>(data), length) ? CAIRO_STATUS_SUCCESS
                                                             : CAIRO_STATUS_WRITE_ERROR;
}

} // namespace

struct PdfComposer::Private {
    PrintFonts& fonts;
    PageSetup page;
    PdfSink sink;
    cairo_surface_t* surface = nullptr;
    cairo_t* cr = nullptr;
    cairo_font_options_t* options = nullptr;
    bool finished = false;

    // The glyphs of one page in one face and size, drawn with one call: cairo
    // spends its time per call more than per glyph.
    struct Batch {
        const PrintFonts::Face* face = nullptr;
        double size = 0;
        cairo_scaled_font_t* font = nullptr;
        std::vector<cairo_glyph_t> glyphs;
    };
    std::vector<Batch> batches;
    Batch* last = nullptr;

    Private(PrintFonts& f, const PageSetup& p, PdfSink s) : fonts(f), page(p), sink(std::move(s)) {}

    ~Private() {
        for (Batch& batch : batches)
            cairo_scaled_font_destroy(batch.font);
        if (cr)
            cairo_destroy(cr);
        if (surface)
            cairo_surface_destroy(surface);
        if (options)
            cairo_font_options_destroy(options);
    }

    Batch& batch(const PrintFonts::Face* face, double size) {
        if (last && last->face == face && last->size == size)
            return *last;
        for (Batch& b : batches)
            if (b.face == face && b.size == size)
                return *(last = &b);
        Batch made;
        made.face = face;
        made.size = size;
        cairo_matrix_t matrix;
        cairo_matrix_init_scale(&matrix, size, size);
        cairo_matrix_t identity;
        cairo_matrix_init_identity(&identity);
        made.font = cairo_scaled_font_create(face->cairoFace(), &matrix, &identity, options);
        batches.push_back(std::move(made));
        return *(last = &batches.back());
    }

    // A shaped text is drawn on its own, with the characters each cluster of
    // glyphs stands for, so that the file reads back as the text was written
    // (right-to-left and joined letters included).
    void showShaped(const PrintFonts::GlyphRun& run, const QString& text, double x, double y) {
        const int count = static_cast<int>(run.glyphs.size());
        if (count == 0)
            return;
        std::vector<cairo_glyph_t> glyphs(count);
        for (int g = 0; g < count; ++g)
            glyphs[g] = {run.glyphs[g], x + run.x[g], y + run.y[g]};
        // Clusters in the order drawn, left to right, each with the
        // characters it stands for: a reader of the file puts right-to-left
        // text back in reading order itself, as it does for any other
        // program's.
        std::vector<int> starts(run.clusters);
        std::sort(starts.begin(), starts.end());
        starts.erase(std::unique(starts.begin(), starts.end()), starts.end());
        const int textEnd = run.textStart + run.textLength;
        std::vector<cairo_text_cluster_t> clusters;
        QByteArray utf8;
        int g = 0;
        while (g < count) {
            const int start = run.clusters[g];
            int glyphsIn = 0;
            while (g < count && run.clusters[g] == start) {
                ++glyphsIn;
                ++g;
            }
            const auto next = std::upper_bound(starts.begin(), starts.end(), start);
            const int end = next == starts.end() ? textEnd : *next;
            const QByteArray bytes = text.mid(start, qMax(0, end - start)).toUtf8();
            utf8 += bytes;
            clusters.push_back({static_cast<int>(bytes.size()), glyphsIn});
        }
        cairo_set_scaled_font(cr, batch(run.face, run.pointSize).font);
        cairo_show_text_glyphs(cr, utf8.constData(), static_cast<int>(utf8.size()), glyphs.data(),
                               count, clusters.data(), static_cast<int>(clusters.size()),
                               cairo_text_cluster_flags_t(0));
    }

    void drawImage(const PlacedImage& placed, double originX, double originY) {
        if (placed.image.isNull() || placed.inches.isEmpty())
            return;
        const bool opaque = !placed.image.hasAlphaChannel();
        // Qt's 32-bit formats lay pixels out as cairo's do, word by word.
        const QImage image = placed.image.convertToFormat(
            opaque ? QImage::Format_RGB32 : QImage::Format_ARGB32_Premultiplied);
        cairo_surface_t* source = cairo_image_surface_create_for_data(
            const_cast<uchar*>(image.constBits()),
            opaque ? CAIRO_FORMAT_RGB24 : CAIRO_FORMAT_ARGB32, image.width(), image.height(),
            static_cast<int>(image.bytesPerLine()));
        cairo_save(cr);
        cairo_translate(cr, originX + placed.inches.x() * kPointsPerInch,
                        originY + placed.inches.y() * kPointsPerInch);
        cairo_scale(cr, placed.inches.width() * kPointsPerInch / image.width(),
                    placed.inches.height() * kPointsPerInch / image.height());
        cairo_set_source_surface(cr, source, 0, 0);
        cairo_paint(cr);
        cairo_restore(cr);
        cairo_surface_destroy(source);
        cairo_set_source_rgb(cr, 0, 0, 0);
    }
};

PdfComposer::PdfComposer(PrintFonts& fonts, const PageSetup& page, const QString& title,
                         PdfSink sink)
    : d(std::make_unique<Private>(fonts, page, std::move(sink))) {
    d->surface = cairo_pdf_surface_create_for_stream(writeToSink, &d->sink,
                                                     page.paper.width() * kPointsPerInch,
                                                     page.paper.height() * kPointsPerInch);
    if (!title.isEmpty())
        cairo_pdf_surface_set_metadata(d->surface, CAIRO_PDF_METADATA_TITLE,
                                       title.toUtf8().constData());
    cairo_pdf_surface_set_metadata(d->surface, CAIRO_PDF_METADATA_CREATOR, "Quillory");
    d->cr = cairo_create(d->surface);
    cairo_set_source_rgb(d->cr, 0, 0, 0);
    // Outlines as the font draws them, at their exact widths.
    d->options = cairo_font_options_create();
    cairo_font_options_set_hint_style(d->options, CAIRO_HINT_STYLE_NONE);
    cairo_font_options_set_hint_metrics(d->options, CAIRO_HINT_METRICS_OFF);
}

PdfComposer::~PdfComposer() = default;

void PdfComposer::addPage(const PrintedPage& page, const QVector<PrintFont>& fonts) {
    const double originX = d->page.margins.left() * kPointsPerInch;
    const double originY = d->page.margins.top() * kPointsPerInch;
    for (const PlacedImage& image : page.images)
        d->drawImage(image, originX, originY);

    std::vector<PrintFonts::GlyphRun> shaped;
    for (const TextRun& run : page.runs) {
        const PrintFonts::Sized& font = d->fonts.sized(fonts.at(run.font));
        if (!font.face || run.text.isEmpty())
            continue;
        double x = originX + run.x * kPointsPerInch;
        const double y = originY + run.y * kPointsPerInch + font.ascent;
        if (PrintFonts::isSimple(font, run.text)) {
            std::vector<cairo_glyph_t>& glyphs = d->batch(font.face, font.pointSize).glyphs;
            for (const QChar c : run.text) {
                const int i = PrintFonts::simpleIndex(c.unicode());
                glyphs.push_back({font.simpleGlyph[i], x, y});
                x += font.simpleAdvance[i];
            }
            continue;
        }
        shaped.clear();
        d->fonts.shape(font, run.text, &shaped);
        for (const PrintFonts::GlyphRun& glyphs : shaped)
            d->showShaped(glyphs, run.text, x, y);
    }
    for (Private::Batch& batch : d->batches) {
        if (batch.glyphs.empty())
            continue;
        cairo_set_scaled_font(d->cr, batch.font);
        cairo_show_glyphs(d->cr, batch.glyphs.data(), static_cast<int>(batch.glyphs.size()));
        batch.glyphs.clear();
    }
    cairo_show_page(d->cr);
}

Error PdfComposer::finish() {
    if (!d->finished) {
        d->finished = true;
        cairo_surface_finish(d->surface);
    }
    const cairo_status_t status = cairo_surface_status(d->surface);
    if (status != CAIRO_STATUS_SUCCESS)
        return printerError(QStringLiteral("the PDF could not be made (%1).")
                                .arg(QString::fromUtf8(cairo_status_to_string(status))));
    return Error::none();
}

// --- PdfComposerThread -----------------------------------------------------------

struct PdfComposerThread::Private {
    struct Item {
        PrintedPage page;
        QVector<PrintFont> fonts;
    };
    std::mutex mutex;
    std::condition_variable wake;
    std::deque<Item> queue;
    bool noMore = false;
    bool abandoned = false;
    const std::atomic_bool* cancelled = nullptr;
    QByteArray pdf;
    Error error;
    std::thread thread;

    bool stopping() const { return abandoned || (cancelled && cancelled->load()); }

    void run(PageSetup page, QString title) {
        PrintFonts fonts;
        PdfComposer composer(fonts, page, title, [this](const char* data, size_t length) {
            pdf.append(data, static_cast<qsizetype>(length));
            return true;
        });
        std::deque<Item> taken;
        while (true) {
            {
                std::unique_lock lock(mutex);
                wake.wait(lock, [this] { return !queue.empty() || noMore || abandoned; });
                if (stopping())
                    return;
                taken.swap(queue);
                if (taken.empty() && noMore)
                    break;
            }
            for (Item& item : taken) {
                if (stopping())
                    return;
                composer.addPage(item.page, item.fonts);
            }
            taken.clear();
        }
        error = composer.finish();
    }
};

PdfComposerThread::PdfComposerThread(const PageSetup& page, const QString& title,
                                     const std::atomic_bool* cancelled)
    : d(std::make_unique<Private>()) {
    d->cancelled = cancelled;
    d->thread = std::thread([this, page, title] { d->run(page, title); });
}

PdfComposerThread::~PdfComposerThread() {
    if (d->thread.joinable())
        abandon();
}

void PdfComposerThread::addPage(PrintedPage&& page, const QVector<PrintFont>& fonts) {
    {
        const std::lock_guard lock(d->mutex);
        d->queue.push_back({std::move(page), fonts});
    }
    d->wake.notify_one();
}

QByteArray PdfComposerThread::finish(Error* error) {
    {
        const std::lock_guard lock(d->mutex);
        d->noMore = true;
    }
    d->wake.notify_one();
    if (d->thread.joinable())
        d->thread.join();
    if (d->stopping()) {
        if (error)
            *error = Error::none();
        return {};
    }
    if (error)
        *error = d->error;
    return d->error.isError() ? QByteArray() : std::move(d->pdf);
}

void PdfComposerThread::abandon() {
    {
        const std::lock_guard lock(d->mutex);
        d->abandoned = true;
    }
    d->wake.notify_one();
    if (d->thread.joinable())
        d->thread.join();
}

QByteArray composePdf(const PrintedDocument& document, PrintFonts& fonts, Error* error,
                      const std::atomic_bool* cancelled) {
    QByteArray pdf;
    {
        PdfComposer composer(fonts, document.page, document.title,
                             [&pdf](const char* data, size_t length) {
                                 pdf.append(data, static_cast<qsizetype>(length));
                                 return true;
                             });
        for (const PrintedPage& page : document.pages) {
            if (cancelled && cancelled->load())
                return {};
            composer.addPage(page, document.fonts);
        }
        const Error finished = composer.finish();
        if (error)
            *error = finished;
        if (finished.isError())
            return {};
    }
    return pdf;
}

} // namespace quillory::printing
