#include "full_screen_saver_wnd.h"

#include <cstdlib>

#include "browser_launcher.h"
#include "clock.h"
#include "registry.h"
#include "saver_app.h"
#include "saver_messages.h"
#include "termination.h"
#include "windows.h"

namespace saver {

using namespace platform;

namespace {
constexpr const char* kFullScreenClass = "KelvaneFullScreenSaver";
constexpr DWORD kPasswordRetryMs = 200;
}  // namespace

FullScreenSaverWnd::FullScreenSaverWnd(SaverApp& app) : SaverWnd(app) {}

FullScreenSaverWnd::~FullScreenSaverWnd() {
    if (passwordLibrary_) FreeLibrary(passwordLibrary_);
}

bool FullScreenSaverWnd::Create() {
    OSVERSIONINFO version;
    GetVersionEx(&version);
    onWindows95_ = version.dwPlatformId == VER_PLATFORM_WIN32_WINDOWS;
    if (onWindows95_) LoadPasswordHook();
    const RECT screen{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
    if (!CreateNamed(kFullScreenClass, CS_VREDRAW | CS_HREDRAW | CS_DBLCLKS | CS_SAVEBITS, kSaverTitle, WS_EX_TOPMOST,
                     WS_POPUP | WS_VISIBLE, screen, nullptr, 0))
        return false;
    // The primary monitor has the saver; every other one is covered too.
    covers_ = std::make_unique<MonitorCovers>(hwnd(), settings());
    covers_->Cover(settings().CurrentCam);
    if (!app().hostedByDaemon)
        endLock_ = std::make_unique<EndLock>(settings(), [this] { PostClose(); },
                                             [this](const std::string& notice) { SetMarqueeNotice(notice); });
    return true;
}

void FullScreenSaverWnd::LoadPasswordHook() {
    if (passwordLibrary_) UnloadPasswordHook();
    RegKey desktop;
    if (RegOpenKey(HKEY_CURRENT_USER, "Control Panel\\Desktop", desktop.out()) != ERROR_SUCCESS) return;
    const auto usePassword = RegReadDword(desktop.get(), "ScreenSaveUsePassword");
    if (!usePassword || *usePassword == 0) return;
    passwordLibrary_ = LoadLibrary("PASSWORD.CPL");
    if (!passwordLibrary_) return;
    verifyRoutine_ = GetProcAddress<BOOL(HWND)>(passwordLibrary_, "VerifyScreenSavePwd");
    if (!verifyRoutine_) {
        FreeLibrary(passwordLibrary_);
        passwordLibrary_ = nullptr;
    }
}

void FullScreenSaverWnd::UnloadPasswordHook() {
    if (!passwordLibrary_) return;
    FreeLibrary(passwordLibrary_);
    passwordLibrary_ = nullptr;
    verifyRoutine_ = nullptr;
}

BOOL FullScreenSaverWnd::VerifyPassword() {
    if (dialogInProgress_ || closing_) return FALSE;
    if (!verifyRoutine_) {
        closing_ = true;
        return TRUE;
    }
    // A refusal is not asked again within 200 ms: one burst of input opens one dialog.
    if (lastVerification_ && TickDifference(*lastVerification_, GetTickCount()) < kPasswordRetryMs) return closing_;
    dialogInProgress_ = true;
    MSG pending;
    // Ticks and a next picture asked for before the dialog are dropped, not shown behind it.
    for (const UINT dropped : {WM_TIMER, MSG_NEXT_PICTURE})
        while (PeekMessage(&pending, hwnd(), dropped, dropped, PM_REMOVE | PM_NOYIELD)) {
        }
    closing_ = SendMessage(hwnd(), MSG_VERIFY_PASSWORD, 0, 0) != 0;
    dialogInProgress_ = false;
    if (!closing_) SetCursor(nullptr);
    lastVerification_ = GetTickCount();
    return closing_;
}

void FullScreenSaverWnd::PostClose() { PostMessage(hwnd(), WM_CLOSE, 0, 0); }

void FullScreenSaverWnd::PictureStored(const std::string& name) {
    if (covers_) covers_->PictureStored(name);
}

std::vector<std::string> FullScreenSaverWnd::OtherShownSources() const {
    return covers_ ? covers_->sources() : std::vector<std::string>{};
}

LRESULT FullScreenSaverWnd::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_DESTROY) covers_.reset();  // the other monitors go with the saver
    if (isPreview() || closing_) return SaverWnd::WindowProc(message, wParam, lParam);
    switch (message) {
    case WM_CLOSE:
        if (onWindows95_ && !VerifyPassword()) return 0;
        // The lock first, the covers staying; a launcher's SIGTERM ends the saver at once, and its
        // guardian locks as it goes.
        if (endLock_ && !platform::EndAskedBySignal() && !endLock_->mayEnd()) return 0;
        SetMarqueeNotice("");
        SendMessage(hwnd(), MSG_SET_WALLPAPER, wParam, kWallpaperOnClose);
        break;
    case MSG_VERIFY_PASSWORD:
        if (!onWindows95_) break;
        if (ShowCursor(TRUE) > 1) ShowCursor(FALSE);
        return verifyRoutine_ ? verifyRoutine_(hwnd()) : 1;
    default:
        break;
    }
    if (message != WM_CLOSE && dialogInProgress_) return SaverWnd::WindowProc(message, wParam, lParam);
    switch (message) {
    case WM_SHOWWINDOW:
        if (wParam) SetCursor(nullptr);
        break;
    case WM_SETCURSOR:
        SetCursor(nullptr);
        return TRUE;
    case WM_ACTIVATEAPP:
        if (!wParam) PostClose();
        break;
    case WM_DISPLAYCHANGE:  // the monitors (or the host window standing for them) changed
        MoveWindow(hwnd(), 0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN), FALSE);
        if (covers_) covers_->Cover(settings().CurrentCam);
        return 0;

