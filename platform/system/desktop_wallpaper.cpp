#include "desktop_wallpaper.h"

#include <algorithm>
#include <cerrno>  // program_invocation_short_name
#include <cstdio>
#include <fstream>

#include "fresh_file.h"
#include "registry.h"
#include "session_platform.h"
#include "trace.h"
#include "user_folders.h"
#include "wallpaper_setters.h"

namespace platform {
namespace fs = std::filesystem;

namespace {

bool TileWallpaperChosen() {
    RegKey desktop;
    if (RegOpenKey(HKEY_CURRENT_USER, "Control Panel\\desktop", desktop.out()) != ERROR_SUCCESS) return false;
    return RegReadString(desktop.get(), "TileWallpaper").value_or("0") == "1";
}

// What a desktop showed before the saver's first change, one "name<TAB>value" line each.
fs::path MemoryFile(const std::string& desktop) { return GetUserFolders().data / ("wallpaper-before-" + desktop + ".txt"); }

std::optional<WallpaperSettings> Remembered(const std::string& desktop) {
    std::ifstream file(MemoryFile(desktop));
    if (!file) return std::nullopt;
    WallpaperSettings settings;
    std::string line;
    while (std::getline(file, line)) {
        const size_t tab = line.find('\t');
        if (tab != std::string::npos) settings.emplace_back(line.substr(0, tab), line.substr(tab + 1));
    }
    return settings;
}

void Remember(const std::string& desktop, const WallpaperSettings& settings) {
    const fs::path path = MemoryFile(desktop);
    std::string text;
    for (const auto& [name, value] : settings) text += name + '\t' + value + '\n';
    ReplaceFileWhole(path, text, 0600);
}

// Remembers what the desktop shows whenever it is not the saver's file: the user may have chosen
// another picture since the saver's last change, and that is what removing gives back. A desktop
// that shows the file keeps what is remembered, or, with nothing remembered (state lost), counts
// as showing its defaults.
void RememberUnlessShowingFile(WallpaperSetter& setter, const fs::path& file) {
    auto shown = setter.current();
    if (!shown) return;
    const std::string uri = FileUri(file);
    const bool showsFile = std::any_of(shown->begin(), shown->end(), [&](const auto& setting) {
        return setting.second.find(file.string()) != std::string::npos || setting.second.find(uri) != std::string::npos;
    });
    if (showsFile && Remembered(setter.desktop())) return;
    if (showsFile) shown->clear();
    Remember(setter.desktop(), *shown);
}

BOOL ShowWallpaper(const fs::path& file) {
    const bool tiled = TileWallpaperChosen();
    const std::string desktop = CurrentDesktop();
    EnsureFolder(GetUserFolders().data, fs::perms::owner_all);
    bool tried = false;
    for (auto& setter : WallpaperSettersFor(desktop, GetUserFolders().data)) {
        if (!setter->available()) continue;
        tried = true;
        RememberUnlessShowingFile(*setter, file);
        if (setter->show(file, tiled)) {
            DebugTrace("wallpaper: %s shows %s (%s)\n", desktop.c_str(), file.c_str(), tiled ? "tiled" : "centred");
            return TRUE;
        }
        DebugTrace("wallpaper: %s\n", setter->failure().c_str());
    }
    if (!tried && IsWaylandSession(SessionEnvironment::OfThisProcess()) && desktop == "x11")
        std::fprintf(stderr, "%s: the wallpaper cannot be set on this Wayland desktop: it is set through the settings "
                             "of GNOME, Cinnamon, MATE, Xfce, KDE Plasma or LXQt, or on an X11 root window\n",
                     program_invocation_short_name);
    else if (!tried)
        DebugTrace("wallpaper: no way to set the wallpaper on the %s desktop was found\n", desktop.c_str());
    return FALSE;
}

BOOL RestoreWallpaper() {
    const std::string desktop = CurrentDesktop();
    const auto previous = Remembered(desktop);
    if (!previous) return TRUE;  // nothing of ours to undo
    for (auto& setter : WallpaperSettersFor(desktop, GetUserFolders().data)) {
        if (!setter->available()) continue;
        if (setter->restore(*previous)) {
            std::error_code error;
            fs::remove(MemoryFile(desktop), error);
            DebugTrace("wallpaper: %s shows its previous wallpaper again\n", desktop.c_str());
            return TRUE;
        }
        DebugTrace("wallpaper: %s\n", setter->failure().c_str());
    }
    DebugTrace("wallpaper: the %s desktop's previous wallpaper could not be put back\n", desktop.c_str());
    return FALSE;
}

}  // namespace

BOOL SystemParametersInfo(UINT action, UINT, void* value, UINT) {
    if (action != SPI_SETDESKWALLPAPER || !value) return FALSE;
    const char* path = static_cast<const char*>(value);
    return *path ? ShowWallpaper(path) : RestoreWallpaper();
}

void SHChangeNotify(long, UINT, const void*, const void*) {}

}  // namespace platform
