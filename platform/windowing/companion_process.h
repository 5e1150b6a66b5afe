// What the suite's companion programs (no visible window, started by the saver or at log-on)
// share: a quiet standard output and error, and an orderly end on a signal.
#pragma once

#include "win_types.h"

namespace platform {

// Keeps the signals (SIGTERM from a session that ends, SIGINT or SIGHUP from a terminal) from
// every thread; call before any other thread starts.
void BlockTerminationSignals();
// From now on the first such signal posts WM_CLOSE to the window.
void CloseOnTerminationSignals(HWND window);

// A companion has no one to tell: unless KELVANE_DEBUG is set, its standard error (and, for a
// resident one, its input and output too, so it holds no terminal or pipe of its starter) goes
// to /dev/null.
void QuietUnlessDebugging(bool resident);

}  // namespace platform