    case WM_SYSKEYDOWN:
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN:
    case WM_MBUTTONDOWN:
        PostClose();
        break;
    case WM_MOUSEMOVE:
        if (!settings().IgnoreMouse) OnMouseMove();
        break;
    case WM_KEYDOWN:
        return OnKeyDown(UINT(wParam), wParam, lParam);
    default:
        break;
    }
    return SaverWnd::WindowProc(message, wParam, lParam);
}

void FullScreenSaverWnd::OnMouseMove() {
    POINT cursor;
    GetCursorPos(&cursor);
    if (!mouseReference_) {
        mouseReference_ = cursor;
        return;
    }
    // Two pixels of travel in all, so a jittery mouse does not end the saver.
    if (std::abs(cursor.x - mouseReference_->x) + std::abs(cursor.y - mouseReference_->y) >= 2) {
        mouseReference_.reset();
        PostClose();
    }
}

LRESULT FullScreenSaverWnd::OnKeyDown(UINT key, WPARAM wParam, LPARAM lParam) {
    switch (key) {
    case VK_F3:
    case VK_MEDIA_PLAY_PAUSE:
    case VK_F4:
    case VK_MEDIA_STOP:
    case VK_MEDIA_NEXT_TRACK: {
        // The music's keys, and the keyboard's media keys with them: they never end the saver.
        const WPARAM command = key == VK_F3 || key == VK_MEDIA_PLAY_PAUSE ? kMusicPauseResume
                               : key == VK_MEDIA_NEXT_TRACK               ? kMusicNext
                                                                          : kMusicSecondCommand;
        if (HWND music = FindWindow(nullptr, kMusicWindowTitle)) SendMessage(music, MSG_MUSIC_COMMAND, command, 0);
        return SaverWnd::WindowProc(WM_KEYDOWN, wParam, lParam);
    }
    case VK_F1:
        desktop::OpenUrlInBrowser(hwnd(), desktop::kLinkPage);  // no message when it fails
        PostClose();
        return 0;
    case VK_F5:
        PostMessage(hwnd(), MSG_SET_WALLPAPER, VK_F5, kWallpaperOnKey);
        return 0;
    case VK_F9:
        PostMessage(hwnd(), MSG_NEXT_PICTURE, 0, 0);
        return 0;
    case VK_F12:
        PostMessage(hwnd(), MSG_REFRESH_NOW, VK_F12, 2);
        return 0;
    default:
        PostClose();
        return SaverWnd::WindowProc(WM_KEYDOWN, wParam, lParam);
    }
}

void FullScreenSaverWnd::PostNcDestroy() {
    if (onWindows95_) UnloadPasswordHook();
    SaverWnd::PostNcDestroy();
}

}  // namespace saver
