// The idle time of a Wayland session from the compositor itself: ext-idle-notify-v1 (wlroots
// compositors, KDE Plasma), else the older org_kde_kwin_idle (Sway 1.7). Both tell when the seat
// has been idle for a timeout and both honour the session's idle inhibitors, so a video that keeps
// the screen awake keeps the saver away too. KDE Plasma's delay is its screen-locking timeout.
#pragma once

#include <memory>

#include "idle_monitor.h"

class QSocketNotifier;
struct wl_display;

namespace platform {

class WaylandIdleMonitor : public IdleMonitor {
public:
    // Nothing where the compositor cannot be reached or offers neither protocol. Needs the Qt
    // application to exist.
    static std::unique_ptr<WaylandIdleMonitor> Open();
    ~WaylandIdleMonitor() override;

    std::string name() const override;
    std::optional<std::chrono::seconds> desktopDelay() const override;
    void watch(std::chrono::milliseconds delay, CountFrom from, std::function<void()> idle) override;
    void stop() override;

    struct Globals;  // what the compositor offers, bound
    void idled();    // the compositor's event

private:
    WaylandIdleMonitor(wl_display* display, std::unique_ptr<Globals> globals);
    void dispatch();

    wl_display* display_;
    std::unique_ptr<Globals> globals_;
    std::unique_ptr<QSocketNotifier> events_;
    std::function<void()> idle_;
};

}  // namespace platform
