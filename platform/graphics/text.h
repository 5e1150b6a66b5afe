// Fonts and text through FreeType and fontconfig: a face name such as "Arial" resolves to the
// closest installed font; metrics come from the face itself.
#pragma once

#include <memory>
#include <mutex>
#include <string>
#include <string_view>

#include "gdi.h"

namespace platform {

struct LOGFONT {
    LONG lfHeight = 0;  // negative: character height in pixels; positive: cell height
    LONG lfWidth = 0;
    LONG lfEscapement = 0;
    LONG lfOrientation = 0;
    LONG lfWeight = 400;
    BYTE lfItalic = 0;
    BYTE lfUnderline = 0;
    BYTE lfStrikeOut = 0;
    BYTE lfCharSet = 0;
    BYTE lfOutPrecision = 0;
    BYTE lfClipPrecision = 0;
    BYTE lfQuality = 0;
    BYTE lfPitchAndFamily = 0;
    char lfFaceName[32] = {};
};

struct TEXTMETRIC {
    LONG tmHeight = 0;
    LONG tmAscent = 0;
    LONG tmDescent = 0;
    LONG tmAveCharWidth = 0;
    LONG tmMaxCharWidth = 0;
    LONG tmWeight = 0;
    BYTE tmItalic = 0;
    BYTE tmUnderlined = 0;
};

struct SIZE {
    LONG cx = 0, cy = 0;
};

class Font : public GdiObject {
public:
    explicit Font(const LOGFONT& logFont);
    ~Font() override;
    const LOGFONT& logFont() const { return logFont_; }
    // The file the face name resolved to; empty when no font could be found at all.
    const std::string& file() const;
    TEXTMETRIC metrics() const;
    // Advance width of the text in pixels.
    int textWidth(std::string_view utf8) const;
    // Draws the text with its top-left cell corner at the surface point, blending the glyphs'
    // coverage over what is there; returns the width drawn.
    int draw(Surface& surface, const RECT& clip, int x, int top, std::string_view utf8, COLORREF color,
             RECT& touched) const;

private:
    struct Face;
    // The face is found and opened when the font is first used: a context's stock font costs
    // nothing until text is drawn with it.
    Face& face() const;

    LOGFONT logFont_;
    std::unique_ptr<Face> face_;
    mutable std::once_flag loaded_;
};

HFONT CreateFontIndirect(const LOGFONT* logFont);
Font* CreateDefaultFont();
BOOL GetTextMetrics(HDC dc, TEXTMETRIC* metrics);
BOOL GetTextExtentPoint32(HDC dc, const char* text, int length, SIZE* size);
// The characters of a UTF-8 text (a byte outside a valid sequence counts as one).
size_t CharacterCount(std::string_view utf8);
// Text in UTF-8; the alignment and the background mode of the context apply.
BOOL TextOut(HDC dc, int x, int y, const char* text, int length);

}  // namespace platform
