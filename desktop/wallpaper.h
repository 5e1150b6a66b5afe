// Leaving the saver's picture on the desktop as wallpaper, removing it again, and the desktop
// icon labels' text background.
#pragma once

#include <filesystem>
#include <string>

#include "image_file.h"
#include "win_types.h"

namespace desktop {

// The bitmap the wallpaper is made of, in the per-user system folder; overwritten each time,
// never deleted.
std::filesystem::path WallpaperBitmapPath();

struct FittedSize {
    int width = 0;
    int height = 0;
};
// The picture scaled by the smaller of the two ratios, up or down, keeping its aspect: the
// limiting side equals the target exactly.
FittedSize FitWithinDesktop(int pictureWidth, int pictureHeight, int targetWidth, int targetHeight);

// Renders the picture at width x height (an odd width loses a column; 0: its own size) in the
// screen's format and writes it to path: interpolated when quality is set and the picture has
// no palette, else a quick stretch. Returns 1; the file write is best effort.
int SaveWallpaperBitmap(imaging::CImageFile& picture, int width, int height, const std::string& path, bool quality);

// Points the desktop settings at the bitmap and has the desktop show it. 1 when the desktop took it.
int WriteWallpaperSettings(const std::string& path, int tile);
// Undoes the saver's wallpaper: the desktop shows what it showed before. 1 when it did.
int RemoveWallpaper();

// The web-style desktop of the other platform: there is none here, so never on.
bool IsActiveDesktopOn();
void RefreshActiveDesktop();

// 1 when the desktop's "Wallpaper" setting names the saver's bitmap (ignoring case).
int IsSaverWallpaper();

// The desktop's icon list (the last "SysListView32" below the "Progman" window), when there is
// one: flag 1 makes the label text background transparent and returns the colour it had; flag 0
// gives a transparent background the colour. Otherwise returns the colour and changes nothing.
platform::COLORREF SetIconTextTransparent(int flag, platform::COLORREF colour);

}  // namespace desktop
