#include "wallpaper_setters.h"

#include <QImage>
#include <QUrl>
#include <cstdlib>
#include <cstring>
#include <fstream>

#include "programs.h"
#include "root_window_wallpaper.h"
#include "run_command.h"
#include "session_platform.h"
#include "text_compare.h"

namespace platform {
namespace fs = std::filesystem;

namespace {

std::string Trimmed(std::string text) {
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == ' ')) text.pop_back();
    return text;
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        if (end > start) lines.push_back(Trimmed(text.substr(start, end - start)));
        start = end + 1;
    }
    return lines;
}

// The X root window is what the desktop shows behind its windows: not on a Wayland session, where
// Xwayland's root window is never shown.
bool RootWindowShown() {
    const SessionEnvironment session = SessionEnvironment::OfThisProcess();
    return !session.x11Display.empty() && !IsWaylandSession(session);
}

// GNOME and the desktops built on its settings: one schema with the picture's address (or path)
// and how it is laid out.
class GSettingsSetter : public WallpaperSetter {
public:
    struct Schema {
        const char* desktop;
        const char* schema;
        std::vector<const char*> pictureKeys;  // the first is required, any others are optional
        bool pictureIsUri;
        const char* optionsKey;
    };
    explicit GSettingsSetter(Schema schema) : schema_(std::move(schema)) {}

    std::string desktop() const override { return schema_.desktop; }
    bool available() const override { return FindProgram("gsettings").has_value(); }

    std::optional<WallpaperSettings> current() override {
        WallpaperSettings settings;
        for (const char* key : keys()) {
            const auto value = RunCommand({"gsettings", "get", schema_.schema, key});
            if (Succeeded(value)) settings.emplace_back(key, Trimmed(value->output));
            else if (key == schema_.pictureKeys.front()) return std::nullopt;
        }
        return settings;
    }

    bool show(const fs::path& file, bool tiled) override {
        const std::string picture = SingleQuotedLiteral(schema_.pictureIsUri ? FileUri(file) : file.string());
        for (const char* key : schema_.pictureKeys)
            if (!set(key, picture) && key == schema_.pictureKeys.front()) return false;
        return set(schema_.optionsKey, tiled ? "'wallpaper'" : "'centered'");
    }

    bool restore(const WallpaperSettings& previous) override {
        if (previous.empty()) {
            bool reset = true;
            for (const char* key : keys()) reset = Succeeded(RunCommand({"gsettings", "reset", schema_.schema, key})) && reset;
            return reset || fail("gsettings could not reset " + std::string(schema_.schema));
        }
        bool restored = true;
        for (const auto& [key, value] : previous) restored = set(key, value) && restored;
        return restored;
    }

private:
    std::vector<const char*> keys() const {
        std::vector<const char*> all = schema_.pictureKeys;
        all.push_back(schema_.optionsKey);
        return all;
    }
    bool set(const std::string& key, const std::string& value) {
        if (Succeeded(RunCommand({"gsettings", "set", schema_.schema, key, value}))) return true;
        return fail("gsettings refused " + std::string(schema_.schema) + " " + key);
    }

    Schema schema_;
};

// XFCE keeps a picture and a style for every monitor and workspace.
class XfceSetter : public WallpaperSetter {
public:
    std::string desktop() const override { return "xfce"; }
    bool available() const override { return FindProgram("xfconf-query").has_value(); }

    std::optional<WallpaperSettings> current() override {
        const auto properties = backdropProperties();
        if (!properties) return std::nullopt;
        WallpaperSettings settings;
        for (const std::string& property : *properties) {
            const auto value = RunCommand({"xfconf-query", "-c", kChannel, "-p", property});
            if (Succeeded(value)) settings.emplace_back(property, Trimmed(value->output));
        }
        return settings;
    }

    bool show(const fs::path& file, bool tiled) override {
        const auto properties = backdropProperties();
        if (!properties) return fail("xfconf-query cannot list the desktop's settings");
        std::vector<std::string> images;
        for (const std::string& property : *properties)
            if (EndsWith(property, kImage)) images.push_back(property);
        // A desktop that never had a picture set has no such settings yet: the first monitor's.
        if (images.empty()) images.push_back("/backdrop/screen0/monitor0/workspace0/last-image");
        for (const std::string& image : images) {
            const std::string style = image.substr(0, image.size() - std::strlen(kImage)) + kStyle;
            if (!set(image, file.string()) || !set(style, tiled ? "2" : "1")) return false;
        }
        return true;
    }

