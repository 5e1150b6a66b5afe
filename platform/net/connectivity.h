// Whether the machine is connected: a non-loopback interface that carries a default route.
#pragma once

#include <optional>

namespace platform {

// Cached for a second (the marquee asks every 50 ms). KELVANE_ONLINE=1 or 0 overrides it.
bool IsOnline();
// Tests fix the answer; nothing restores the real one.
void SetOnlineOverride(std::optional<bool> online);

}  // namespace platform
