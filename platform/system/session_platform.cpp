#include "session_platform.h"

#include <cstdlib>

namespace platform {

namespace {

std::string Variable(const char* name) {
    const char* value = std::getenv(name);
    return value ? value : "";
}

}  // namespace

SessionEnvironment SessionEnvironment::OfThisProcess() {
    return {Variable("QT_QPA_PLATFORM"), Variable("WAYLAND_DISPLAY"), Variable("XDG_SESSION_TYPE"), Variable("DISPLAY")};
}

bool IsWaylandSession(const SessionEnvironment& session) {
    return !session.waylandDisplay.empty() || session.sessionType == "wayland";
}

QtPlatformChoice ChooseQtPlatform(const SessionEnvironment& session, bool insideForeignWindow) {
    if (insideForeignWindow) {
        if (!session.x11Display.empty()) return {"xcb", {}};
        return {{}, IsWaylandSession(session)
                        ? "a window inside another program's window needs X11, and this Wayland session has no X "
                          "display (DISPLAY is not set)"
                        : "cannot open display: DISPLAY is not set"};
    }
    if (!session.qtPlatform.empty()) return {};
    // Where the Wayland plugin is missing, Qt goes on to the next platform in the list.
    if (IsWaylandSession(session)) return {session.x11Display.empty() ? "wayland" : "wayland;xcb", {}};
    if (!session.x11Display.empty()) return {"xcb", {}};
    return {};
}

}  // namespace platform
