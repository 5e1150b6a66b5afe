#include "transitions.h"

#include <algorithm>
#include <array>
#include <cstdint>

#include "clock.h"
#include "trace.h"
#include "text_compare.h"
#include "windows.h"

namespace imaging {

using namespace platform;

namespace {

constexpr std::array<const char*, 13> kNames{
    "", "Wipe Down", "Wipe Across", "Horizontals", "Verticals", "Cave In", "Cave Out", "Vertical Stripes",
    "Horizontal Stripes", "Slide Down", "Slide Across", "Small Random Blocks", "Large Random Blocks"};

// The area the effects were made for: on a larger one an effect draws more steps between its
// pauses, so that it never takes more ticks than on this one.
constexpr int kReferenceWidth = 640, kReferenceHeight = 480;

// Counts drawing steps and pauses every `every` of them (1: after each step). An effect of more
// steps than on the reference area (referenceSteps) spreads the reference's number of pauses
// evenly over its own steps.
class Pacer {
public:
    Pacer(TransitionView& view, int every, int steps, int referenceSteps)
        : view_(view), every_(every), steps_(steps), pauses_(steps > referenceSteps ? referenceSteps / every : -1) {}
    // False when the effect must stop.
    bool step() {
        ++done_;
        const bool pause = pauses_ < 0 ? done_ % every_ == 0
                                       : (std::int64_t(done_) * pauses_) / steps_ > (std::int64_t(done_ - 1) * pauses_) / steps_;
        if (pause) PumpAndWait(view_.window, 1, view_.abort);
        return !view_.abort;
    }

private:
    TransitionView& view_;
    int every_, steps_, pauses_;
    int done_ = 0;
};

// The rim of the rectangle [left, right) x [top, bottom), one pixel wide, as four rectangles:
// what a rectangle grown by a pixel each way adds to the one before.
template <class Draw>
void DrawRim(int left, int top, int right, int bottom, Draw draw) {
    draw(left, top, right, top + 1);
    draw(left, bottom - 1, right, bottom);
    draw(left, top + 1, left + 1, bottom - 1);
    draw(right - 1, top + 1, right, bottom - 1);
}

// The half sizes of the centre rectangle of the cave effects.
std::pair<int, int> CentreHalves(int visibleWidth, int visibleHeight, int n) {
    return visibleWidth > visibleHeight ? std::pair{(visibleWidth - 2 * n) / 2, 1} : std::pair{1, (visibleHeight - 2 * n) / 2};
}

}  // namespace

std::string EffectName(int effect) { return effect >= 1 && effect <= 12 ? kNames[size_t(effect)] : ""; }

int EffectFromName(const std::string& name) {
    for (int effect = 1; effect <= 12; ++effect)
        if (EqualsNoCase(name, kNames[size_t(effect)])) return effect;
    return 0;
}

int RandomStartEffect(int randomValue) { return 1 + (6 * randomValue) / 32767; }

int NextEffect(int effect, int autoTransition) {
    if (effect == 0 || autoTransition == 0) return effect;
    return effect + 1 == 8 ? 1 : effect + 1;
}

bool PumpAndWait(HWND window, DWORD ms, bool& abort) {
    const DWORD start = GetTickCount();
    while (TickDifference(start, GetTickCount()) < ms) {
        // Every window of the thread: a key on another monitor's window reaches the saver now,
        // not when the effect has ended.
        MSG message;
        if (!PeekMessage(&message, nullptr, 0, 0, PM_REMOVE | PM_NOYIELD)) {
            WaitForMessageOrNextTick(nullptr);  // sleeps until the tick moves or a message comes
            continue;
        }
        const bool ownEnd = message.hwnd == window && (message.message == WM_DESTROY || message.message == WM_CLOSE);
        if (message.message == WM_QUIT || ownEnd) {
            if (message.message == WM_QUIT) PostQuitMessage(int(message.wParam));
            else PostMessage(message.hwnd, message.message, message.wParam, message.lParam);
            abort = true;
            return abort;
        }
        DispatchMessage(&message);
    }
    return abort;
}

void RevealPicture(TransitionView& view, HDC target, int effect) {
    if (view.abort) return;
    const int areaWidth = view.areaRight - view.x, areaHeight = view.areaBottom - view.y;
    const int cx = std::max(0, view.width - view.areaRight + 2), cy = std::max(0, view.height - view.areaBottom + 2);
    const int visibleWidth = view.width - cx, visibleHeight = view.height - cy;
    const int ox = cx / 2, oy = cy / 2;
    if (view.preview) effect = 0;
    // Every copy stays inside the picture area (so never over the marquee strip below it).
    const RECT area{view.x, view.y, view.areaRight, view.areaBottom};
    const auto copy = [&](int sx, int sy, int w, int h) {
        const RECT piece = IntersectRects(RECT{view.x + sx, view.y + sy, view.x + sx + w, view.y + sy + h}, area);
        if (IsRectEmpty(piece)) return;
        BitBlt(target, piece.left, piece.top, piece.right - piece.left, piece.bottom - piece.top, view.memory,
               piece.left - view.x, piece.top - view.y, SRCCOPY);
    };
    view.inProgress = true;
    platform::DebugTrace("transition: reveal %d begins", effect);
    switch (effect) {
    case 0: copy(0, 0, areaWidth, areaHeight); break;
    case 1: {
        Pacer pacer(view, 4, areaHeight, kReferenceHeight);
        for (int row = 0; row < areaHeight; ++row) {
            copy(0, row, areaWidth, 1);
            if (!pacer.step()) break;
        }
        break;
    }
    case 2: {
        Pacer pacer(view, 4, areaWidth, kReferenceWidth);
        for (int column = 0; column < areaWidth; ++column) {
            copy(column, 0, 1, areaHeight);
            if (!pacer.step()) break;
        }
        break;
    }
    case 3: {
        const int band = view.areaBottom / 8;
        Pacer pacer(view, 1, band + 1, kReferenceHeight / 8 + 1);
        for (int i = 0; i <= band; ++i) {
            for (int k = 0; k < 8; ++k) copy(ox, i + k * band + oy, areaWidth, 1);
            if (!pacer.step()) break;
        }
        break;
    }
    case 4: {
        const int band = areaWidth / 8 + 1;
        Pacer pacer(view, 1, band + 1, kReferenceWidth / 8 + 2);
        for (int i = 0; i <= band; ++i) {
            for (int k = 0; k < 8; ++k) copy(i + k * band, 0, 1, areaHeight);
            if (!pacer.step()) break;
        }
        break;
    }
    case 5: {
        const int n = std::min(visibleWidth, visibleHeight) / 2;
        Pacer pacer(view, 1, n + 1, kReferenceHeight / 2 + 1);
        const auto [hx, hy] = CentreHalves(visibleWidth, visibleHeight, n);
        for (int i = 0; i <= n; ++i) {
            // The rectangle grows by a pixel each way: only its new rim needs copying.
            const int left = view.width / 2 - hx - i, top = view.height / 2 - hy - i;
            const int right = view.width / 2 + hx + i, bottom = view.height / 2 + hy + i;
            const auto copyRect = [&](int l, int t, int r, int b) { copy(l, t, r - l, b - t); };
            if (i == 0) copyRect(left, top, right, bottom);
            else DrawRim(left, top, right, bottom, copyRect);
            if (!pacer.step()) break;
        }
        break;
    }
    case 6: {
        const int n = std::min(visibleWidth, visibleHeight) / 2;
        Pacer pacer(view, 1, n + 1, kReferenceHeight / 2 + 1);
        for (int i = 0; i <= n; ++i) {
            copy(ox, oy + i, visibleWidth, 1);
            copy(ox, view.height - i - oy, visibleWidth, 1);
            copy(ox + i, oy, 1, visibleHeight);
            copy(view.width - i - ox, oy, 1, visibleHeight);
            if (!pacer.step()) break;
        }
        break;
    }
    case 7: {
        Pacer pacer(view, 16, 2 * areaHeight, 2 * kReferenceHeight);
        const int stripe = areaWidth / 15 + 1;
        for (int first : {0, 1}) {
            for (int row = 0; row < areaHeight && !view.abort; ++row) {
                for (int k = first; k < 15; k += 2) copy(k * stripe, row, stripe, 1);
                if (!pacer.step()) break;
            }
        }
        break;
    }
    default: break;  // numbers without a drawing draw nothing
    }
    // Some patterns leave rows or columns out (bands that do not divide the height, the cave
    // effects' edge): an effect that ran to its end leaves the whole picture on the screen.
    if (!view.abort && effect >= 1 && effect <= kLastDrawnEffect) copy(0, 0, areaWidth, areaHeight);
    view.inProgress = false;
    platform::DebugTrace("transition: reveal %d ends", effect);
}

int ErasePicture(TransitionView& view, int effect, int strip) {
    HDC dc = GetDC(view.window);
    RECT client{};
    GetClientRect(view.window, &client);
    UniqueBrush brush(CreateSolidBrush(view.background));
    int left = std::max(0, view.previousX), top = std::max(0, view.previousY);
    int width = view.previousWidth - std::max(0, view.previousWidth - view.areaRight);
    int height = view.previousHeight - std::max(0, view.previousHeight - view.areaBottom);
    if (strip != 0) {
        if (strip > 1) client.bottom -= strip;
        left = top = 0;
        width = client.right - client.left;
        height = client.bottom - client.top;
    } else {
        // The old picture was only ever drawn inside the area: the erase keeps off the strip below.
        width = std::max(0, std::min(width, view.areaRight - left));
        height = std::max(0, std::min(height, view.areaBottom - top));
    }
    if (view.preview) effect = 0;
    // Every fill stays inside the rectangle being erased.
    const auto fill = [&](int l, int t, int r, int b) {
        const RECT area = IntersectRects(RECT{l, t, r, b}, RECT{left, top, left + width, top + height});
        FillRect(dc, &area, brush.get());
    };
    view.inProgress = true;
    platform::DebugTrace("transition: erase %d begins", effect);
    switch (effect) {
    case 0: fill(left, top, left + width, top + height); break;
    case 1: {
        Pacer pacer(view, 4, height, kReferenceHeight);
        for (int j = 0; j < height; ++j) {
            fill(left, top + j, left + width, top + j + 1);
            if (!pacer.step()) break;
        }
        break;
    }
    case 2: {
        Pacer pacer(view, 4, width, kReferenceWidth);
        for (int j = 0; j < width; ++j) {
            fill(left + j, top, left + j + 1, top + height);
            if (!pacer.step()) break;
        }
        break;
    }
    case 3: {
        const int band = height / 8 + 1;
        Pacer pacer(view, 1, band + 1, kReferenceHeight / 8 + 2);
        for (int i = 0; i <= band; ++i) {
            for (int k = 0; k < 8; ++k) fill(left, top + i + k * band, left + width, top + i + k * band + 1);
            if (!pacer.step()) break;
        }
        break;
    }
    case 4: {
        const int band = width / 8 + 1;
        Pacer pacer(view, 1, band + 1, kReferenceWidth / 8 + 2);
        for (int i = 0; i <= band; ++i) {
            for (int k = 0; k < 8; ++k) fill(left + i + k * band, top, left + i + k * band + 1, top + height);
            if (!pacer.step()) break;
        }
        break;
    }
    case 5: {
        const int n = std::min(width, height) / 2 + 1;
        Pacer pacer(view, 1, n, kReferenceHeight / 2 + 1);
        for (int j = 0; j < n; ++j) {
            fill(left + j, top, left + j + 1, top + height);
            fill(left + width - j - 1, top, left + width - j, top + height);
            fill(left, top + j, left + width, top + j + 1);
            fill(left, top + height - j - 1, left + width, top + height - j);
            if (!pacer.step()) break;
        }
        break;
    }
    case 6: {
        const int n = std::min(width, height) / 2;
        Pacer pacer(view, 1, n + 1, kReferenceHeight / 2 + 1);
        const auto [hx, hy] = CentreHalves(width, height, n);
        for (int j = 0; j <= n; ++j) {
            // Grown by a pixel each way: only the new rim is filled.
            const int l = left + width / 2 - hx - j, t = top + height / 2 - hy - j;
            const int r = left + width / 2 + hx + j + 1, b = top + height / 2 + hy + j + 1;
            if (j == 0) fill(l, t, r, b);
            else DrawRim(l, t, r, b, fill);
            if (!pacer.step()) break;
        }
        break;
    }
    case 7: {
        Pacer pacer(view, 16, 2 * height, 2 * kReferenceHeight);
        const int stripe = width / 15 + 1;
        for (int first : {0, 1}) {
            for (int j = 0; j < height && !view.abort; ++j) {
                for (int k = first; k < 15; k += 2) fill(left + k * stripe, top + j, left + (k + 1) * stripe, top + j + 1);
                if (!pacer.step()) break;
            }
        }
        break;
    }
    default: break;
    }
    // A close request came, or the pattern left gaps: the rest goes at once.
    if (view.abort || (effect >= 1 && effect <= kLastDrawnEffect)) fill(left, top, left + width, top + height);
    view.inProgress = false;
    platform::DebugTrace("transition: erase %d ends", effect);
    ReleaseDC(view.window, dc);
    return 1;
}

}  // namespace imaging
