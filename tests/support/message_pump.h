// Dispatching a window's messages until something has happened, for tests of asynchronous work.
#pragma once

#include <functional>

#include "win_types.h"

namespace testing_support {

// Dispatches this thread's messages until done() holds or the seconds pass; a timer on the
// window keeps the wait short. Returns done().
bool PumpUntil(platform::HWND window, const std::function<bool()>& done, int seconds = 20);

}  // namespace testing_support