    bool restore(const WallpaperSettings& previous) override {
        bool restored = true;
        if (previous.empty()) {
            const auto properties = backdropProperties();
            for (const std::string& property : properties.value_or(std::vector<std::string>{}))
                restored = Succeeded(RunCommand({"xfconf-query", "-c", kChannel, "-p", property, "-r"})) && restored;
            return restored || fail("xfconf-query could not reset the desktop's pictures");
        }
        for (const auto& [property, value] : previous) restored = set(property, value) && restored;
        return restored;
    }

private:
    static constexpr const char* kChannel = "xfce4-desktop";
    static constexpr const char* kImage = "/last-image";
    static constexpr const char* kStyle = "/image-style";

    static bool EndsWith(const std::string& text, const char* end) {
        const size_t length = std::strlen(end);
        return text.size() >= length && text.compare(text.size() - length, length, end) == 0;
    }

    std::optional<std::vector<std::string>> backdropProperties() {
        const auto listed = RunCommand({"xfconf-query", "-c", kChannel, "-l"});
        if (!Succeeded(listed)) return std::nullopt;
        std::vector<std::string> properties;
        for (const std::string& line : Lines(listed->output))
            if (line.rfind("/backdrop/", 0) == 0 && (EndsWith(line, kImage) || EndsWith(line, kStyle)))
                properties.push_back(line);
        return properties;
    }

    bool set(const std::string& property, const std::string& value) {
        const char* type = EndsWith(property, kStyle) ? "int" : "string";
        if (Succeeded(RunCommand({"xfconf-query", "-c", kChannel, "-p", property, "-n", "-t", type, "-s", value})))
            return true;
        return fail("xfconf-query refused " + property);
    }
};

// KDE Plasma changes its wallpaper through the shell's scripting interface on the session bus.
class PlasmaSetter : public WallpaperSetter {
public:
    std::string desktop() const override { return "kde"; }
    bool available() const override { return !qdbus().empty() || FindProgram("dbus-send").has_value(); }

    std::optional<WallpaperSettings> current() override {
        const auto printed = evaluate(
            "var all = desktops(); if (all.length > 0) { var d = all[0]; " + std::string(kGroup) +
            " print(d.readConfig('Image') + '\\n' + d.readConfig('FillMode') + '\\n'); }");
        if (!printed) return std::nullopt;
        const auto lines = Lines(*printed);
        if (lines.empty() || lines[0].empty()) return WallpaperSettings{};
        WallpaperSettings settings{{"Image", lines[0]}};
        if (lines.size() > 1) settings.emplace_back("FillMode", lines[1]);
        return settings;
    }

    bool show(const fs::path& file, bool tiled) override {
        return write(FileUri(file), tiled ? "3" : "6");  // tiled, or centred at its own size
    }

    bool restore(const WallpaperSettings& previous) override {
        std::string image, fillMode = "2";  // Plasma's default: scaled and cropped
        for (const auto& [name, value] : previous) (name == "Image" ? image : fillMode) = value;
        return write(image, fillMode);
    }

private:
    static constexpr const char* kGroup =
        "d.wallpaperPlugin = 'org.kde.image'; d.currentConfigGroup = ['Wallpaper', 'org.kde.image', 'General'];";

    static std::string qdbus() {
        for (const char* name : {"qdbus6", "qdbus-qt6", "qdbus", "qdbus-qt5"})
            if (FindProgram(name)) return name;
        return {};
    }

    bool write(const std::string& image, const std::string& fillMode) {
        const std::string script = "var all = desktops(); for (var i = 0; i < all.length; i++) { var d = all[i]; " +
                                   std::string(kGroup) + " d.writeConfig('Image', " + SingleQuotedLiteral(image) +
                                   "); d.writeConfig('FillMode', " + SingleQuotedLiteral(fillMode) + "); }";
        return evaluate(script).has_value() || fail("Plasma's shell did not take the wallpaper script");
    }

    // What the script printed; nothing when the shell could not be reached.
    std::optional<std::string> evaluate(const std::string& script) {
        if (const std::string tool = qdbus(); !tool.empty()) {
            const auto result = RunCommand({tool, "org.kde.plasmashell", "/PlasmaShell",
                                            "org.kde.PlasmaShell.evaluateScript", script});
            if (Succeeded(result)) return result->output;
        }
        const auto result = RunCommand({"dbus-send", "--session", "--print-reply", "--dest=org.kde.plasmashell",
                                        "/PlasmaShell", "org.kde.PlasmaShell.evaluateScript", "string:" + script});
        if (!Succeeded(result)) return std::nullopt;
        // The reply prints as: string "text"
        const size_t open = result->output.find("string \"");
        const size_t close = result->output.rfind('"');
        if (open == std::string::npos || close <= open + 8) return std::string();
        return result->output.substr(open + 8, close - open - 8);
    }
};

