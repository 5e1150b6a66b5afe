// The saver window's part in leaving its picture on the desktop.
#include <cstring>

#include "quality_stretch.h"
#include "saver_app.h"
#include "saver_wnd.h"
#include "trace.h"
#include "user_folders.h"
#include "wallpaper.h"
#include "windows.h"

namespace saver {

using namespace platform;

namespace {
constexpr const char* kWallpaperNotice = "Setting current image as wallpaper.";
constexpr int kNoticeTop = 100;
}  // namespace

void SaverWnd::ShowWallpaperNotice() {
    RECT window{};
    GetClientRect(hwnd_, &window);
    WindowDC dc(hwnd_);
    SetTextColor(dc, RGB(255, 255, 255));
    SetBkColor(dc, backColor_);
    SetBkMode(dc, OPAQUE);
    SetTextAlign(dc, TA_CENTER | TA_TOP);
    HGDIOBJ previous = noticeFont_ ? SelectObject(dc, noticeFont_.get()) : nullptr;
    TextOut(dc, window.width() / 2, ForScreen(kNoticeTop), kWallpaperNotice, int(std::strlen(kWallpaperNotice)));
    if (previous) SelectObject(dc, previous);
}

int SaverWnd::SetImageAsWallpaper(int trigger) {
    const SaverSettings& s = settings();
    const WallpaperMode mode = WallpaperModeOf(s);
    if (!((mode == WallpaperMode::OnClose && trigger == kWallpaperOnClose) || (mode == WallpaperMode::OnKey && trigger == kWallpaperOnKey)))
        return 0;
    bool quality = s.InterStretch != 0 && imaging::GetDisplayBitDepth() > 15;
    if (preview_) return 0;
    ShowWallpaperNotice();
    int targetWidth = 0, targetHeight = 0;
    if (s.WallSize == 1) {
        RECT desktop{};
        GetWindowRect(GetDesktopWindow(), &desktop);
        targetWidth = desktop.width();
        targetHeight = desktop.height();
    }
    if (!loaded_ || !picture_) return 0;
    const std::string path = desktop::WallpaperBitmapPath().string();
    EnsureFolder(desktop::WallpaperBitmapPath().parent_path(), std::filesystem::perms::owner_all);
    int width = picture_->GetWidth(), height = picture_->GetHeight();
    if (targetWidth != 0) {
        const auto fitted = desktop::FitWithinDesktop(width, height, targetWidth, targetHeight);
        width = fitted.width;
        height = fitted.height;
    } else {
        quality = false;
    }
    // A file that could not be written leaves the one before (or none): the desktop is not
    // pointed at it, and nothing claims success.
    const auto writtenAt = [&path] {
        std::error_code error;
        const auto time = std::filesystem::last_write_time(path, error);
        return error ? std::filesystem::file_time_type::min() : time;
    };
    const auto before = writtenAt();
    desktop::SaveWallpaperBitmap(*picture_, width, height, path, quality);
    if (writtenAt() == before) {
        DebugTrace("wallpaper: %s could not be written\n", path.c_str());
        return 0;
    }
    const int accepted = desktop::WriteWallpaperSettings(path, s.WallDisplay);
    DebugTrace("wallpaper: %s written at %dx%d; the desktop %s it\n", path.c_str(), width, height,
               accepted ? "shows" : "did not take");
    if (!accepted) return 0;
    if (s.CheckTransIcon) desktop::SetIconTextTransparent(1, 0);
    return 1;
}

}  // namespace saver
