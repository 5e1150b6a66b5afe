#include "gdi.h"

#include <atomic>

#include <algorithm>
#include <climits>
#include <cstring>
#include <mutex>
#include <unordered_set>
#include <utility>

#include "text.h"

namespace platform {

namespace {

template <typename Object>
Object* MakeStock(Object* object) {
    object->stock = true;
    return object;
}

HPALETTE DefaultPalette() {
    static HPALETTE palette = [] {
        const auto& statics = StaticColours();
        return MakeStock(new Palette(std::vector<PALETTEENTRY>(statics.begin(), statics.end())));
    }();
    return palette;
}

HDC NewContext(bool memory, std::shared_ptr<Surface> surface) {
    auto* dc = new DeviceContext;
    dc->memory = memory;
    dc->surface = std::move(surface);
    dc->clip = RECT{0, 0, dc->surface->width(), dc->surface->height()};
    dc->brush = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
    dc->pen = static_cast<HPEN>(GetStockObject(BLACK_PEN));
    dc->font = static_cast<HFONT>(GetStockObject(SYSTEM_FONT));
    dc->palette = DefaultPalette();
    return dc;
}

// Runs draw(x, y) for every surface pixel of a logical rectangle that lies inside the clip.
template <typename Draw>
void ForEachPixel(HDC dc, const RECT& area, Draw draw) {
    const RECT onSurface = dc->toSurface(area);
    for (int y = onSurface.top; y < onSurface.bottom; ++y)
        for (int x = onSurface.left; x < onSurface.right; ++x) draw(x, y);
    dc->markTouched(onSurface);
}

std::uint32_t WhiteValue(int depth) { return depth == 8 ? 255u : DeviceValue(RGB(255, 255, 255), depth); }

}  // namespace

RECT DeviceContext::bounds() const {
    return surface ? IntersectRects(clip, RECT{0, 0, surface->width(), surface->height()}) : RECT{};
}

RECT DeviceContext::toSurface(const RECT& area) const {
    return IntersectRects(RECT{area.left + origin.x, area.top + origin.y, area.right + origin.x, area.bottom + origin.y},
                          bounds());
}

std::uint32_t DeviceContext::deviceValue(COLORREF color) const { return DeviceValue(color & 0xFFFFFF, depth()); }

void DeviceContext::fill(const RECT& area, COLORREF color) {
    if (!surface) return;
    const RECT onSurface = toSurface(area);
    if (IsRectEmpty(onSurface)) return;
    surface->fillValue(onSurface, deviceValue(color));
    markTouched(onSurface);
}

std::uint32_t ApplyRop(DWORD rop, std::uint32_t target, std::uint32_t source, std::uint32_t pattern) {
    switch (rop) {
    case SRCAND: return target & source;
    case SRCPAINT: return target | source;
    case SRCINVERT: return target ^ source;
    case PATCOPY: return pattern;
    case BLACKNESS: return 0;
    case WHITENESS: return 0xFFFFFFFF;
    default: return source;
    }
}

namespace {
std::atomic<WindowSurfaces*> gWindowSurfaces{nullptr};
}  // namespace

void SetWindowSurfaces(WindowSurfaces* windows) { gWindowSurfaces = windows; }

namespace {

// Each thread's window contexts that are not yet released (a thread draws only on its own windows).
std::unordered_set<HDC>& OpenWindowContexts() {
    thread_local std::unordered_set<HDC> open;
    return open;
}

// Tells the window what the context drew since it last told.
void ReportDrawing(HDC dc) {
    WindowSurfaces* windows = gWindowSurfaces;
    if (!IsRectEmpty(dc->touched) && windows) windows->changed(dc->surfaceOwner, dc->touched);
    dc->touched = RECT{};
}

// Made on first use: the display code installs its source during static initialisation.
struct ScreenFormatSlot {
    std::mutex mutex;
    std::function<ScreenFormat()> source;
};
ScreenFormatSlot& ScreenFormatSource() {
    static ScreenFormatSlot slot;
    return slot;
}
}  // namespace

void SetScreenFormatSource(std::function<ScreenFormat()> source) {
    std::lock_guard lock(ScreenFormatSource().mutex);
    ScreenFormatSource().source = std::move(source);
}

ScreenFormat CurrentScreenFormat() {
    std::function<ScreenFormat()> source;
    {
        std::lock_guard lock(ScreenFormatSource().mutex);
        source = ScreenFormatSource().source;
    }
    return source ? source() : ScreenFormat{};
}

HDC GetDC(HWND window) {
    if (!window) {
        // The screen: a context of the display's format that nothing is drawn through.
        return NewContext(false, std::make_shared<Surface>(0, 0, CurrentScreenFormat().depth));
    }
    WindowSurfaces* windows = gWindowSurfaces;
    const SurfaceTarget target = windows ? windows->surfaceFor(window) : SurfaceTarget{};
    if (!target.surface) return nullptr;
    HDC dc = NewContext(false, target.surface);
    dc->window = window;
    dc->surfaceOwner = target.owner;
    dc->origin = target.offset;
    dc->clip = target.clip;
    OpenWindowContexts().insert(dc);
    return dc;
}

int ReleaseDC(HWND, HDC dc) {
    if (!dc || dc->memory) return 0;
    OpenWindowContexts().erase(dc);
    ReportDrawing(dc);
    delete dc;
    return 1;
}

void ReportOpenWindowDrawing() {
    for (HDC dc : OpenWindowContexts()) ReportDrawing(dc);
}

HDC CreateCompatibleDC(HDC) {
    // A memory context starts with a one-pixel bitmap of the display's format (never monochrome
    // here, so a bitmap made compatible with it is always a colour bitmap).
    return NewContext(true, std::make_shared<Surface>(1, 1, CurrentScreenFormat().depth));
}

HDC CreateDC(const char* driver, const char*, const char*, const void*) {
    if (!driver || std::strcmp(driver, "DISPLAY") != 0) return nullptr;
    return GetDC(nullptr);
}

BOOL DeleteDC(HDC dc) {
    if (!dc) return FALSE;
    if (!dc->memory && dc->window) return FALSE;  // window contexts are released, not deleted
    delete dc;
    return TRUE;
}

HBITMAP CreateCompatibleBitmap(HDC dc, int width, int height) {
    if (width <= 0 || height <= 0 || width > 32767 || height > 32767) return nullptr;
    return new Bitmap(width, height, dc ? dc->depth() : CurrentScreenFormat().depth);
}

LONG GetBitmapBits(HBITMAP bitmap, LONG bytes, void* bits) {
    if (!bitmap || !bits || bytes <= 0) return 0;
    const auto& stored = bitmap->surface->bytes();
    const LONG count = std::min<LONG>(bytes, LONG(stored.size()));
    std::memcpy(bits, stored.data(), size_t(count));
    return count;
}

LONG SetBitmapBits(HBITMAP bitmap, DWORD bytes, const void* bits) {
    if (!bitmap || !bits) return 0;
    auto& stored = bitmap->surface->bytes();
    const size_t count = std::min<size_t>(bytes, stored.size());
    std::memcpy(stored.data(), bits, count);
    return LONG(count);
}

int GetDeviceCaps(HDC dc, int index) {
    const int depth = dc ? dc->depth() : CurrentScreenFormat().depth;
    const RECT screen = CurrentScreenFormat().rect;
    switch (index) {
    case PLANES: return 1;
    case BITSPIXEL: return depth;
    case HORZRES: return screen.width();
    case VERTRES: return screen.height();
    case RASTERCAPS: return depth == 8 ? RC_PALETTE : 0;
    case SIZEPALETTE: return depth == 8 ? 256 : 0;
    case LOGPIXELSX:
    case LOGPIXELSY: return CurrentScreenFormat().dpi;
    case VREFRESH: return CurrentScreenFormat().refreshHz;
    default: return 0;
    }
}

HGDIOBJ SelectObject(HDC dc, HGDIOBJ object) {
    if (!dc || !object) return nullptr;
    if (auto* brush = dynamic_cast<HBRUSH>(object)) return std::exchange(dc->brush, brush);
    if (auto* pen = dynamic_cast<HPEN>(object)) return std::exchange(dc->pen, pen);
    if (auto* font = dynamic_cast<HFONT>(object)) return std::exchange(dc->font, font);
    if (auto* bitmap = dynamic_cast<HBITMAP>(object)) {
        if (!dc->memory) return nullptr;
        static Bitmap* defaultBitmap = MakeStock(new Bitmap(1, 1, 32));
        HBITMAP previous = dc->bitmap ? dc->bitmap : defaultBitmap;
        dc->bitmap = bitmap == defaultBitmap ? nullptr : bitmap;
        dc->surface = bitmap == defaultBitmap ? std::make_shared<Surface>(1, 1, CurrentScreenFormat().depth) : bitmap->surface;
        dc->clip = RECT{0, 0, dc->surface->width(), dc->surface->height()};
        return previous;
    }
    return nullptr;
}

HGDIOBJ GetStockObject(int which) {
    static std::once_flag made;
    static HGDIOBJ objects[16] = {};
    std::call_once(made, [] {
        objects[WHITE_BRUSH] = MakeStock(new Brush(RGB(255, 255, 255)));
        objects[LTGRAY_BRUSH] = MakeStock(new Brush(RGB(192, 192, 192)));
        objects[BLACK_BRUSH] = MakeStock(new Brush(RGB(0, 0, 0)));
        objects[NULL_BRUSH] = MakeStock(new Brush(0, true));
        objects[WHITE_PEN] = MakeStock(new Pen(RGB(255, 255, 255)));
        objects[BLACK_PEN] = MakeStock(new Pen(RGB(0, 0, 0)));
        objects[SYSTEM_FONT] = MakeStock(CreateDefaultFont());
        objects[ANSI_VAR_FONT] = objects[SYSTEM_FONT];
        objects[DEFAULT_PALETTE] = DefaultPalette();
    });
    return which >= 0 && which < 16 ? objects[which] : nullptr;
}

BOOL DeleteObject(HGDIOBJ object) {
    if (!object) return FALSE;
    if (!object->stock) delete object;
    return TRUE;
}

HBRUSH CreateSolidBrush(COLORREF color) { return new Brush(color & 0xFFFFFF); }

HPEN CreatePen(int, int, COLORREF color) { return new Pen(color & 0xFFFFFF); }

int FillRect(HDC dc, const RECT* area, HBRUSH brush) {
    if (!dc || !area || !brush) return 0;
    if (!brush->hollow()) dc->fill(*area, brush->color());
    return 1;
}

BOOL PatBlt(HDC dc, int x, int y, int width, int height, DWORD rop) {
    if (!dc || !dc->surface) return FALSE;
    const RECT area{std::min(x, x + width), std::min(y, y + height), std::max(x, x + width), std::max(y, y + height)};
    const std::uint32_t pattern = dc->brush && !dc->brush->hollow() ? dc->deviceValue(dc->brush->color()) : 0;
    if (rop == PATCOPY || rop == BLACKNESS) {
        const RECT onSurface = dc->toSurface(area);
        dc->surface->fillValue(onSurface, rop == PATCOPY ? pattern : 0);
        dc->markTouched(onSurface);
        return TRUE;
    }
    const std::uint32_t white = WhiteValue(dc->depth());
    Surface& surface = *dc->surface;
    ForEachPixel(dc, area, [&](int px, int py) {
        surface.setValue(px, py, ApplyRop(rop, surface.value(px, py), 0, pattern) & (rop == WHITENESS ? white : ~0u));
    });
    return TRUE;
}

BOOL BitBlt(HDC target, int x, int y, int width, int height, HDC source, int xSource, int ySource, DWORD rop) {
    if (!target || !target->surface) return FALSE;
    if (rop == PATCOPY || rop == BLACKNESS || rop == WHITENESS) return PatBlt(target, x, y, width, height, rop);
    if (!source || !source->surface) return FALSE;
    // Only what lies inside both the source and the target is copied.
    const int dx = xSource + source->origin.x - (x + target->origin.x);
    const int dy = ySource + source->origin.y - (y + target->origin.y);
    RECT onTarget = target->toSurface(RECT{x, y, x + width, y + height});
    const RECT sourceBounds = source->bounds();
    onTarget = IntersectRects(onTarget, RECT{sourceBounds.left - dx, sourceBounds.top - dy, sourceBounds.right - dx,
                                             sourceBounds.bottom - dy});
    if (IsRectEmpty(onTarget)) return TRUE;
    Surface& to = *target->surface;
    const Surface& from = *source->surface;
    if (rop == SRCCOPY && to.depth() == from.depth() && &to != &from) {
        const int bytesPerPixel = to.depth() / 8;
        for (int row = onTarget.top; row < onTarget.bottom; ++row)
            std::memcpy(to.row(row) + onTarget.left * bytesPerPixel, from.row(row + dy) + (onTarget.left + dx) * bytesPerPixel,
                        size_t((onTarget.right - onTarget.left) * bytesPerPixel));
    } else {
        // Overlapping copies within one surface go through a copy of the source rows.
        const Surface snapshot = &to == &from ? from : Surface();
        const Surface& read = &to == &from ? snapshot : from;
        const bool sameDepth = to.depth() == read.depth();
        for (int row = onTarget.top; row < onTarget.bottom; ++row)
            for (int column = onTarget.left; column < onTarget.right; ++column) {
                std::uint32_t value = read.value(column + dx, row + dy);
                if (!sameDepth) value = DeviceValue(ColorFromRgb(RgbFromDevice(value, read.depth())), to.depth());
                to.setValue(column, row, ApplyRop(rop, to.value(column, row), value, 0));
            }
    }
    target->markTouched(onTarget);
    return TRUE;
}

COLORREF SetPixel(HDC dc, int x, int y, COLORREF color) {
    if (!dc || !dc->surface) return CLR_INVALID;
    const RECT onSurface = dc->toSurface(RECT{x, y, x + 1, y + 1});
    if (IsRectEmpty(onSurface)) return CLR_INVALID;
    dc->surface->setValue(onSurface.left, onSurface.top, dc->deviceValue(color));
    dc->markTouched(onSurface);
    return ColorFromRgb(dc->surface->pixel(onSurface.left, onSurface.top));
}

COLORREF GetPixel(HDC dc, int x, int y) {
    if (!dc || !dc->surface) return CLR_INVALID;
    const RECT onSurface = dc->toSurface(RECT{x, y, x + 1, y + 1});
    if (IsRectEmpty(onSurface)) return CLR_INVALID;
    return ColorFromRgb(dc->surface->pixel(onSurface.left, onSurface.top));
}

BOOL MoveToEx(HDC dc, int x, int y, POINT* previous) {
    if (!dc) return FALSE;
    if (previous) *previous = dc->position;
    dc->position = POINT{x, y};
    return TRUE;
}

BOOL LineTo(HDC dc, int x, int y) {
    if (!dc || !dc->surface) return FALSE;
    // Bresenham from the current position, the end point itself not drawn.
    int x0 = dc->position.x, y0 = dc->position.y;
    const int stepX = x0 < x ? 1 : -1, stepY = y0 < y ? 1 : -1;
    const int distanceX = std::abs(x - x0), distanceY = -std::abs(y - y0);
    int error = distanceX + distanceY;
    const std::uint32_t value = dc->deviceValue(dc->pen ? dc->pen->color() : 0);
    while (x0 != x || y0 != y) {
        const RECT onSurface = dc->toSurface(RECT{x0, y0, x0 + 1, y0 + 1});
        if (!IsRectEmpty(onSurface)) {
            dc->surface->setValue(onSurface.left, onSurface.top, value);
            dc->markTouched(onSurface);
        }
        const int doubled = 2 * error;
        if (doubled >= distanceY) {
            error += distanceY;
            x0 += stepX;
        }
        if (doubled <= distanceX) {
            error += distanceX;
            y0 += stepY;
        }
    }
    dc->position = POINT{x, y};
    return TRUE;
}

int SetStretchBltMode(HDC dc, int mode) { return dc ? std::exchange(dc->stretchMode, mode) : 0; }
COLORREF SetBkColor(HDC dc, COLORREF color) { return dc ? std::exchange(dc->backColor, color & 0xFFFFFF) : CLR_INVALID; }
int SetBkMode(HDC dc, int mode) { return dc ? std::exchange(dc->backMode, mode) : 0; }
COLORREF SetTextColor(HDC dc, COLORREF color) { return dc ? std::exchange(dc->textColor, color & 0xFFFFFF) : CLR_INVALID; }
UINT SetTextAlign(HDC dc, UINT align) { return dc ? std::exchange(dc->textAlign, align) : 0; }

HPALETTE CreatePalette(const LOGPALETTE* palette) {
    if (!palette || palette->palNumEntries == 0 || palette->palNumEntries > 256 ||
        palette->palPalEntry.size() < palette->palNumEntries)
        return nullptr;
    return new Palette(std::vector<PALETTEENTRY>(palette->palPalEntry.begin(),
                                                 palette->palPalEntry.begin() + palette->palNumEntries));
}

HPALETTE SelectPalette(HDC dc, HPALETTE palette, BOOL) {
    if (!dc || !palette) return nullptr;
    return std::exchange(dc->palette, palette);
}

UINT RealizePalette(HDC dc) {
    if (!dc || !dc->palette) return 0;
    Palette& palette = *dc->palette;
    palette.systemIndex.assign(palette.entries.size(), 0);
    if (dc->depth() != 8) return 0;  // true-colour displays have no palette to fill
    if (&palette == DefaultPalette()) {
        for (size_t i = 0; i < palette.entries.size(); ++i)
            palette.systemIndex[i] = BYTE(i < 10 ? i : 236 + i);
        return 0;
    }
    return UINT(SystemPalette::instance().realize(palette.entries.data(), int(palette.entries.size()),
                                                 palette.systemIndex.data()));
}

UINT GetNearestPaletteIndex(HPALETTE palette, COLORREF color) {
    if (!palette || palette->entries.empty()) return CLR_INVALID;
    UINT best = 0;
    int bestDistance = INT_MAX;
    for (size_t i = 0; i < palette->entries.size(); ++i) {
        const PALETTEENTRY& entry = palette->entries[i];
        const int dr = int(entry.peRed) - GetRValue(color), dg = int(entry.peGreen) - GetGValue(color),
                  db = int(entry.peBlue) - GetBValue(color);
        const int distance = dr * dr + dg * dg + db * db;
        if (distance < bestDistance) {
            bestDistance = distance;
            best = UINT(i);
            if (distance == 0) break;
        }
    }
    return best;
}

UINT GetPaletteEntries(HPALETTE palette, UINT start, UINT count, PALETTEENTRY* entries) {
    if (!palette) return 0;
    if (!entries) return UINT(palette->entries.size());
    UINT copied = 0;
    for (UINT i = start; i < palette->entries.size() && copied < count; ++i) entries[copied++] = palette->entries[i];
    return copied;
}

void SelectedBitmap::reset(HDC dc, HBITMAP bitmap) {
    if (bitmap_) SelectObject(dc_, replaced_);
    bitmap_.reset(bitmap);
    dc_ = bitmap ? dc : nullptr;
    replaced_ = bitmap ? SelectObject(dc, bitmap) : nullptr;
}

}  // namespace platform
