#include "idle_watcher.h"

#include <charconv>
#include <utility>

#include "mutter_idle_monitor.h"
#include "session_platform.h"
#include "trace.h"
#include "wayland_idle_monitor.h"
#include "x11_idle_monitor.h"

namespace idle {

using platform::DebugTrace;
using CountFrom = platform::IdleMonitor::CountFrom;

IdleRequest ParseIdleRequest(const std::vector<std::string>& arguments) {
    IdleRequest request;
    for (size_t i = 1; i < arguments.size(); ++i) {
        const std::string& argument = arguments[i];
        if (argument == "--idle") {
            request.asked = true;
        } else if (argument.rfind("--idle=", 0) == 0) {
            request.asked = true;
            const std::string text = argument.substr(7);
            long seconds = 0;
            const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), seconds);
            if (error != std::errc() || end != text.data() + text.size() || seconds < 1 || seconds > 24 * 3600)
                request.error = "--idle=SECONDS needs a whole number of seconds from 1 to 86400, not '" + text + "'";
            else
                request.delay = std::chrono::seconds(seconds);
        }
    }
    return request;
}

std::unique_ptr<platform::IdleMonitor> OpenSessionIdleMonitor(std::string& why) {
    const platform::SessionEnvironment session = platform::SessionEnvironment::OfThisProcess();
    if (!session.x11Display.empty() && !platform::IsWaylandSession(session)) {
        if (auto monitor = platform::X11IdleMonitor::Open()) return monitor;
        why = "the X server " + session.x11Display + " cannot be reached or has no screen-saver extension";
        return nullptr;
    }
    if (!platform::IsWaylandSession(session)) {
        why = "neither DISPLAY nor WAYLAND_DISPLAY is set";
        return nullptr;
    }
    if (auto monitor = platform::WaylandIdleMonitor::Open()) return monitor;
    if (auto monitor = platform::MutterIdleMonitor::Open()) return monitor;
    why = "this Wayland compositor offers no idle time the watcher can read (neither ext-idle-notify-v1 nor "
          "org_kde_kwin_idle, and GNOME's idle monitor is not on the session bus)";
    return nullptr;
}

std::optional<std::chrono::seconds> DesktopIdleDelay() {
    std::string why;
    const auto monitor = OpenSessionIdleMonitor(why);
    return monitor ? monitor->desktopDelay() : std::nullopt;
}

IdleWatcher::IdleWatcher(std::unique_ptr<platform::IdleMonitor> monitor,
                         std::unique_ptr<platform::SessionInhibitions> inhibitions, std::chrono::milliseconds delay,
                         SaverStarter startSaver)
    : monitor_(std::move(monitor)), inhibitions_(std::move(inhibitions)), delay_(delay), startSaver_(std::move(startSaver)) {
    // The end of the last inhibition counts as activity: the delay starts again from there.
    if (!inhibitions_) return;
    inhibitions_->whenReleased([this] {
        if (!saverRunning_) watch(CountFrom::Now);
    });
}

void IdleWatcher::start() {
    DebugTrace("idle: watching %s, the saver starts after %lld s", monitor_->name().c_str(),
               static_cast<long long>(std::chrono::duration_cast<std::chrono::seconds>(delay_).count()));
    watch(CountFrom::LastInput);
}

void IdleWatcher::watch(CountFrom from) { monitor_->watch(delay_, from, [this] { becameIdle(); }); }

void IdleWatcher::becameIdle() {
    if (inhibitions_ && inhibitions_->inhibited()) {
        DebugTrace("idle: idle, but a program inhibits the screen saver");
        return;  // watching again when the last inhibition ends
    }
    if (monitor_->suspended()) {
        // Nothing tells when that ends: look again after the delay.
        if (!std::exchange(saidSuspended_, true)) DebugTrace("idle: idle, but the desktop keeps the screen awake");
        watch(CountFrom::Now);
        return;
    }
    saidSuspended_ = false;
    DebugTrace("idle: starting the saver");
    saverRunning_ = true;
    startSaver_([this] {
        saverRunning_ = false;
        DebugTrace("idle: the saver ended");
        watch(CountFrom::Now);
    });
}

}  // namespace idle
