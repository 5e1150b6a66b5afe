#include "text.h"

#include <algorithm>
#include <cstring>
#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include <map>
#include <mutex>
#include <unordered_map>
#include <vector>
#include FT_FREETYPE_H

namespace platform {
namespace {

std::mutex gFreeTypeMutex;

FT_Library Library() {
    static FT_Library library = [] {
        FT_Library made = nullptr;
        if (FT_Init_FreeType(&made) != 0) made = nullptr;
        return made;
    }();
    return library;
}

// Resolves the face through fontconfig: the family, weight and slant of the logical font.
std::pair<std::string, int> FindFontFile(const LOGFONT& logFont) {
    static std::once_flag initialised;
    std::call_once(initialised, [] { FcInit(); });
    FcPattern* pattern = FcPatternCreate();
    const std::string family = logFont.lfFaceName[0] ? logFont.lfFaceName : "Arial";
    FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>(family.c_str()));
    FcPatternAddInteger(pattern, FC_WEIGHT, FcWeightFromOpenType(std::clamp(int(logFont.lfWeight ? logFont.lfWeight : 400), 1, 1000)));
    FcPatternAddInteger(pattern, FC_SLANT, logFont.lfItalic ? FC_SLANT_ITALIC : FC_SLANT_ROMAN);
    FcPatternAddBool(pattern, FC_SCALABLE, FcTrue);
    FcConfigSubstitute(nullptr, pattern, FcMatchPattern);
    FcDefaultSubstitute(pattern);
    FcResult result;
    FcPattern* match = FcFontMatch(nullptr, pattern, &result);
    std::pair<std::string, int> found{"", 0};
    if (match) {
        FcChar8* file = nullptr;
        int index = 0;
        if (FcPatternGetString(match, FC_FILE, 0, &file) == FcResultMatch) found.first = reinterpret_cast<char*>(file);
        if (FcPatternGetInteger(match, FC_INDEX, 0, &index) == FcResultMatch) found.second = index;
        FcPatternDestroy(match);
    }
    FcPatternDestroy(pattern);
    return found;
}

// Decodes UTF-8; a byte that is not part of a valid sequence stands for itself (Latin-1).
std::vector<char32_t> CodePoints(std::string_view text) {
    std::vector<char32_t> points;
    for (size_t i = 0; i < text.size();) {
        const auto lead = static_cast<unsigned char>(text[i]);
        size_t length = lead < 0x80 ? 1 : (lead & 0xE0) == 0xC0 ? 2 : (lead & 0xF0) == 0xE0 ? 3 : (lead & 0xF8) == 0xF0 ? 4 : 0;
        char32_t point = length == 1 ? lead : length == 2 ? lead & 0x1F : length == 3 ? lead & 0x0F : lead & 0x07;
        bool valid = length > 0 && i + length <= text.size();
        for (size_t k = 1; valid && k < length; ++k) {
            const auto next = static_cast<unsigned char>(text[i + k]);
            valid = (next & 0xC0) == 0x80;
            point = (point << 6) | (next & 0x3F);
        }
        if (!valid) {
            points.push_back(lead);
            ++i;
        } else {
            points.push_back(point);
            i += length;
        }
    }
    return points;
}

std::uint32_t Blend(std::uint32_t under, COLORREF color, unsigned coverage) {
    const auto mix = [coverage](unsigned back, unsigned front) { return (back * (255 - coverage) + front * coverage + 127) / 255; };
    return (mix((under >> 16) & 0xFF, GetRValue(color)) << 16) | (mix((under >> 8) & 0xFF, GetGValue(color)) << 8) |
           mix(under & 0xFF, GetBValue(color));
}

}  // namespace

// A rendered glyph, kept so that text drawn again and again (the marquee, every 50 ms) is
// rendered by FreeType once.
struct CachedGlyph {
    int advance = 0, left = 0, top = 0;
    int width = 0, rows = 0;
    std::vector<unsigned char> coverage;  // rows × width
};

