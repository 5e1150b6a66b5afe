#include "glyphveil_wnd.h"

#include "desktop_wallpaper.h"
#include "icon_text_companion.h"
#include "message_box.h"
#include "wallpaper.h"
#include "windows.h"

namespace icontext {

using namespace platform;

namespace {

void KeepLabelsTransparent() {
    if (desktop::IsSaverWallpaper()) desktop::SetIconTextTransparent(1, 0);
}

}  // namespace

HWND CreateGlyphveilWindow() {
    RegisterClass(desktop::kIconTextClass, CS_HREDRAW | CS_VREDRAW);
    HWND window = CreateWindowEx(0, desktop::kIconTextClass, kWindowTitle, 0, 0, 0, 0, 0, nullptr, 0, GlyphveilWndProc);
    if (window) ShowWindow(window, SW_HIDE);
    return window;
}

LRESULT GlyphveilWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_CREATE:
        KeepLabelsTransparent();
        SetTimer(window, kCheckTimer, kCheckPeriodMs);
        return 0;
    case WM_TIMER:
        KeepLabelsTransparent();
        return 0;
    case WM_COMMAND:
        if (wParam == IDM_ABOUT) MessageBox(window, kAboutText, kAboutCaption, MB_OK);
        else if (wParam == IDM_EXIT) DestroyWindow(window);
        return 0;
    case WM_DESTROY:
        KillTimer(window, kCheckTimer);
        // The desktop re-reads its wallpaper settings and so gives the labels their own look back.
        SendMessage(HWND_BROADCAST, WM_WININICHANGE, SPI_SETDESKWALLPAPER, 0);
        PostQuitMessage(0);
        return 0;
    default: return DefWindowProc(window, message, wParam, lParam);
    }
}

}  // namespace icontext
