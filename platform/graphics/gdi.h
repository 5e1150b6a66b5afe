// Drawing: device contexts for windows and memory, bitmaps in the display's format, brushes,
// pens, palettes and the raster operations the saver uses.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "device_pixels.h"
#include "surface.h"
#include "win_types.h"

namespace platform {

class GdiObject {
public:
    virtual ~GdiObject() = default;
    bool stock = false;  // stock objects are never deleted
};

class Brush : public GdiObject {
public:
    explicit Brush(COLORREF color, bool hollow = false) : color_(color), hollow_(hollow) {}
    COLORREF color() const { return color_; }
    bool hollow() const { return hollow_; }

private:
    COLORREF color_;
    bool hollow_;
};

class Pen : public GdiObject {
public:
    explicit Pen(COLORREF color) : color_(color) {}
    COLORREF color() const { return color_; }

private:
    COLORREF color_;
};

// A device-dependent bitmap: pixels in a device format (the display's, or 1 bit for the
// default bitmap of a memory context).
class Bitmap : public GdiObject {
public:
    Bitmap(int width, int height, int depth) : surface(std::make_shared<Surface>(width, height, depth)) {}
    std::shared_ptr<Surface> surface;
};

class Palette : public GdiObject {
public:
    explicit Palette(std::vector<PALETTEENTRY> colours) : entries(std::move(colours)) {}
    std::vector<PALETTEENTRY> entries;
    std::vector<BYTE> systemIndex;  // where each entry sits in the system palette once realised
};

class Font;

using HGDIOBJ = GdiObject*;
using HBRUSH = Brush*;
using HPEN = Pen*;
using HBITMAP = Bitmap*;
using HPALETTE = Palette*;
using HFONT = Font*;

constexpr int OPAQUE = 2;
constexpr int TRANSPARENT = 1;
constexpr UINT TA_NOUPDATECP = 0;
constexpr UINT TA_UPDATECP = 1;
constexpr UINT TA_LEFT = 0;
constexpr UINT TA_RIGHT = 2;
constexpr UINT TA_CENTER = 6;
constexpr UINT TA_TOP = 0;
constexpr UINT TA_BOTTOM = 8;
constexpr UINT TA_BASELINE = 24;
constexpr int COLORONCOLOR = 3;
constexpr int HALFTONE = 4;
constexpr DWORD SRCCOPY = 0x00CC0020;
constexpr DWORD SRCPAINT = 0x00EE0086;
constexpr DWORD SRCAND = 0x008800C6;
constexpr DWORD SRCINVERT = 0x00660046;
constexpr DWORD PATCOPY = 0x00F00021;
constexpr DWORD BLACKNESS = 0x00000042;
constexpr DWORD WHITENESS = 0x00FF0062;
constexpr COLORREF CLR_INVALID = 0xFFFFFFFF;
constexpr int PLANES = 14;
constexpr int BITSPIXEL = 12;
constexpr int HORZRES = 8;
constexpr int VERTRES = 10;
constexpr int RASTERCAPS = 38;
constexpr int RC_PALETTE = 0x0100;
constexpr int SIZEPALETTE = 104;
constexpr int LOGPIXELSX = 88;
constexpr int LOGPIXELSY = 90;
constexpr int VREFRESH = 116;

// Stock objects.
constexpr int WHITE_BRUSH = 0;
constexpr int LTGRAY_BRUSH = 1;
constexpr int BLACK_BRUSH = 4;
constexpr int NULL_BRUSH = 5;
constexpr int WHITE_PEN = 6;
constexpr int BLACK_PEN = 7;
constexpr int ANSI_VAR_FONT = 12;
constexpr int SYSTEM_FONT = 13;
constexpr int DEFAULT_PALETTE = 15;

// A device context draws on a window (on the surface that holds its pixels, clipped to the
// window) or, as a memory context, on the bitmap selected into it.
class DeviceContext {
public:
    bool memory = false;
    HWND window = nullptr;
    HWND surfaceOwner = nullptr;
    std::shared_ptr<Surface> surface;
    POINT origin;  // the drawing origin on the surface
    RECT clip;     // surface coordinates, as the context was made (see bounds())
    RECT touched;  // what was drawn, surface coordinates

    HBRUSH brush = nullptr;
    HPEN pen = nullptr;
    HFONT font = nullptr;
    HPALETTE palette = nullptr;
    HBITMAP bitmap = nullptr;
    COLORREF textColor = RGB(0, 0, 0);
    COLORREF backColor = RGB(255, 255, 255);
    int backMode = OPAQUE;
    UINT textAlign = TA_LEFT | TA_TOP;
    int stretchMode = 1;
    POINT position;  // the current position of MoveTo, LineTo and TA_UPDATECP

