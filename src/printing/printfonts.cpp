#include "printing/printfonts.h"

#include <cairo-ft.h>
#include <fontconfig/fontconfig.h>
#include <hb-ot.h>
#include <hb.h>
#include <unicode/ubidi.h>
#include <unicode/uchar.h>

#include <algorithm>

namespace quillory::printing {

size_t qHash(const PrintFont& font, size_t seed) {
    return ::qHashMulti(seed, font.family, font.pointSize, font.bold);
}

namespace {

// Characters that belong with the one before them, whatever font has them:
// accents, joiners and variation selectors.
bool joinsPrevious(char32_t c) {
    switch (u_charType(static_cast<UChar32>(c))) {
    case U_NON_SPACING_MARK:
    case U_ENCLOSING_MARK:
    case U_COMBINING_SPACING_MARK:
    case U_FORMAT_CHAR:
        return true;
    default:
        return (c >= 0xfe00 && c <= 0xfe0f) || (c >= 0xe0100 && c <= 0xe01ef);
    }
}

// Whether a character of the simple ranges is drawn as its own glyph, right
// after the one before it. Control characters, joiners, marks of direction
// and invisible operators take the shaped way, which knows what they do.
bool standsAlone(char16_t c) {
    if (c < 0x20 || (c >= 0x7f && c < 0xa0) || c == 0xad)
        return false;
    if (c >= 0x200b && c <= 0x200f) // zero-width space and joiners, direction marks
        return false;
    if (c >= 0x2028 && c <= 0x202e) // line and paragraph separators, embeddings
        return false;
    if (c >= 0x2060 && c <= 0x206f) // word joiner, invisible operators, isolates
        return false;
    return true;
}

} // namespace

// --- Face ------------------------------------------------------------------------

_cairo_font_face* PrintFonts::Face::cairoFace() const {
    if (!m_cairo) {
        // cairo opens the same file through its own FreeType library, which
        // it guards for use from several threads.
        FcPattern* pattern = FcPatternCreate();
        FcPatternAddString(pattern, FC_FILE, reinterpret_cast<const FcChar8*>(file.constData()));
        FcPatternAddInteger(pattern, FC_INDEX, index);
        FcPatternAddBool(pattern, FC_HINTING, FcFalse);
        m_cairo = cairo_ft_font_face_create_for_pattern(pattern);
        FcPatternDestroy(pattern);
    }
    return m_cairo;
}

PrintFonts::Face::~Face() {
    if (m_cairo)
        cairo_font_face_destroy(m_cairo);
    hb_font_destroy(hb);
}

PrintFonts::Family::~Family() {
    for (Candidate& candidate : candidates)
        FcCharSetDestroy(candidate.charset);
}

// --- PrintFonts ------------------------------------------------------------------

PrintFonts::PrintFonts() : m_buffer(hb_buffer_create()) {
    FcInit();
}

PrintFonts::~PrintFonts() {
    hb_buffer_destroy(m_buffer);
}

PrintFonts::Face* PrintFonts::face(const QByteArray& file, int index) const {
    const auto key = std::make_pair(file, index);
    if (const auto found = m_faces.find(key); found != m_faces.end())
        return found->second.get();
    hb_blob_t* blob = hb_blob_create_from_file(file.constData());
    Face* made = nullptr;
    if (hb_blob_get_length(blob) > 0) {
        hb_face_t* hbFace = hb_face_create(blob, static_cast<unsigned>(index));
        if (hb_face_get_glyph_count(hbFace) > 0) {
            auto face = std::make_unique<Face>();
            face->file = file;
            face->index = index;
            face->unitsPerEm = hb_face_get_upem(hbFace);
            // Unscaled: widths and offsets come in the font's own units.
            face->hb = hb_font_create(hbFace);
            made = face.get();
            m_faces.emplace(key, std::move(face));
        }
        hb_face_destroy(hbFace);
    }
    hb_blob_destroy(blob);
    if (!made)
        m_faces.emplace(key, nullptr);
    return made;
}

int PrintFonts::family(const PrintFont& font) const {
    const auto key = std::make_pair(font.family, font.bold);
    if (const auto found = m_familyIndex.constFind(key); found != m_familyIndex.constEnd())
        return *found;
    // The family asked for, then the desktop's sans serif face, then every
    // face that adds characters the ones before it lack, best match first.
    FcPattern* pattern = FcPatternCreate();
    FcPatternAddString(pattern, FC_FAMILY,
                       reinterpret_cast<const FcChar8*>(font.family.toUtf8().constData()));
    FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>("sans-serif"));
    FcPatternAddInteger(pattern, FC_WEIGHT, font.bold ? FC_WEIGHT_BOLD : FC_WEIGHT_REGULAR);
    FcPatternAddInteger(pattern, FC_SLANT, FC_SLANT_ROMAN);
    FcPatternAddBool(pattern, FC_SCALABLE, FcTrue);
    FcConfigSubstitute(nullptr, pattern, FcMatchPattern);
    FcDefaultSubstitute(pattern);
    FcResult result = FcResultMatch;
    FcFontSet* set = FcFontSort(nullptr, pattern, FcTrue, nullptr, &result);
    FcPatternDestroy(pattern);