// LXQt's desktop is pcmanfm-qt, which takes the wallpaper on its command line.
class LxqtSetter : public WallpaperSetter {
public:
    std::string desktop() const override { return "lxqt"; }
    bool available() const override { return FindProgram("pcmanfm-qt").has_value(); }

    std::optional<WallpaperSettings> current() override {
        WallpaperSettings settings;
        std::ifstream file(settingsFile());
        std::string line;
        bool inDesktop = false;
        while (std::getline(file, line)) {
            line = Trimmed(line);
            if (!line.empty() && line.front() == '[') inDesktop = line == "[Desktop]";
            for (const char* name : {"Wallpaper", "WallpaperMode"})
                if (inDesktop && line.rfind(std::string(name) + "=", 0) == 0)
                    settings.emplace_back(name, line.substr(std::strlen(name) + 1));
        }
        return settings;
    }

    bool show(const fs::path& file, bool tiled) override { return set(file.string(), tiled ? "tile" : "center"); }

    bool restore(const WallpaperSettings& previous) override {
        std::string wallpaper, mode = "color";
        for (const auto& [name, value] : previous) (name == "Wallpaper" ? wallpaper : mode) = value;
        if (wallpaper.empty()) {
            return Succeeded(RunCommand({"pcmanfm-qt", "--wallpaper-mode", "color"})) ||
                   fail("pcmanfm-qt refused the plain background");
        }
        return set(wallpaper, mode);
    }

private:
    static fs::path settingsFile() {
        const char* config = std::getenv("XDG_CONFIG_HOME");
        const char* home = std::getenv("HOME");
        const fs::path base = config && *config ? fs::path(config) : fs::path(home ? home : "/tmp") / ".config";
        return base / "pcmanfm-qt" / "lxqt" / "settings.conf";
    }
    bool set(const std::string& file, const std::string& mode) {
        if (Succeeded(RunCommand({"pcmanfm-qt", "--set-wallpaper", file, "--wallpaper-mode", mode}))) return true;
        return fail("pcmanfm-qt refused the wallpaper");
    }
};

// A plain X session: what the root window shows is read and put back through Xlib, whichever
// tool set it.
class RootWindowSetter : public WallpaperSetter {
public:
    explicit RootWindowSetter(fs::path stateFolder) : stateFolder_(std::move(stateFolder)) {}
    std::string desktop() const override { return "x11"; }
    bool available() const override { return RootWindowShown(); }

    std::optional<WallpaperSettings> current() override {
        const fs::path saved = stateFolder_ / "wallpaper-before-x11.png";
        switch (SaveRootWindowPicture(saved)) {
        case RootPicture::Absent: return WallpaperSettings{};
        case RootPicture::Saved: return WallpaperSettings{{"picture", saved.string()}};
        default: return std::nullopt;
        }
    }

    bool show(const fs::path& file, bool tiled) override {
        std::string cause;
        return SetRootWindowPicture(file, tiled, cause) || fail(cause);
    }

    bool restore(const WallpaperSettings& previous) override {
        std::string cause;
        for (const auto& [name, value] : previous)
            if (name == "picture") return SetRootWindowPicture(value, true, cause) || fail(cause);
        return ClearRootWindowPicture(cause) || fail(cause);
    }

protected:
    fs::path stateFolder_;
};

// feh draws the root window itself (and reads every common picture format).
class FehSetter : public RootWindowSetter {
public:
    using RootWindowSetter::RootWindowSetter;
    bool available() const override { return RootWindowShown() && FindProgram("feh").has_value(); }
    bool show(const fs::path& file, bool tiled) override {
        if (Succeeded(RunCommand({"feh", "--no-fehbg", tiled ? "--bg-tile" : "--bg-center", file.string()}))) return true;
        return fail("feh could not set the root window's picture");
    }
};

