// The saver as a hack of an X screen-saver daemon: "-root", "-window-id N" and the daemon's
// XSCREENSAVER_WINDOW say which window to draw the full saver on.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "harness.h"

namespace saver {

struct HackChoice {
    std::optional<platform::HostWindowRequest> host;  // nothing: not run as a hack
    std::string error;                                 // a window id that is no number
};

// "-window-id N" names the window; "-root" means the daemon's window when XSCREENSAVER_WINDOW
// names one, else the root window; that variable alone, without arguments, also makes a hack.
HackChoice FindHackTarget(const std::vector<std::string>& arguments, const char* daemonWindow);

// "0x..." in hexadecimal, otherwise decimal; nothing for anything else, 0 included.
std::optional<std::uint64_t> ParseWindowId(std::string_view text);

}  // namespace saver
