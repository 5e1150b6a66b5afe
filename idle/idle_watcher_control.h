// The idle watcher as the settings sheet controls it: its start at log-on, and the one running in
// this session.
#pragma once

#include <chrono>
#include <filesystem>
#include <optional>
#include <string>
#include <sys/types.h>

namespace idle {

// The name of its log-on start (an autostart entry).
constexpr const char* kAutostartName = "KelvaneIdleWatcher";

// The lock the session's one watcher holds, with its process id inside.
std::filesystem::path SessionLockPath();
// The watcher that runs in this session, if one does.
std::optional<pid_t> RunningWatcher();

// On: the log-on start is written and a watcher started unless one runs; off: the log-on start is
// removed and the running watcher stopped.
void ApplyStartWhenIdle(bool on);

// When the watcher will start the saver, in words for the sheet ("after 10 minutes without input,
// the X server's screen-saver time").
std::string IdleDelayText(std::optional<std::chrono::seconds> desktopDelay);

}  // namespace idle