// xwallpaper reads PNG but not BMP: it is given a PNG copy.
class XwallpaperSetter : public RootWindowSetter {
public:
    using RootWindowSetter::RootWindowSetter;
    bool available() const override { return RootWindowShown() && FindProgram("xwallpaper").has_value(); }
    bool show(const fs::path& file, bool tiled) override {
        const fs::path copy = stateFolder_ / "wallpaper-x11.png";
        if (!QImage(QString::fromStdString(file.string())).save(QString::fromStdString(copy.string()), "PNG"))
            return fail("the picture could not be copied for xwallpaper");
        if (Succeeded(RunCommand({"xwallpaper", tiled ? "--tile" : "--center", copy.string()}))) return true;
        return fail("xwallpaper could not set the root window's picture");
    }
};

bool ProcessRuns(const std::string& name) {
    std::error_code error;
    for (const auto& entry : fs::directory_iterator("/proc", error)) {
        std::ifstream comm(entry.path() / "comm");
        std::string command;
        if (std::getline(comm, command) && command == name) return true;
    }
    return false;
}

std::string DesktopNamed(const std::string& name) {
    struct Known {
        const char* name;
        const char* desktop;
    };
    static constexpr Known kKnown[] = {{"GNOME", "gnome"},      {"Unity", "gnome"},   {"Budgie", "gnome"},
                                       {"Pantheon", "gnome"},   {"X-Cinnamon", "cinnamon"}, {"Cinnamon", "cinnamon"},
                                       {"MATE", "mate"},        {"XFCE", "xfce"},     {"KDE", "kde"},
                                       {"LXQt", "lxqt"}};
    for (const Known& known : kKnown)
        if (EqualsNoCase(name, known.name)) return known.desktop;
    return {};
}

}  // namespace

std::string SingleQuotedLiteral(const std::string& text) {
    std::string quoted = "'";
    for (char c : text) {
        if (c == '\'' || c == '\\') quoted += '\\';
        quoted += c;
    }
    return quoted + "'";
}

std::string FileUri(const fs::path& file) {
    return QUrl::fromLocalFile(QString::fromStdString(file.string())).toString(QUrl::FullyEncoded).toStdString();
}

std::string CurrentDesktop() {
    if (const char* listed = std::getenv("XDG_CURRENT_DESKTOP"); listed && *listed) {
        // A list such as "ubuntu:GNOME": the first name known here decides.
        std::string names = listed;
        size_t start = 0;
        while (start <= names.size()) {
            size_t end = names.find(':', start);
            if (end == std::string::npos) end = names.size();
            if (std::string desktop = DesktopNamed(names.substr(start, end - start)); !desktop.empty()) return desktop;
            start = end + 1;
        }
        return "x11";
    }
    static constexpr std::pair<const char*, const char*> kShells[] = {
        {"gnome-shell", "gnome"}, {"cinnamon", "cinnamon"}, {"mate-session", "mate"},
        {"xfdesktop", "xfce"},    {"plasmashell", "kde"},   {"pcmanfm-qt", "lxqt"}};
    for (const auto& [process, desktop] : kShells)
        if (ProcessRuns(process)) return desktop;
    return "x11";
}

std::vector<std::unique_ptr<WallpaperSetter>> WallpaperSettersFor(const std::string& desktop, const fs::path& stateFolder) {
    std::vector<std::unique_ptr<WallpaperSetter>> setters;
    if (desktop == "gnome")
        setters.push_back(std::make_unique<GSettingsSetter>(GSettingsSetter::Schema{
            "gnome", "org.gnome.desktop.background", {"picture-uri", "picture-uri-dark"}, true, "picture-options"}));
    else if (desktop == "cinnamon")
        setters.push_back(std::make_unique<GSettingsSetter>(GSettingsSetter::Schema{
            "cinnamon", "org.cinnamon.desktop.background", {"picture-uri"}, true, "picture-options"}));
    else if (desktop == "mate")
        setters.push_back(std::make_unique<GSettingsSetter>(
            GSettingsSetter::Schema{"mate", "org.mate.background", {"picture-filename"}, false, "picture-options"}));
    else if (desktop == "xfce")
        setters.push_back(std::make_unique<XfceSetter>());
    else if (desktop == "kde")
        setters.push_back(std::make_unique<PlasmaSetter>());
    else if (desktop == "lxqt")
        setters.push_back(std::make_unique<LxqtSetter>());
    else {
        setters.push_back(std::make_unique<FehSetter>(stateFolder));
        setters.push_back(std::make_unique<XwallpaperSetter>(stateFolder));
        setters.push_back(std::make_unique<RootWindowSetter>(stateFolder));
    }
    return setters;
}

}  // namespace platform
