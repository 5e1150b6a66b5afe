#include "idle_count.h"

#include <algorithm>

#include "clock.h"

namespace platform {

void IdleCount::begin(std::chrono::milliseconds delay, IdleMonitor::CountFrom from) {
    delay_ = delay;
    from_ = from;
    startMicros_ = Clock::instance().nowMicros();
}

void IdleCount::restartNow() { begin(delay_, IdleMonitor::CountFrom::Now); }

std::chrono::milliseconds IdleCount::remaining(std::chrono::milliseconds reportedIdle) const {
    if (from_ == IdleMonitor::CountFrom::LastInput) return delay_ - reportedIdle;
    const auto sinceWatch = std::chrono::milliseconds((Clock::instance().nowMicros() - startMicros_) / 1000);
    return delay_ - std::min(reportedIdle, sinceWatch);
}

}  // namespace platform
