// The platform clock: tick count, timer time base and calendar time, real or virtual.
#pragma once

#include <atomic>
#include <cstdint>
#include <ctime>
#include <mutex>

#include "win_types.h"

namespace platform {

// Time is kept in microseconds on a monotonic scale. On the virtual clock it moves only when a
// waiting thread advances it, so a long scripted run finishes in a fraction of a second.
class Clock {
public:
    static Clock& instance();

    bool isVirtual() const { return virtual_.load(); }
    // Switch to (or away from) the virtual clock; the virtual time starts at the current real time.
    void setVirtual(bool on);

    std::uint64_t nowMicros() const;
    // Virtual clock only: move forward to the given time (never backwards).
    void advanceTo(std::uint64_t micros);
    // Virtual clock only: jump to a given time, for tests around the 32-bit tick wrap.
    void setVirtualNow(std::uint64_t micros);

    // Virtual clock only: the calendar time reads `when` now and moves on with the clock.
    void setVirtualCalendar(std::time_t when);

    // Milliseconds in steps of 15.625 ms (64 Hz), wrapping at 32 bits.
    DWORD tickCount() const;
    // Calendar time in whole seconds; on the virtual clock it starts at the real time.
    std::time_t calendarNow() const;

    // Sleep: a real sleep, or an advance of the virtual clock.
    void sleepMicros(std::uint64_t micros);

private:
    Clock();
    static std::uint64_t realMicros();

    std::atomic<bool> virtual_{false};
    mutable std::mutex mutex_;
    std::uint64_t virtualNow_ = 0;
    std::uint64_t startMicros_ = 0;
    std::time_t startCalendar_ = 0;
    std::atomic<std::time_t> calendarShift_{0};
};

DWORD GetTickCount();
void Sleep(DWORD milliseconds);

// Tick difference that wraps, as the saver's timing rules count it.
constexpr DWORD TickDifference(DWORD earlier, DWORD later) {
    return later >= earlier ? later - earlier : (0xFFFFFFFFu - earlier) + later + 1;
}

}  // namespace platform
