// Which of Qt's window systems shows a program's windows: the session's own (Wayland or X11),
// unless the user chose one.
#pragma once

#include <string>

namespace platform {

// What the environment says about the session.
struct SessionEnvironment {
    std::string qtPlatform;      // QT_QPA_PLATFORM: the user's own choice
    std::string waylandDisplay;  // WAYLAND_DISPLAY
    std::string sessionType;     // XDG_SESSION_TYPE
    std::string x11Display;      // DISPLAY (on a Wayland session: Xwayland's, when it runs)

    static SessionEnvironment OfThisProcess();
};

bool IsWaylandSession(const SessionEnvironment& session);

struct QtPlatformChoice {
    std::string platform;  // for QT_QPA_PLATFORM; empty: leave it as it is
    std::string error;     // the program cannot run on this session, and why
};

// A program whose window goes inside another program's window (a preview in its host) needs X11,
// whatever the session; every other program runs natively on the session's window system.
QtPlatformChoice ChooseQtPlatform(const SessionEnvironment& session, bool insideForeignWindow);

}  // namespace platform
