// Where the per-user state lives: XDG folders, or all under KELVANE_ROOT.
#pragma once

#include <filesystem>

namespace platform {

struct UserFolders {
    std::filesystem::path config;   // registry files
    std::filesystem::path data;     // the system folder: wallpaper bitmap, temporary page
    std::filesystem::path images;   // the default images folder
    std::filesystem::path runtime;  // window and service sockets (mode 0700)
    std::filesystem::path autostart;  // the desktop entries of programs started at log-on
};

// Resolved from the environment on each call, so a test can point KELVANE_ROOT elsewhere.
UserFolders GetUserFolders();

// Creates the folder (and its parents) when missing; returns false when that fails.
bool EnsureFolder(const std::filesystem::path& folder, std::filesystem::perms mode);

}  // namespace platform
