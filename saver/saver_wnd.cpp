#include "saver_wnd.h"

#include "saver_app.h"
#include "windows.h"

namespace saver {

namespace {
constexpr const char* kSaverWindowClass = "KelvaneSaverWindow";
}  // namespace

SaverWnd::SaverWnd(SaverApp& app) : app_(app) {}

SaverWnd::~SaverWnd() {
    if (hwnd_ && IsWindow(hwnd_)) {
        autoDelete_ = false;  // being deleted already
        DestroyWindow(hwnd_);
    }
}

const SaverSettings& SaverWnd::settings() const { return app_.settings; }

bool SaverWnd::Create(DWORD exStyle, DWORD style, const RECT& rect, HWND parent, int controlId) {
    return CreateNamed(kSaverWindowClass, CS_HREDRAW | CS_VREDRAW, "", exStyle, style, rect, parent, controlId);
}

bool SaverWnd::CreateNamed(const char* className, UINT classStyle, const char* title, DWORD exStyle, DWORD style,
                           const RECT& rect, HWND parent, int controlId) {
    RegisterClass(className, classStyle);
    hwnd_ = CreateWindowEx(exStyle, className, title, style, rect.left, rect.top, rect.width(), rect.height(), parent,
                           controlId, [this](HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
                               if (!hwnd_) hwnd_ = window;  // messages sent during creation
                               return WindowProc(message, wParam, lParam);
                           });
    return hwnd_ != nullptr;
}

LRESULT SaverWnd::Default(UINT message, WPARAM wParam, LPARAM lParam) {
    return DefWindowProc(hwnd_, message, wParam, lParam);
}

LRESULT SaverWnd::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_CREATE: return OnCreate();
    case WM_ERASEBKGND: return OnEraseBkgnd(reinterpret_cast<HDC>(wParam));
    case WM_PAINT: OnPaint(); return 0;
    case WM_DESTROY: OnDestroy(); return 0;
    case WM_NCDESTROY: {
        Default(message, wParam, lParam);
        PostNcDestroy();
        return 0;
    }
    default: return Default(message, wParam, lParam);
    }
}

void SaverWnd::PostNcDestroy() {
    hwnd_ = nullptr;
    if (autoDelete_) delete this;
}

int SaverWnd::OnCreate() {
    LoadSettings(app_.settings);
    backColor_ = COLORREF(app_.settings.BackColor);
    backgroundBrush_.reset(CreateSolidBrush(backColor_));
    GetWindowRect(GetDesktopWindow(), &desktopRect_);
    GetClientRect(hwnd_, &pictureArea_);
    // A window lower than the desktop is a preview inside a host window.
    preview_ = pictureArea_.height() < desktopRect_.height();
    return 0;
}

void SaverWnd::FillPictureArea(HDC dc) {
    FillRect(dc, &pictureArea_, backgroundBrush_.get());
}

BOOL SaverWnd::OnEraseBkgnd(HDC dc) {
    FillPictureArea(dc);
    firstPaint_ = false;
    return TRUE;
}

void SaverWnd::OnPaint() {
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(hwnd_, &paint);
    if (dc) {
        UniqueBrush brush(CreateSolidBrush(COLORREF(app_.settings.BackColor)));
        FillRect(dc, &pictureArea_, brush.get());
    }
    EndPaint(hwnd_, &paint);
}

void SaverWnd::OnDestroy() { backgroundBrush_.reset(); }

}  // namespace saver
