// The count of one idle watch on the project's clock: how much of the delay is still to wait,
// given the idle time the desktop reports (which runs from the user's last input).
#pragma once

#include <chrono>
#include <cstdint>

#include "idle_monitor.h"

namespace platform {

class IdleCount {
public:
    // A watch for `delay` begins now, counted as `from` says.
    void begin(std::chrono::milliseconds delay, IdleMonitor::CountFrom from);
    // The watch counts from now on (the desktop forgot its idle time, as a restarted shell does).
    void restartNow();
    // What is left of the delay when the desktop reports the user idle for `reportedIdle`; zero
    // or less when it has passed. Counted from the watch, input before it does not count.
    std::chrono::milliseconds remaining(std::chrono::milliseconds reportedIdle) const;
    std::chrono::milliseconds delay() const { return delay_; }

private:
    std::chrono::milliseconds delay_{0};
    IdleMonitor::CountFrom from_ = IdleMonitor::CountFrom::Now;
    std::uint64_t startMicros_ = 0;
};

}  // namespace platform