    int depth() const { return surface ? surface->depth() : 1; }
    // Where the context may draw now: its clip within the surface as it is now. A window's surface
    // can change size under a context held open (a host window resized during an effect).
    RECT bounds() const;
    // A rectangle in logical coordinates, on the surface and clipped.
    RECT toSurface(const RECT& area) const;
    // The device value of a colour: on 8 bits through the palette realised into this context.
    std::uint32_t deviceValue(COLORREF color) const;
    void markTouched(const RECT& surfaceArea) { touched = UnionRects(touched, surfaceArea); }
    void fill(const RECT& area, COLORREF color);
};
using HDC = DeviceContext*;

// Where a window's pixels are: the window that holds them, and the window's offset inside it.
struct SurfaceTarget {
    HWND owner = nullptr;
    std::shared_ptr<Surface> surface;
    POINT offset;
    RECT clip;  // the window's client area in surface coordinates
};
// The windows' side of window contexts, installed by the window manager: where a window's pixels
// are, and the news that some of them changed.
class WindowSurfaces {
public:
    virtual ~WindowSurfaces() = default;
    virtual SurfaceTarget surfaceFor(HWND window) = 0;
    virtual void changed(HWND owner, const RECT& area) = 0;
};
void SetWindowSurfaces(WindowSurfaces* windows);

// The screen's pixel format and size, as the display in use reports them (installed with it;
// 1024 x 768 at 32 bits until then).
struct ScreenFormat {
    int depth = 32;
    RECT rect{0, 0, 1024, 768};
    int dpi = 96;  // device pixels per inch: 192 on a screen scaled by two
    int refreshHz = 60;  // frames a second the primary monitor shows
};
void SetScreenFormatSource(std::function<ScreenFormat()> source);
ScreenFormat CurrentScreenFormat();

// Window contexts.
HDC GetDC(HWND window);  // null window: the whole screen
int ReleaseDC(HWND window, HDC dc);
// Reports what this thread's open window contexts drew so far, as releasing them would: drawing
// that keeps its context for long (an effect's steps) reaches the screen frame by frame.
void ReportOpenWindowDrawing();
// Memory contexts and their bitmaps.
HDC CreateCompatibleDC(HDC dc);
// The display context ("DISPLAY"); other drivers are not known.
HDC CreateDC(const char* driver, const char* device, const char* output, const void* init);
BOOL DeleteDC(HDC dc);
HBITMAP CreateCompatibleBitmap(HDC dc, int width, int height);
LONG GetBitmapBits(HBITMAP bitmap, LONG bytes, void* bits);
LONG SetBitmapBits(HBITMAP bitmap, DWORD bytes, const void* bits);
int GetDeviceCaps(HDC dc, int index);

HGDIOBJ SelectObject(HDC dc, HGDIOBJ object);
HGDIOBJ GetStockObject(int which);
BOOL DeleteObject(HGDIOBJ object);
HBRUSH CreateSolidBrush(COLORREF color);
HPEN CreatePen(int style, int width, COLORREF color);

int FillRect(HDC dc, const RECT* area, HBRUSH brush);
BOOL BitBlt(HDC target, int x, int y, int width, int height, HDC source, int xSource, int ySource, DWORD rop);
BOOL PatBlt(HDC dc, int x, int y, int width, int height, DWORD rop);
COLORREF SetPixel(HDC dc, int x, int y, COLORREF color);
COLORREF GetPixel(HDC dc, int x, int y);
BOOL MoveToEx(HDC dc, int x, int y, POINT* previous);
BOOL LineTo(HDC dc, int x, int y);
int SetStretchBltMode(HDC dc, int mode);
COLORREF SetBkColor(HDC dc, COLORREF color);
int SetBkMode(HDC dc, int mode);
COLORREF SetTextColor(HDC dc, COLORREF color);
UINT SetTextAlign(HDC dc, UINT align);

// Palettes.
struct LOGPALETTE {
    WORD palVersion = 0x300;
    WORD palNumEntries = 0;
    std::vector<PALETTEENTRY> palPalEntry;
};
HPALETTE CreatePalette(const LOGPALETTE* palette);
HPALETTE SelectPalette(HDC dc, HPALETTE palette, BOOL forceBackground);
UINT RealizePalette(HDC dc);
UINT GetNearestPaletteIndex(HPALETTE palette, COLORREF color);
UINT GetPaletteEntries(HPALETTE palette, UINT start, UINT count, PALETTEENTRY* entries);

// Owners that delete their object on scope exit.
struct GdiObjectDeleter {
    void operator()(GdiObject* object) const { DeleteObject(object); }
};
using UniqueBrush = std::unique_ptr<Brush, GdiObjectDeleter>;
using UniqueBitmap = std::unique_ptr<Bitmap, GdiObjectDeleter>;
using UniquePalette = std::unique_ptr<Palette, GdiObjectDeleter>;
struct DcDeleter {
    void operator()(DeviceContext* dc) const { DeleteDC(dc); }
};
using UniqueMemoryDC = std::unique_ptr<DeviceContext, DcDeleter>;
// A bitmap made for a memory context and selected into it: when let go, the context gets back
// what it held before and the bitmap is deleted. The context must outlive it.
class SelectedBitmap {
public:
    SelectedBitmap() = default;
    ~SelectedBitmap() { reset(); }
    SelectedBitmap(const SelectedBitmap&) = delete;
    SelectedBitmap& operator=(const SelectedBitmap&) = delete;
    // Lets the current one go, then selects `bitmap` (taken over; nothing for a null one).
    void reset(HDC dc = nullptr, HBITMAP bitmap = nullptr);
    HBITMAP get() const { return bitmap_.get(); }
    explicit operator bool() const { return bitmap_ != nullptr; }

private:
    HDC dc_ = nullptr;
    UniqueBitmap bitmap_;
    HGDIOBJ replaced_ = nullptr;
};
// A window context released on scope exit.
class WindowDC {
public:
    explicit WindowDC(HWND window) : window_(window), dc_(GetDC(window)) {}
    ~WindowDC() { ReleaseDC(window_, dc_); }
    WindowDC(const WindowDC&) = delete;
    WindowDC& operator=(const WindowDC&) = delete;
    HDC get() const { return dc_; }
    operator HDC() const { return dc_; }

private:
    HWND window_;
    HDC dc_;
};

// Applies a raster operation to a device value.
std::uint32_t ApplyRop(DWORD rop, std::uint32_t target, std::uint32_t source, std::uint32_t pattern);

}  // namespace platform
