#include "user_folders.h"

#include <cstdlib>
#include <string>
#include <unistd.h>

namespace platform {
namespace fs = std::filesystem;

namespace {

fs::path EnvPath(const char* name) {
    const char* value = std::getenv(name);
    return value && *value ? fs::path(value) : fs::path();
}

fs::path HomeFolder() {
    fs::path home = EnvPath("HOME");
    return home.empty() ? fs::path("/tmp") : home;
}

}  // namespace

UserFolders GetUserFolders() {
    UserFolders folders;
    if (fs::path root = EnvPath("KELVANE_ROOT"); !root.empty()) {
        folders.config = root / "config";
        folders.data = root / "data";
        folders.runtime = root / "run";
        folders.autostart = root / "autostart";
    } else {
        fs::path config = EnvPath("XDG_CONFIG_HOME");
        fs::path data = EnvPath("XDG_DATA_HOME");
        fs::path runtime = EnvPath("XDG_RUNTIME_DIR");
        const fs::path configBase = config.empty() ? HomeFolder() / ".config" : config;
        folders.config = configBase / "kelvane";
        folders.autostart = configBase / "autostart";
        folders.data = (data.empty() ? HomeFolder() / ".local" / "share" : data) / "kelvane";
        folders.runtime = runtime.empty() ? fs::path("/tmp") / ("kelvane-" + std::to_string(getuid()))
                                          : runtime / "kelvane";
    }
    folders.images = folders.data / "images";
    return folders;
}

bool EnsureFolder(const fs::path& folder, fs::perms mode) {
    std::error_code error;
    if (!fs::is_directory(folder, error)) {
        fs::create_directories(folder, error);
        if (!fs::is_directory(folder, error)) return false;
    }
    fs::permissions(folder, mode, fs::perm_options::replace, error);
    return !error;
}

}  // namespace platform
