#include "desktop_peer.h"

#include "windows.h"

namespace testing_support {

using namespace platform;

DesktopPeer::DesktopPeer(COLORREF labelBackground) : labelBackground_(labelBackground) {
    for (const char* name : {"Progman", "SHELLDLL_DefView", "SysListView32", "Internet Explorer_Server",
                             "internet explorer_server"})
        RegisterClass(name, 0);
    manager_ = CreateWindowEx(0, "Progman", "Program Manager", WS_POPUP, 0, 0, 1, 1, nullptr, 0,
                              [this](HWND window, UINT message, WPARAM wParam, LPARAM lParam) -> LRESULT {
                                  if (message == WM_WININICHANGE && wParam == 20) ++wallpaperNotices_;
                                  return DefWindowProc(window, message, wParam, lParam);
                              });
    const HWND view = CreateWindowEx(0, "SHELLDLL_DefView", "", WS_CHILD, 0, 0, 1, 1, manager_, 1, nullptr);
    CreateWindowEx(0, "SysListView32", "FolderView", WS_CHILD, 0, 0, 1, 1, view, 2,
                   [this](HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
                       return listProc(window, message, wParam, lParam);
                   });
}

DesktopPeer::~DesktopPeer() { DestroyWindow(manager_); }

HWND DesktopPeer::addChild(const std::string& className) {
    return CreateWindowEx(0, className.c_str(), "", WS_CHILD, 0, 0, 1, 1, manager_, 3, nullptr);
}

LRESULT DesktopPeer::listProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == LVM_GETTEXTBKCOLOR) return LRESULT(labelBackground_);
    if (message == LVM_SETTEXTBKCOLOR) {
        labelBackground_ = COLORREF(lParam);
        ++backgroundChanges_;
        return TRUE;
    }
    return DefWindowProc(window, message, wParam, lParam);
}

}  // namespace testing_support
