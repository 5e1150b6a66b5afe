#include "gdi.h"

#include "display_backend.h"
#include "window_record.h"
#include "windows.h"

namespace platform {

void DeviceContext::fill(const RECT& area, COLORREF color) {
    if (!surface) return;
    const RECT onSurface = IntersectRects(
        RECT{area.left + origin.x, area.top + origin.y, area.right + origin.x, area.bottom + origin.y}, clip);
    if (IsRectEmpty(onSurface)) return;
    surface->fill(onSurface, ColorToPixel(color));
    touched = UnionRects(touched, onSurface);
}

HDC GetDC(HWND window) {
    const SurfaceTarget target = SurfaceFor(window);
    if (!target.surface) return nullptr;
    auto* dc = new DeviceContext;
    dc->window = window;
    dc->surfaceOwner = target.owner;
    dc->surface = target.surface;
    dc->origin = target.offset;
    dc->clip = target.clip;
    return dc;
}

int ReleaseDC(HWND, HDC dc) {
    if (!dc) return 0;
    if (!IsRectEmpty(dc->touched) && IsWindow(dc->surfaceOwner)) Display().surfaceChanged(dc->surfaceOwner, dc->touched);
    delete dc;
    return 1;
}

HDC BeginPaint(HWND window, PAINTSTRUCT* paint) {
    if (!paint) return nullptr;
    HDC dc = GetDC(window);
    paint->hdc = dc;
    paint->fErase = FALSE;
    GetClientRect(window, &paint->rcPaint);
    ValidateRect(window, nullptr);
    auto record = FindWindowRecord(window);
    if (dc && record && record->eraseNeeded) {
        record->eraseNeeded = false;
        // The window erases its own background; when it does not, the paint handler must.
        paint->fErase = SendMessage(window, WM_ERASEBKGND, WPARAM(dc), 0) == 0;
    }
    return dc;
}

BOOL EndPaint(HWND window, const PAINTSTRUCT* paint) {
    if (!paint) return FALSE;
    ReleaseDC(window, paint->hdc);
    return TRUE;
}

HBRUSH CreateSolidBrush(COLORREF color) { return new Brush(color); }

BOOL DeleteObject(HGDIOBJ object) {
    if (!object) return FALSE;
    delete object;
    return TRUE;
}

int FillRect(HDC dc, const RECT* area, HBRUSH brush) {
    if (!dc || !area || !brush) return 0;
    dc->fill(*area, brush->color());
    return 1;
}

}  // namespace platform