struct Font::Face {
    std::string file;
    FT_Face face = nullptr;
    TEXTMETRIC metrics;
    std::unordered_map<char32_t, CachedGlyph> glyphs;

    // Under gFreeTypeMutex; nothing for a character the face cannot render.
    const CachedGlyph* glyph(char32_t point) {
        if (auto it = glyphs.find(point); it != glyphs.end()) return &it->second;
        if (FT_Load_Char(face, point, FT_LOAD_RENDER) != 0) return nullptr;
        constexpr size_t kMostGlyphs = 4096;  // text in many scripts must not grow the cache for ever
        if (glyphs.size() >= kMostGlyphs) glyphs.clear();
        const FT_GlyphSlot slot = face->glyph;
        const FT_Bitmap& bitmap = slot->bitmap;
        CachedGlyph made;
        made.advance = int((slot->advance.x + 32) >> 6);
        made.left = slot->bitmap_left;
        made.top = slot->bitmap_top;
        made.width = int(bitmap.width);
        made.rows = int(bitmap.rows);
        made.coverage.resize(size_t(made.width) * size_t(made.rows));
        for (int row = 0; row < made.rows; ++row)
            std::memcpy(made.coverage.data() + size_t(row) * size_t(made.width),
                        bitmap.buffer + std::ptrdiff_t(row) * bitmap.pitch, size_t(made.width));
        return &glyphs.emplace(point, std::move(made)).first->second;
    }
};

Font::Font(const LOGFONT& logFont) : logFont_(logFont), face_(std::make_unique<Face>()) { logFont_.lfFaceName[31] = 0; }

Font::Face& Font::face() const {
    std::call_once(loaded_, [this] {
        auto [file, index] = FindFontFile(logFont_);
        face_->file = file;
        std::lock_guard lock(gFreeTypeMutex);
        if (file.empty() || !Library() || FT_New_Face(Library(), file.c_str(), index, &face_->face) != 0) {
            face_->face = nullptr;
            return;
        }
        FT_Face face = face_->face;
        const int height = logFont_.lfHeight == 0 ? -16 : logFont_.lfHeight;
        if (height < 0) {
            FT_Set_Pixel_Sizes(face, 0, FT_UInt(-height));
        } else {
            // A positive height is the whole cell: ascent plus descent.
            const int cell = std::max(1, int(face->ascender - face->descender));
            FT_Set_Pixel_Sizes(face, 0, FT_UInt(std::max(1L, long(height) * face->units_per_EM / cell)));
        }
        TEXTMETRIC& metrics = face_->metrics;
        metrics.tmAscent = LONG((face->size->metrics.ascender + 63) >> 6);
        metrics.tmDescent = LONG((-face->size->metrics.descender + 63) >> 6);
        metrics.tmHeight = metrics.tmAscent + metrics.tmDescent;
        metrics.tmMaxCharWidth = LONG((face->size->metrics.max_advance + 63) >> 6);
        if (FT_Load_Char(face, 'x', FT_LOAD_DEFAULT) == 0) metrics.tmAveCharWidth = LONG((face->glyph->advance.x + 32) >> 6);
        metrics.tmWeight = logFont_.lfWeight;
        metrics.tmItalic = logFont_.lfItalic;
        metrics.tmUnderlined = logFont_.lfUnderline;
    });
    return *face_;
}

Font::~Font() {
    std::lock_guard lock(gFreeTypeMutex);
    if (face_->face) FT_Done_Face(face_->face);
}

const std::string& Font::file() const { return face().file; }

TEXTMETRIC Font::metrics() const { return face().metrics; }

size_t CharacterCount(std::string_view utf8) { return CodePoints(utf8).size(); }

int Font::textWidth(std::string_view utf8) const {
    if (!face().face) return 0;
    std::lock_guard lock(gFreeTypeMutex);
    int width = 0;
    for (char32_t point : CodePoints(utf8))
        if (const CachedGlyph* glyph = face_->glyph(point)) width += glyph->advance;
    return width;
}

