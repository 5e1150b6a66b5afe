// Where a session's idle time comes from. A monitor tells when the user has been idle for a delay,
// and whether the desktop itself asks that nothing blanks the screen now.
#pragma once

#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <utility>

namespace platform {

class IdleMonitor {
public:
    virtual ~IdleMonitor() = default;

    // What it listens to, for messages ("the X server's screen-saver extension").
    virtual std::string name() const = 0;
    // The idle delay the desktop itself is set to, where it has one.
    virtual std::optional<std::chrono::seconds> desktopDelay() const = 0;
    // Where a watch's count of idle time starts: at the user's last input, so that idle time
    // already past counts (a watcher started while nobody is at the machine), or at the watch
    // (after the saver ended, or an inhibition was released: both count as activity). Wayland's
    // compositors always count from the watch.
    enum class CountFrom { LastInput, Now };
    // Calls `idle` once, when the user has been idle for the delay. A new watch replaces the one
    // before.
    virtual void watch(std::chrono::milliseconds delay, CountFrom from, std::function<void()> idle) = 0;
    virtual void stop() = 0;
    // The desktop's own way of keeping the screen awake is in force (on X11 the server's saver
    // switched off while it had a timeout, as `xdg-screensaver suspend` does). No notice comes
    // when it ends.
    virtual bool suspended() const { return false; }
    // Calls `lost` once, with what went, when the source of idle time is gone for good (the
    // compositor ended): no watch fires after that. A source that can come back (a restarted
    // shell) is watched again instead.
    void whenLost(std::function<void(const std::string& what)> lost) { lost_ = std::move(lost); }

protected:
    void lose(const std::string& what) {
        if (auto lost = std::exchange(lost_, nullptr)) lost(what);
    }

private:
    std::function<void(const std::string&)> lost_;
};

}  // namespace platform