    auto family = std::make_unique<Family>();
    for (int i = 0; set && i < set->nfont; ++i) {
        FcPattern* found = set->fonts[i];
        FcChar8* file = nullptr;
        int index = 0;
        FcBool scalable = FcFalse;
        FcCharSet* charset = nullptr;
        if (FcPatternGetString(found, FC_FILE, 0, &file) != FcResultMatch ||
            FcPatternGetCharSet(found, FC_CHARSET, 0, &charset) != FcResultMatch)
            continue;
        if (FcPatternGetBool(found, FC_SCALABLE, 0, &scalable) == FcResultMatch && !scalable)
            continue;
        FcPatternGetInteger(found, FC_INDEX, 0, &index);
        family->candidates.push_back(
            {QByteArray(reinterpret_cast<const char*>(file)), index, FcCharSetCopy(charset)});
    }
    if (set)
        FcFontSetDestroy(set);
    m_families.push_back(std::move(family));
    const int made = static_cast<int>(m_families.size()) - 1;
    m_familyIndex.insert(key, made);
    return made;
}

PrintFonts::Face* PrintFonts::faceFor(int family, char32_t c) const {
    for (const Candidate& candidate : m_families[family]->candidates)
        if (FcCharSetHasChar(candidate.charset, c))
            if (Face* found = face(candidate.file, candidate.index))
                return found;
    return nullptr;
}

const PrintFonts::Sized& PrintFonts::sized(const PrintFont& font) const {
    if (m_last && font == m_lastFont)
        return *m_last;
    auto found = m_sized.constFind(font);
    if (found == m_sized.constEnd()) {
        auto made = std::make_shared<Sized>();
        made->family = family(font);
        made->pointSize = font.pointSize;
        for (const Candidate& candidate : m_families[made->family]->candidates)
            if ((made->face = face(candidate.file, candidate.index)))
                break;
        if (made->face) {
            hb_font_t* hb = made->face->hb;
            made->scale = font.pointSize / made->face->unitsPerEm;
            hb_font_extents_t extents{};
            hb_font_get_h_extents(hb, &extents);
            made->ascent = extents.ascender * made->scale;
            made->lineHeight =
                (extents.ascender - extents.descender + extents.line_gap) * made->scale;
            for (char16_t c = 0; c < 0x20d0; ++c) {
                const int i = simpleIndex(c);
                if (i < 0 || !standsAlone(c))
                    continue;
                hb_codepoint_t glyph = 0;
                if (!hb_font_get_nominal_glyph(hb, c, &glyph))
                    continue;
                made->simpleGlyph[i] = glyph;
                made->simpleAdvance[i] =
                    static_cast<float>(hb_font_get_glyph_h_advance(hb, glyph) * made->scale);
            }
        } else {
            // No font at all: the text takes no room and prints nothing, but
            // lines still have their height.
            made->ascent = 0.8 * font.pointSize;
            made->lineHeight = 1.2 * font.pointSize;
        }
        found = m_sized.insert(font, made);
    }
    m_lastFont = font;
    m_last = found->get();
    return *m_last;
}

double PrintFonts::lineHeight(const PrintFont& font) const {
    return sized(font).lineHeight / 72.0;
}

double PrintFonts::textWidth(const PrintFont& font, const QString& text) const {
    const Sized& s = sized(font);
    if (isSimple(s, text))
        return simpleWidth(s, text) / 72.0;
    return shape(s, text, nullptr) / 72.0;
}

