// Waiting in tests for what should happen: the condition is asked again until it holds or the
// limit passes. A limit is how long a failing test takes, not a passing one: it is generous, for
// a busy machine and the sanitizers.
#pragma once

#include <chrono>
#include <thread>

namespace testing_support {

// How many times slower the sanitizers make the code under test.
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
inline constexpr int kSanitizerSlowdown = 3;
#else
inline constexpr int kSanitizerSlowdown = 1;
#endif

// A bound on real time within which something must be done, widened for the sanitizers.
constexpr std::chrono::milliseconds WithSanitizerMargin(std::chrono::milliseconds bound) { return bound * kSanitizerSlowdown; }

// True as soon as `condition()` holds; false when it still does not after `limit`.
template <typename Condition>
bool Eventually(Condition condition, std::chrono::milliseconds limit,
                std::chrono::milliseconds every = std::chrono::milliseconds(50)) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (!condition()) {
        if (std::chrono::steady_clock::now() >= deadline) return false;
        std::this_thread::sleep_for(every);
    }
    return true;
}

}  // namespace testing_support
