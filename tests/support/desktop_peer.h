// The other platform's desktop, as far as the icon-label code looks for it: a "Progman" window
// titled "Program Manager" with the icon list ("SysListView32") below it, answering the list's
// text-background messages. Also a window that counts the wallpaper-change broadcasts.
#pragma once

#include <string>

#include "win_types.h"

namespace testing_support {

class DesktopPeer {
public:
    explicit DesktopPeer(platform::COLORREF labelBackground = 0x00FFFFFF);
    ~DesktopPeer();
    DesktopPeer(const DesktopPeer&) = delete;
    DesktopPeer& operator=(const DesktopPeer&) = delete;

    // Another, plain child under the desktop window (the web view of a web-style desktop).
    platform::HWND addChild(const std::string& className);

    platform::COLORREF labelBackground() const { return labelBackground_; }
    // The desktop resets the labels (a wallpaper or colour-scheme change).
    void resetLabels(platform::COLORREF colour) { labelBackground_ = colour; }
    int backgroundChanges() const { return backgroundChanges_; }
    // WM_WININICHANGE broadcasts with SPI_SETDESKWALLPAPER the desktop received.
    int wallpaperNotices() const { return wallpaperNotices_; }
    platform::HWND window() const { return manager_; }

private:
    platform::LRESULT listProc(platform::HWND window, platform::UINT message, platform::WPARAM wParam,
                               platform::LPARAM lParam);

    platform::HWND manager_ = nullptr;
    platform::COLORREF labelBackground_;
    int backgroundChanges_ = 0;
    int wallpaperNotices_ = 0;
};

}  // namespace testing_support