double PrintFonts::shape(const Sized& font, const QString& text,
                         std::vector<GlyphRun>* runs) const {
    const int n = static_cast<int>(text.size());
    if (n == 0 || !font.face)
        return 0;
    const auto* units = reinterpret_cast<const char16_t*>(text.utf16());

    // The face of each character: the font's own where it has it, else the
    // first stand-in that has it; marks stay with the character they mark.
    std::vector<Face*> faces(n, font.face);
    Face* previous = nullptr;
    for (int i = 0; i < n;) {
        char32_t c = units[i];
        int length = 1;
        if (QChar::isHighSurrogate(units[i]) && i + 1 < n && QChar::isLowSurrogate(units[i + 1])) {
            c = QChar::surrogateToUcs4(units[i], units[i + 1]);
            length = 2;
        }
        Face* chosen = previous && joinsPrevious(c) ? previous : faceFor(font.family, c);
        if (!chosen)
            chosen = font.face;
        for (int k = 0; k < length; ++k)
            faces[i + k] = chosen;
        previous = chosen;
        i += length;
    }

    // The runs of one direction, left to right on the page.
    struct Piece {
        int start;
        int length;
        bool rtl;
    };
    std::vector<Piece> visual;
    UErrorCode status = U_ZERO_ERROR;
    UBiDi* bidi = ubidi_openSized(n, 0, &status);
    if (U_SUCCESS(status))
        ubidi_setPara(bidi, reinterpret_cast<const UChar*>(units), n, UBIDI_DEFAULT_LTR, nullptr,
                      &status);
    const int32_t count = U_SUCCESS(status) ? ubidi_countRuns(bidi, &status) : 0;
    if (U_FAILURE(status) || count <= 0) {
        visual.push_back({0, n, false});
    } else {
        for (int32_t r = 0; r < count; ++r) {
            int32_t start = 0;
            int32_t length = 0;
            const bool rtl = ubidi_getVisualRun(bidi, r, &start, &length) == UBIDI_RTL;
            visual.push_back({start, length, rtl});
        }
    }
    if (bidi)
        ubidi_close(bidi);

    double pen = 0;
    std::vector<Piece> pieces;
    for (const Piece& run : visual) {
        // Within a run, one piece per face, in reading order.
        pieces.clear();
        for (int i = run.start; i < run.start + run.length;) {
            int j = i + 1;
            while (j < run.start + run.length && faces[j] == faces[i])
                ++j;
            pieces.push_back({i, j - i, run.rtl});
            i = j;
        }
        if (run.rtl)
            std::reverse(pieces.begin(), pieces.end());
        for (const Piece& piece : pieces) {
            Face* face = faces[piece.start];
            hb_buffer_clear_contents(m_buffer);
            hb_buffer_add_utf16(m_buffer, reinterpret_cast<const uint16_t*>(units), n,
                                static_cast<unsigned>(piece.start), piece.length);
            hb_buffer_set_direction(m_buffer, piece.rtl ? HB_DIRECTION_RTL : HB_DIRECTION_LTR);
            hb_buffer_guess_segment_properties(m_buffer);
            hb_shape(face->hb, m_buffer, nullptr, 0);
            unsigned glyphs = 0;
            const hb_glyph_info_t* info = hb_buffer_get_glyph_infos(m_buffer, &glyphs);
            const hb_glyph_position_t* position = hb_buffer_get_glyph_positions(m_buffer, nullptr);
            const double scale = font.pointSize / face->unitsPerEm;
            GlyphRun* out = nullptr;
            if (runs) {
                out = &runs->emplace_back();
                out->face = face;
                out->pointSize = font.pointSize;
                out->rightToLeft = piece.rtl;
                out->textStart = piece.start;
                out->textLength = piece.length;
                out->glyphs.reserve(glyphs);
                out->x.reserve(glyphs);
                out->y.reserve(glyphs);
                out->clusters.reserve(glyphs);
            }
            for (unsigned g = 0; g < glyphs; ++g) {
                if (out) {
                    out->glyphs.push_back(info[g].codepoint);
                    out->x.push_back(pen + position[g].x_offset * scale);
                    out->y.push_back(-position[g].y_offset * scale);
                    out->clusters.push_back(static_cast<int>(info[g].cluster));
                }
                pen += position[g].x_advance * scale;
            }
        }
    }
    return pen;
}

} // namespace quillory::printing
