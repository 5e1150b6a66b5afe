#include "message_pump.h"

#include <chrono>

#include "windows.h"

namespace testing_support {

bool PumpUntil(platform::HWND window, const std::function<bool()>& done, int seconds) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    platform::MSG message;
    while (!done() && std::chrono::steady_clock::now() < deadline) {
        platform::SetTimer(window, 0x7001, 50);
        if (platform::GetMessage(&message, nullptr, 0, 0)) platform::DispatchMessage(&message);
    }
    platform::KillTimer(window, 0x7001);
    return done();
}

}  // namespace testing_support
