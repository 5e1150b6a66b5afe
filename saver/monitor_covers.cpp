#include "monitor_covers.h"

#include "windows.h"

namespace saver {

using namespace platform;

namespace {
constexpr const char* kCoverClass = "KelvaneMonitorCover";
}

MonitorCovers::MonitorCovers(HWND saver, COLORREF background) : saver_(saver), brush_(CreateSolidBrush(background)) {
    RegisterClass(kCoverClass, CS_VREDRAW | CS_HREDRAW);
}

MonitorCovers::~MonitorCovers() { Uncover(); }

void MonitorCovers::Uncover() {
    for (HWND window : windows_) DestroyWindow(window);
    windows_.clear();
}

void MonitorCovers::Cover() {
    Uncover();
    const std::vector<RECT> monitors = MonitorRects();
    for (size_t i = 1; i < monitors.size(); ++i) {
        const RECT& monitor = monitors[i];
        HWND window = CreateWindowEx(
            WS_EX_TOPMOST, kCoverClass, "", WS_POPUP | WS_VISIBLE, monitor.left, monitor.top, monitor.width(),
            monitor.height(), nullptr, 0, [this](HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) -> LRESULT {
                switch (message) {
                case WM_ERASEBKGND: {
                    RECT client{};
                    GetClientRect(hwnd, &client);
                    FillRect(reinterpret_cast<HDC>(wParam), &client, brush_.get());
                    return 1;
                }
                case WM_SETCURSOR:
                    SetCursor(nullptr);
                    return TRUE;
                // What a person does here, they do to the saver.
                case WM_KEYDOWN:
                case WM_KEYUP:
                case WM_SYSKEYDOWN:
                case WM_LBUTTONDOWN:
                case WM_RBUTTONDOWN:
                case WM_MBUTTONDOWN:
                case WM_MOUSEMOVE:
                    PostMessage(saver_, message, wParam, lParam);
                    return 0;
                default:
                    return DefWindowProc(hwnd, message, wParam, lParam);
                }
            });
        if (window) windows_.push_back(window);
    }
}

}  // namespace saver
