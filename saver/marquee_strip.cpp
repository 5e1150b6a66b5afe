#include "marquee_strip.h"

namespace saver {

using namespace platform;

namespace {

void DrawAt(HDC dc, int x, int y, const std::string& text) { TextOut(dc, x, y, text.c_str(), int(text.size())); }

}  // namespace

void MarqueeStrip::Layout(HWND window, Font& font, const RECT& desktop, COLORREF background) {
    WindowDC dc(window);
    HGDIOBJ previous = SelectObject(dc, &font);
    TEXTMETRIC metrics;
    GetTextMetrics(dc, &metrics);
    SelectObject(dc, previous);
    textHeight_ = metrics.tmHeight;
    charWidth_ = metrics.tmAveCharWidth;
    background_ = background;
    rect_ = RECT{desktop.left, desktop.bottom - textHeight_, desktop.right, desktop.bottom};
    x_ = (rect_.right - rect_.left) / 3;
}

bool MarqueeStrip::SetTextWidth(const std::string& text) {
    const int width = int(CharacterCount(text)) * charWidth_;
    const bool changed = width != textWidth_;
    textWidth_ = width;
    return changed;
}

void MarqueeStrip::Clear(HWND window, HBRUSH brush) const {
    WindowDC dc(window);
    FillRect(dc, &rect_, brush);
}

void MarqueeStrip::Step(HWND window, Font& font, COLORREF textColor, bool still, const std::string& text,
                        const std::string& previousText, bool forceRedraw) {
    WindowDC dc(window);
    HGDIOBJ previousFont = SelectObject(dc, &font);
    SetBkColor(dc, background_);
    SetBkMode(dc, OPAQUE);  // each drawing wipes what it covers
    SetTextColor(dc, textColor);
    const int right = rect_.right, top = rect_.top, gap = 15 * charWidth_;
    if (!still) {
        SetTextAlign(dc, TA_LEFT | TA_TOP);
        --x_;
        if (x_ < -textWidth_) x_ += right < textWidth_ ? textWidth_ + gap : right;
        DrawAt(dc, x_, top, text);
        if (x_ < 0) {
            if (right >= textWidth_) DrawAt(dc, right + x_, top, text);
            else if (x_ + textWidth_ < right) DrawAt(dc, x_ + textWidth_ + gap, top, text);
        }
    } else if (forceRedraw || text != previousText) {
        SetTextAlign(dc, TA_CENTER | TA_TOP);
        DrawAt(dc, right / 2, top, text);
    }
    SelectObject(dc, previousFont);
}

}  // namespace saver
