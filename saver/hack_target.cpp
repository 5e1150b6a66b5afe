#include "hack_target.h"

#include <charconv>

namespace saver {

std::optional<std::uint64_t> ParseWindowId(std::string_view text) {
    int base = 10;
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        text.remove_prefix(2);
        base = 16;
    }
    std::uint64_t id = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), id, base);
    if (error != std::errc() || end != text.data() + text.size() || text.empty() || id == 0) return std::nullopt;
    return id;
}

HackChoice FindHackTarget(const std::vector<std::string>& arguments, const char* daemonWindow) {
    HackChoice choice;
    bool root = false;
    std::optional<std::string> named;
    for (size_t i = 1; i < arguments.size(); ++i) {
        if (arguments[i] == "-root" || arguments[i] == "--root") {
            root = true;
        } else if (arguments[i] == "-window-id" || arguments[i] == "--window-id") {
            if (i + 1 == arguments.size()) {
                choice.error = "-window-id needs the number of a window";
                return choice;
            }
            named = arguments[++i];
        }
    }
    const bool daemonNamesWindow = daemonWindow && *daemonWindow;
    if (!named && !root && !(daemonNamesWindow && arguments.size() <= 1)) return choice;
    if (!named && daemonNamesWindow) named = daemonWindow;
    platform::HostWindowRequest request;  // the root window unless one is named
    if (named) {
        const auto id = ParseWindowId(*named);
        if (!id) {
            choice.error = "'" + *named + "' is not a window id (decimal, or hexadecimal starting with 0x)";
            return choice;
        }
        request.window = *id;
    }
    choice.host = request;
    return choice;
}

}  // namespace saver
