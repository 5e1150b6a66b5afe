// The marquee strip along the bottom of the saver window: one line of text scrolling from right
// to left a pixel a step with a seamless wrap, or standing still in the middle.
#pragma once

#include <string>

#include "gdi.h"
#include "text.h"
#include "win_types.h"

namespace saver {

using platform::COLORREF;
using platform::Font;
using platform::HBRUSH;
using platform::HWND;
using platform::RECT;

class MarqueeStrip {
public:
    // Measures the font and lays the strip along the bottom of the desktop; the scroll position
    // starts at a third of its width.
    void Layout(HWND window, Font& font, const RECT& desktop, COLORREF background);

    // Text width = characters (not bytes) × average character width; true when the width changed, and the
    // strip must then be cleared.
    bool SetTextWidth(const std::string& text);
    void Clear(HWND window, HBRUSH brush) const;

    // Scrolling: one pixel left and the text drawn (with its next copy when its start has left
    // the strip). Still: centred, drawn only when the text changed or forceRedraw.
    void Step(HWND window, Font& font, COLORREF textColor, bool still, const std::string& text,
              const std::string& previousText, bool forceRedraw);

    const RECT& rect() const { return rect_; }
    int height() const { return textHeight_; }
    int x() const { return x_; }
    int textWidth() const { return textWidth_; }

private:
    RECT rect_{};
    int textHeight_ = 0;
    int charWidth_ = 0;
    COLORREF background_ = 0;
    int x_ = 0;
    int textWidth_ = 0;
};

}  // namespace saver
