#include "browser_launcher.h"

#include <cstdio>
#include <filesystem>

#include "fresh_file.h"
#include "shell.h"
#include "user_folders.h"

namespace desktop {

int OpenUrlInBrowser(platform::HWND owner, const std::string& address) {
    // A page of our own lets the desktop say which program opens web pages.
    const std::filesystem::path folder = platform::GetUserFolders().data;
    platform::EnsureFolder(folder, std::filesystem::perms::owner_all);
    const std::string page = (folder / "temphtm.htm").string();
    if (!platform::ReplaceFileWhole(page, "<HTML></HTML>", 0600)) return 0;
    std::string browser;
    // Success means a browser started, not only that one was named.
    const bool started =
        platform::FindExecutable(page, folder.string(), browser) > 32 &&
        platform::ShellExecute(owner, "open", browser, address, folder.string(), platform::SW_SHOWNORMAL) > 32;
    std::remove(page.c_str());
    return started ? 1 : 0;
}

}  // namespace desktop
