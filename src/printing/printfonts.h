#pragma once

#include "printing/printeddocument.h"

#include <QByteArray>

#include <array>
#include <map>
#include <memory>
#include <vector>

struct _cairo_font_face;
struct hb_font_t;
struct hb_buffer_t;
struct _FcCharSet;

namespace quillory::printing {

// The fonts of printed pages, found through fontconfig as the desktop finds
// them: a printer font's own face, the faces that stand in for characters it
// lacks (Chinese, Japanese and Korean names, say), the room a text takes,
// and the glyphs that draw it.
//
// A text of Latin letters, digits and common punctuation needs no shaping:
// its glyphs and widths come from a table per font, side by side, as the
// desktop sets such text without kerning. Any other text is shaped with HarfBuzz, face by face,
// with its right-to-left parts in the order of the Unicode bidirectional algorithm (ICU). Measuring
// and drawing go the same way, so a text fits on paper where the layout found room for it.
//
// One object serves one thread at a time.
class PrintFonts : public FontMeasure {
public:
    // Latin (up to U+024F) and general punctuation with the currency signs
    // (U+2000 to U+20CF) stand side by side without shaping; their place in
    // the tables of a Sized font, or -1.
    static constexpr int kSimpleCount = 0x250 + 0xd0;
    static int simpleIndex(char16_t c) {
        if (c < 0x250)
            return c;
        if (c >= 0x2000 && c < 0x20d0)
            return 0x250 + (c - 0x2000);
        return -1;
    }

    // One font file: HarfBuzz's view of it for glyphs and widths, and the
    // face that cairo draws with, made when first drawn. Both number the
    // glyphs of the same file, the same way.
    struct Face {
        QByteArray file;
        int index = 0;
        hb_font_t* hb = nullptr;
        double unitsPerEm = 1000;
        _cairo_font_face* cairoFace() const;
        ~Face();

    private:
        mutable _cairo_font_face* m_cairo = nullptr;
    };

    // A printer font at its size.
    struct Sized {
        Face* face = nullptr; // the family's own face
        int family = 0;       // index of its list of stand-ins
        double pointSize = 0;
        double scale = 0;      // points per font unit of `face`
        double ascent = 0;     // points, from the top of the line to the baseline
        double lineHeight = 0; // points
        // The characters that need no shaping (see simpleIndex()), straight
        // from the face: glyph 0 means the face lacks the character.
        std::array<unsigned, kSimpleCount> simpleGlyph{};
        std::array<float, kSimpleCount> simpleAdvance{}; // points
    };

    // Glyphs of one face along a line, in the order drawn (left to right),
    // with their places in points from the start of the text.
    struct GlyphRun {
        const Face* face = nullptr;
        double pointSize = 0;
        std::vector<unsigned> glyphs;
        std::vector<double> x;
        std::vector<double> y; // upwards is negative, as on the page
        // Where each glyph's characters begin in the text (in UTF-16 units),
        // and whether the run reads right to left.
        std::vector<int> clusters;
        bool rightToLeft = false;
        // The characters the run stands for (in UTF-16 units of the text).
        int textStart = 0;
        int textLength = 0;
    };

    PrintFonts();
    ~PrintFonts() override;
    PrintFonts(const PrintFonts&) = delete;
    PrintFonts& operator=(const PrintFonts&) = delete;

    const Sized& sized(const PrintFont& font) const;

    double lineHeight(const PrintFont& font) const override;
    double textWidth(const PrintFont& font, const QString& text) const override;

    // Whether every character of `text` comes straight from the table.
    static bool isSimple(const Sized& font, const QString& text) {
        for (const QChar c : text) {
            const int i = simpleIndex(c.unicode());
            if (i < 0 || font.simpleGlyph[i] == 0)
                return false;
        }
        return true;
    }
    // The width of a simple text, in points.
    static double simpleWidth(const Sized& font, const QString& text) {
        double sum = 0;
        for (const QChar c : text)
            sum += font.simpleAdvance[simpleIndex(c.unicode())];
        return sum;
    }

    // Shapes any text into runs of glyphs; gives its width in points.
    double shape(const Sized& font, const QString& text, std::vector<GlyphRun>* runs) const;

private:
    struct Candidate {
        QByteArray file;
        int index = 0;
        _FcCharSet* charset = nullptr;
    };
    struct Family {
        std::vector<Candidate> candidates;
        ~Family();
    };

    Face* face(const QByteArray& file, int index) const;
    int family(const PrintFont& font) const;
    Face* faceFor(int family, char32_t c) const;

    hb_buffer_t* m_buffer = nullptr;
    mutable std::map<std::pair<QByteArray, int>, std::unique_ptr<Face>> m_faces;
    mutable std::vector<std::unique_ptr<Family>> m_families;
    mutable QHash<std::pair<QString, bool>, int> m_familyIndex;
    mutable QHash<PrintFont, std::shared_ptr<Sized>> m_sized;
    mutable PrintFont m_lastFont;
    mutable const Sized* m_last = nullptr;
};

} // namespace quillory::printing
