#include "idle_watcher_control.h"

#include <csignal>
#include <fcntl.h>
#include <fstream>
#include <sys/file.h>
#include <unistd.h>

#include "autostart_entries.h"
#include "idle_watcher.h"
#include "programs.h"
#include "user_folders.h"

namespace idle {

namespace fs = std::filesystem;

fs::path SessionLockPath() { return platform::GetUserFolders().runtime / "idle-watcher.lock"; }

std::optional<pid_t> RunningWatcher() {
    const int lock = ::open(SessionLockPath().c_str(), O_RDONLY | O_CLOEXEC);
    if (lock < 0) return std::nullopt;
    // Nobody holds the lock: no watcher runs, whatever number the file still holds.
    const bool held = ::flock(lock, LOCK_SH | LOCK_NB) != 0;
    ::close(lock);
    if (!held) return std::nullopt;
    std::ifstream file(SessionLockPath());
    long pid = 0;
    if (!(file >> pid) || pid <= 0) return std::nullopt;
    return pid_t(pid);
}

namespace {

std::string SaverPath() {
    const std::string executable = platform::InstalledProgramName("Kelvane Screen Saver.scr");
    if (const auto found = platform::FindProgram(executable)) return found->string();
    return executable;
}

std::string Amount(long count, const char* unit) {
    return std::to_string(count) + " " + unit + (count == 1 ? "" : "s");
}

}  // namespace

void ApplyStartWhenIdle(bool on) {
    if (on) {
        const std::string saver = SaverPath();
        platform::WriteAutostartEntry(kAutostartName, saver, {"--idle"});
        if (!RunningWatcher()) platform::StartDetached(saver, {saver, "--idle"});
    } else {
        platform::RemoveAutostartEntry(kAutostartName);
        if (const auto watcher = RunningWatcher()) ::kill(*watcher, SIGTERM);
    }
}

std::string IdleDelayText(std::optional<std::chrono::seconds> desktopDelay) {
    const long seconds = (desktopDelay ? *desktopDelay : kDefaultDelay).count();
    const std::string amount = seconds % 60 == 0 ? Amount(seconds / 60, "minute") : Amount(seconds, "second");
    return "after " + amount + " without input" +
           (desktopDelay ? ", the desktop's own screen-saver time" : ": the desktop sets no time of its own");
}

}  // namespace idle
