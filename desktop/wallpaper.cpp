#include "wallpaper.h"

#include "bitmap_file.h"
#include "desktop_wallpaper.h"
#include "quality_stretch.h"
#include "registry.h"
#include "text_compare.h"
#include "user_folders.h"
#include "windows.h"

namespace desktop {

using namespace platform;
namespace fs = std::filesystem;

namespace {

constexpr const char* kDesktopKey = "Control Panel\\desktop";
constexpr const char* kWebDesktopKey = "Software\\Microsoft\\Internet Explorer\\Desktop\\General";

// Opens or creates a key of the current user; an unopenable key is skipped.
RegKey UserKey(const char* path) {
    RegKey key;
    if (RegCreateKey(HKEY_CURRENT_USER, path, key.out()) != ERROR_SUCCESS) return RegKey();
    return key;
}

// The desktop's own window, "Progman" titled "Program Manager", when a desktop peer made one.
HWND ProgramManager() { return FindWindow("Progman", "Program Manager"); }

// Class names compare exactly, as read into a 256-character buffer.
bool HasClass(HWND window, const char* className) { return GetClassName(window).substr(0, 255) == className; }

}  // namespace

fs::path WallpaperBitmapPath() { return GetUserFolders().data / "Ostrel Screen Saver.bmp"; }

FittedSize FitWithinDesktop(int pictureWidth, int pictureHeight, int targetWidth, int targetHeight) {
    if (pictureWidth <= 0 || pictureHeight <= 0) return {targetWidth, targetHeight};
    const double sx = double(targetWidth) / pictureWidth, sy = double(targetHeight) / pictureHeight;
    const bool limitedByWidth = pictureWidth > targetWidth || pictureHeight > targetHeight ? sx < sy : !(sx > sy);
    if (limitedByWidth) return {targetWidth, int(double(pictureHeight) * targetWidth / pictureWidth)};
    return {int(double(pictureWidth) * targetHeight / pictureHeight), targetHeight};
}

int SaveWallpaperBitmap(imaging::CImageFile& picture, int width, int height, const std::string& path, bool quality) {
    if (width % 2) --width;
    if (width == 0) {
        width = picture.GetWidth();
        height = picture.GetHeight();
    }
    if (width <= 0 || height <= 0) return 1;
    HDC screen = GetDC(nullptr);
    UniqueMemoryDC memory(CreateCompatibleDC(screen));
    UniqueBitmap bitmap(CreateCompatibleBitmap(screen, width, height));
    ReleaseDC(nullptr, screen);
    if (!bitmap) return 1;
    HGDIOBJ previousBitmap = SelectObject(memory.get(), bitmap.get());
    HPALETTE palette = picture.GetPalette();
    HPALETTE previousPalette = nullptr;
    if (palette) {
        previousPalette = SelectPalette(memory.get(), palette, FALSE);
        RealizePalette(memory.get());
    }
    SetStretchBltMode(memory.get(), COLORONCOLOR);
    if (quality && picture.GetDepth() != 8) {
        imaging::QualityStretch(picture, memory.get(), bitmap.get(), width, height, path);
    } else {
        picture.Stretch(memory.get(), 0, 0, width, height);
        imaging::WriteDibFile(imaging::PackBitmapAsDib(bitmap.get(), palette), path);
    }
    if (palette) SelectPalette(memory.get(), previousPalette, FALSE);
    SelectObject(memory.get(), previousBitmap);
    return 1;
}

int WriteWallpaperSettings(const std::string& path, int tile) {
    const char* tiled = tile ? "1" : "0";
    if (RegKey key = UserKey(kDesktopKey)) {
        RegWriteString(key.get(), "Wallpaper", path);
        RegWriteString(key.get(), "TileWallpaper", tiled);
    }
    if (RegKey key = UserKey(kWebDesktopKey)) {
        RegWriteString(key.get(), "Wallpaper", path);
        RegWriteString(key.get(), "BackupWallpaper", path);
        RegWriteString(key.get(), "TileWallpaper", tiled);
    }
    if (!SystemParametersInfo(SPI_SETDESKWALLPAPER, 1, const_cast<char*>(path.c_str()),
                              SPIF_UPDATEINIFILE | SPIF_SENDWININICHANGE))
        return 0;
    RefreshActiveDesktop();
    return 1;
}

int RemoveWallpaper() {
    if (RegKey key = UserKey(kDesktopKey)) RegWriteString(key.get(), "Wallpaper", "");
    char empty[] = "";
    if (!SystemParametersInfo(SPI_SETDESKWALLPAPER, 0, empty, SPIF_SENDWININICHANGE)) return 0;
    RefreshActiveDesktop();
    return 1;
}

bool IsActiveDesktopOn() {
    const HWND manager = ProgramManager();
    if (!manager) return false;
    bool found = false;
    EnumChildWindows(manager, [&](HWND child) {
        found = HasClass(child, "Internet Explorer_Server");
        return found ? FALSE : TRUE;
    });
    return found;
}

void RefreshActiveDesktop() {
    if (IsActiveDesktopOn()) SHChangeNotify(SHCNE_ASSOCCHANGED, SHCNF_FLUSHNOWAIT, nullptr, nullptr);
}

int IsSaverWallpaper() {
    RegKey key;
    if (RegOpenKey(HKEY_CURRENT_USER, kDesktopKey, key.out()) != ERROR_SUCCESS) return 0;
    const auto wallpaper = RegReadString(key.get(), "Wallpaper");
    if (!wallpaper) return 0;
    return EqualsNoCase(wallpaper->substr(0, 511), WallpaperBitmapPath().string()) ? 1 : 0;
}

COLORREF SetIconTextTransparent(int flag, COLORREF colour) {
    const HWND manager = ProgramManager();
    HWND iconList = nullptr;
    if (manager) {
        EnumChildWindows(manager, [&](HWND child) {
            if (HasClass(child, "SysListView32")) iconList = child;
            return TRUE;
        });
    }
    if (!iconList) return colour;
    const auto current = COLORREF(SendMessage(iconList, LVM_GETTEXTBKCOLOR, 0, 0));
    if (flag == 1) {
        if (current == CLR_NONE) return colour;
        SendMessage(iconList, LVM_SETTEXTBKCOLOR, 0, LPARAM(CLR_NONE));
        InvalidateRect(iconList, nullptr, TRUE);
        return current;
    }
    if (flag == 0 && current == CLR_NONE) {
        SendMessage(iconList, LVM_SETTEXTBKCOLOR, 0, LPARAM(colour));
        InvalidateRect(iconList, nullptr, TRUE);
    }
    return colour;
}

}  // namespace desktop
