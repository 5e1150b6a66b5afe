// Drawing on windows: device contexts, brushes and rectangle fills.
#pragma once

#include <memory>

#include "surface.h"
#include "win_types.h"

namespace platform {

class GdiObject {
public:
    virtual ~GdiObject() = default;
};

class Brush : public GdiObject {
public:
    explicit Brush(COLORREF color) : color_(color) {}
    COLORREF color() const { return color_; }

private:
    COLORREF color_;
};

using HGDIOBJ = GdiObject*;
using HBRUSH = Brush*;

// A device context draws on the surface that holds a window's pixels, clipped to the window.
class DeviceContext {
public:
    HWND window = nullptr;
    HWND surfaceOwner = nullptr;
    std::shared_ptr<Surface> surface;
    POINT origin;  // the window's client origin on the surface
    RECT clip;     // surface coordinates
    RECT touched;  // what was drawn, surface coordinates

    void fill(const RECT& area, COLORREF color);
};
using HDC = DeviceContext*;

struct PAINTSTRUCT {
    HDC hdc = nullptr;
    BOOL fErase = FALSE;
    RECT rcPaint;
};

HDC GetDC(HWND window);
int ReleaseDC(HWND window, HDC dc);
HDC BeginPaint(HWND window, PAINTSTRUCT* paint);
BOOL EndPaint(HWND window, const PAINTSTRUCT* paint);

HBRUSH CreateSolidBrush(COLORREF color);
BOOL DeleteObject(HGDIOBJ object);
int FillRect(HDC dc, const RECT* area, HBRUSH brush);

// A brush deleted on scope exit.
struct GdiObjectDeleter {
    void operator()(GdiObject* object) const { DeleteObject(object); }
};
using UniqueBrush = std::unique_ptr<Brush, GdiObjectDeleter>;

}  // namespace platform
