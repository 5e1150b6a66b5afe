// The idle time of a GNOME session, from Mutter's idle monitor on the session bus (a GNOME
// Wayland session has no other): a watch that fires after the delay. Whether something inhibits
// idleness is the session manager's to say (followed_inhibitions.h); the delay is GNOME's own
// idle-delay setting.
#pragma once

#include <chrono>
#include <memory>

#include "idle_count.h"
#include "idle_monitor.h"

class QTimer;

namespace platform {

class MutterWatchListener;

class MutterIdleMonitor : public IdleMonitor {
public:
    // Nothing where the session bus or Mutter's idle monitor is missing.
    static std::unique_ptr<MutterIdleMonitor> Open();
    ~MutterIdleMonitor() override;

    std::string name() const override { return "GNOME's idle monitor"; }
    std::optional<std::chrono::seconds> desktopDelay() const override;
    void watch(std::chrono::milliseconds delay, CountFrom from, std::function<void()> idle) override;
    void stop() override;

    void watchFired(std::uint32_t id);  // the bus's signal
    void monitorReturned();             // Mutter's name is on the bus again (GNOME Shell restarted)

private:
    MutterIdleMonitor();
    void fire();
    // Asks Mutter for the watch; when it does not answer (a shell stopped or slow), asks again
    // later, ever less often, and at once when its name comes back on the bus.
    void addWatch();

    std::unique_ptr<MutterWatchListener> listener_;
    std::unique_ptr<QTimer> rest_;   // the part of the delay a watch fired early still has to wait
    std::unique_ptr<QTimer> retry_;  // the next attempt at a watch Mutter did not take
    std::chrono::milliseconds retryAfter_{0};
    std::uint32_t watchId_ = 0;
    IdleCount count_;
    std::function<void()> idle_;
};

}  // namespace platform