int Font::draw(Surface& surface, const RECT& clip, int x, int top, std::string_view utf8, COLORREF color,
               RECT& touched) const {
    if (!face().face) return 0;
    std::lock_guard lock(gFreeTypeMutex);
    FT_Face face = face_->face;
    const int baseline = top + face_->metrics.tmAscent;
    const int start = x;
    for (char32_t point : CodePoints(utf8)) {
        const CachedGlyph* glyph = face_->glyph(point);
        if (!glyph) continue;
        const int left = x + glyph->left, glyphTop = baseline - glyph->top;
        const RECT box = IntersectRects(RECT{left, glyphTop, left + glyph->width, glyphTop + glyph->rows}, clip);
        for (int y = box.top; y < box.bottom; ++y) {
            const unsigned char* coverage = glyph->coverage.data() + size_t(y - glyphTop) * size_t(glyph->width);
            for (int px = box.left; px < box.right; ++px) {
                const unsigned amount = coverage[px - left];
                if (amount == 0) continue;
                const std::uint32_t under = surface.pixel(px, y);
                surface.setValue(px, y, DeviceValue(ColorFromRgb(Blend(under, color, amount)), surface.depth()));
            }
        }
        touched = UnionRects(touched, box);
        x += glyph->advance;
    }
    if (logFont_.lfUnderline) {
        const int y = baseline + std::max(1, int(-face->underline_position * face->size->metrics.y_ppem / std::max<int>(1, face->units_per_EM)));
        const RECT line = IntersectRects(RECT{start, y, x, y + 1}, clip);
        surface.fillValue(line, DeviceValue(color, surface.depth()));
        touched = UnionRects(touched, line);
    }
    return x - start;
}

HFONT CreateFontIndirect(const LOGFONT* logFont) { return logFont ? new Font(*logFont) : nullptr; }

Font* CreateDefaultFont() {
    LOGFONT logFont;
    logFont.lfHeight = -16;
    std::strcpy(logFont.lfFaceName, "Arial");
    return new Font(logFont);
}

BOOL GetTextMetrics(HDC dc, TEXTMETRIC* metrics) {
    if (!dc || !dc->font || !metrics) return FALSE;
    *metrics = dc->font->metrics();
    return TRUE;
}

BOOL GetTextExtentPoint32(HDC dc, const char* text, int length, SIZE* size) {
    if (!dc || !dc->font || !text || !size || length < 0) return FALSE;
    size->cx = dc->font->textWidth(std::string_view(text, size_t(length)));
    size->cy = dc->font->metrics().tmHeight;
    return TRUE;
}

BOOL TextOut(HDC dc, int x, int y, const char* text, int length) {
    if (!dc || !dc->font || !dc->surface || !text || length < 0) return FALSE;
    const std::string_view utf8(text, size_t(length));
    const Font& font = *dc->font;
    const TEXTMETRIC metrics = font.metrics();
    const int width = font.textWidth(utf8);
    const bool updatePosition = dc->textAlign & TA_UPDATECP;
    POINT reference = updatePosition ? dc->position : POINT{x, y};
    int left = reference.x;
    switch (dc->textAlign & TA_CENTER) {
    case TA_CENTER: left -= width / 2; break;
    case TA_RIGHT: left -= width; break;
    default: break;
    }
    int top = reference.y;
    if ((dc->textAlign & TA_BASELINE) == TA_BASELINE) top -= metrics.tmAscent;
    else if (dc->textAlign & TA_BOTTOM) top -= metrics.tmHeight;
    const RECT cell{left, top, left + width, top + metrics.tmHeight};
    if (dc->backMode == OPAQUE) dc->fill(cell, dc->backColor);
    RECT touched{};
    font.draw(*dc->surface, dc->bounds(), left + dc->origin.x, top + dc->origin.y, utf8, dc->textColor, touched);
    dc->markTouched(touched);
    if (updatePosition) {
        if ((dc->textAlign & TA_CENTER) == TA_LEFT) dc->position.x += width;
        else if ((dc->textAlign & TA_CENTER) == TA_RIGHT) dc->position.x -= width;
    }
    return TRUE;
}

}  // namespace platform
