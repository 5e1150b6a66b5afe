#include "clock.h"

#include <chrono>
#include <thread>

namespace platform {

Clock& Clock::instance() {
    static Clock clock;
    return clock;
}

Clock::Clock() {
    startMicros_ = realMicros();
    startCalendar_ = std::time(nullptr);
    virtualNow_ = startMicros_;
}

std::uint64_t Clock::realMicros() {
    using namespace std::chrono;
    return std::uint64_t(duration_cast<microseconds>(steady_clock::now().time_since_epoch()).count());
}

void Clock::setVirtual(bool on) {
    std::lock_guard lock(mutex_);
    if (on && !virtual_) {
        virtualNow_ = realMicros();
        calendarShift_ = 0;
    }
    virtual_ = on;
}

std::uint64_t Clock::nowMicros() const {
    if (!virtual_) return realMicros();
    std::lock_guard lock(mutex_);
    return virtualNow_;
}

void Clock::advanceTo(std::uint64_t micros) {
    std::lock_guard lock(mutex_);
    if (micros > virtualNow_) virtualNow_ = micros;
}

void Clock::setVirtualNow(std::uint64_t micros) {
    std::lock_guard lock(mutex_);
    virtualNow_ = micros;
}

DWORD Clock::tickCount() const {
    constexpr std::uint64_t kTickMicros = 15625;  // 1/64 s
    const std::uint64_t ticks = nowMicros() / kTickMicros;
    return DWORD(ticks * kTickMicros / 1000);
}

void Clock::setVirtualCalendar(std::time_t when) {
    if (!virtual_) return;
    calendarShift_ = 0;
    calendarShift_ = when - calendarNow();
}

std::time_t Clock::calendarNow() const {
    const std::int64_t elapsed = std::int64_t(nowMicros()) - std::int64_t(startMicros_);
    return startCalendar_ + std::time_t(elapsed / 1000000) + (virtual_ ? calendarShift_.load() : 0);
}

void Clock::sleepMicros(std::uint64_t micros) {
    if (virtual_) {
        advanceTo(nowMicros() + micros);
        return;
    }
    std::this_thread::sleep_for(std::chrono::microseconds(micros));
}

DWORD GetTickCount() { return Clock::instance().tickCount(); }

void Sleep(DWORD milliseconds) { Clock::instance().sleepMicros(std::uint64_t(milliseconds) * 1000); }

}  // namespace platform
