// The wallpaper of a plain X session: a pixmap on the root window, announced the way X desktops
// agree on (_XROOTPMAP_ID and ESETROOT_PMAP_ID) so that other programs find it and the next
// setter frees it.
#pragma once

#include <filesystem>
#include <string>

namespace platform {

// Shows the picture file on the root window of $DISPLAY, centred on black or tiled from the top
// left corner; the previous setter's pixmap is freed. False with the cause when it cannot.
bool SetRootWindowPicture(const std::filesystem::path& file, bool tiled, std::string& cause);

enum class RootPicture { Absent, Saved, Unreadable };
// Saves what the root window's announced pixmap shows into a PNG file: Absent when no pixmap is
// announced, Unreadable when there is no display or the pixmap cannot be read.
RootPicture SaveRootWindowPicture(const std::filesystem::path& png);

// Gives the root window the server's own background again and frees the announced pixmap.
bool ClearRootWindowPicture(std::string& cause);

}  // namespace platform
