// The desktops' own ways of changing the wallpaper: their settings tools, or the X root window.
#pragma once

#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace platform {

// A desktop's wallpaper settings as its own tools print them (name, value), so they can be put
// back exactly. Empty: the desktop showed its defaults.
using WallpaperSettings = std::vector<std::pair<std::string, std::string>>;

class WallpaperSetter {
public:
    virtual ~WallpaperSetter() = default;
    // The desktop it serves ("gnome", "xfce", "x11", ...): setters of one desktop share what they remember.
    virtual std::string desktop() const = 0;
    // Its tool is there to be used.
    virtual bool available() const = 0;
    // What the desktop shows now; nothing when that cannot be read.
    virtual std::optional<WallpaperSettings> current() = 0;
    // Shows the picture file centred, or tiled; false when the desktop refused.
    virtual bool show(const std::filesystem::path& file, bool tiled) = 0;
    // Puts settings read by current() back (empty: the desktop's defaults); false when refused.
    virtual bool restore(const WallpaperSettings& previous) = 0;
    // Why the last call failed, for the debug trace.
    const std::string& failure() const { return failure_; }

protected:
    bool fail(std::string cause) {
        failure_ = std::move(cause);
        return false;
    }

private:
    std::string failure_;
};

// The running desktop from XDG_CURRENT_DESKTOP, else from the processes that run: "gnome"
// (also Unity and Budgie), "cinnamon", "mate", "xfce", "kde", "lxqt", or "x11" for a plain X
// session (or none of these).
std::string CurrentDesktop();

// The setters to try, in order, for that desktop. The X root window's setters keep what they
// need to remember in the folder given.
std::vector<std::unique_ptr<WallpaperSetter>> WallpaperSettersFor(const std::string& desktop,
                                                                  const std::filesystem::path& stateFolder);

// A string in single quotes with quotes and backslashes escaped, as gsettings (GVariant text)
// and Plasma's scripts read it.
std::string SingleQuotedLiteral(const std::string& text);
// A local path as a file:// address with the characters an address cannot hold escaped.
std::string FileUri(const std::filesystem::path& file);

}  // namespace platform
