// Changing the desktop's wallpaper, as the saver asks the platform to.
#pragma once

#include "win_types.h"

namespace platform {

constexpr UINT SPI_SETDESKWALLPAPER = 20;
constexpr UINT SPIF_UPDATEINIFILE = 0x01;
constexpr UINT SPIF_SENDWININICHANGE = 0x02;

// SPI_SETDESKWALLPAPER with a picture path: the running desktop shows it, tiled when the
// current user's "Control Panel\desktop" value "TileWallpaper" is "1", else centred. What the
// desktop showed is remembered before each change, unless it already showed the picture.
// With an empty path: the remembered wallpaper is put back and forgotten; with nothing
// remembered nothing changes. FALSE when no setter of the desktop worked (the cause goes to the
// debug trace) and for every other action.
BOOL SystemParametersInfo(UINT action, UINT parameter, void* value, UINT flags);

// Tells the shell that file kinds changed. No desktop here redraws on that: nothing to do.
constexpr long SHCNE_ASSOCCHANGED = 0x08000000L;
constexpr UINT SHCNF_FLUSHNOWAIT = 0x3000;
void SHChangeNotify(long eventId, UINT flags, const void* item1, const void* item2);

}  // namespace platform
