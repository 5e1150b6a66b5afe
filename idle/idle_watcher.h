// The idle watcher: after the idle delay it starts the saver full screen, waits for it to end and
// watches again; never while something inhibits the screen saver.
#pragma once

#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "idle_monitor.h"
#include "session_inhibitions.h"

namespace idle {

// Whether the command line asks for the watcher: `--idle`, or `--idle=SECONDS` for a delay of
// its own.
struct IdleRequest {
    bool asked = false;
    std::optional<std::chrono::seconds> delay;
    std::string error;  // a delay that is not a whole number of seconds from 1 to a day
};
IdleRequest ParseIdleRequest(const std::vector<std::string>& arguments);

// What tells this session's idle time; nothing, with the reason, where none can be reached.
std::unique_ptr<platform::IdleMonitor> OpenSessionIdleMonitor(std::string& why);
// The idle delay the desktop itself is set to, where it has one.
std::optional<std::chrono::seconds> DesktopIdleDelay();

// Ten minutes, where neither the command line nor the desktop says otherwise.
constexpr std::chrono::seconds kDefaultDelay{600};

class IdleWatcher {
public:
    // startSaver starts the saver and calls its argument when the saver has ended.
    using SaverStarter = std::function<void(std::function<void()> ended)>;

    IdleWatcher(std::unique_ptr<platform::IdleMonitor> monitor,
                std::unique_ptr<platform::SessionInhibitions> inhibitions, std::chrono::milliseconds delay,
                SaverStarter startSaver);
    void start();
    bool saverRunning() const { return saverRunning_; }

private:
    void watch(platform::IdleMonitor::CountFrom from);
    void becameIdle();

    std::unique_ptr<platform::IdleMonitor> monitor_;
    std::unique_ptr<platform::SessionInhibitions> inhibitions_;
    std::chrono::milliseconds delay_;
    SaverStarter startSaver_;
    bool saverRunning_ = false;
    bool saidSuspended_ = false;  // said once while the desktop keeps the screen awake
};

// The watcher as a program (`kelvane-saver --idle`): one a session; ends on SIGTERM, SIGINT or
// SIGHUP, taking a saver it started with it. Returns the exit status.
int RunIdleWatcher(int& argc, char** argv, std::optional<std::chrono::seconds> delay);

}  // namespace idle
