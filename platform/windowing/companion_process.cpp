#include "companion_process.h"

#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <thread>
#include <unistd.h>

#include "windows.h"

namespace platform {

namespace {
sigset_t TerminationSignals() {
    sigset_t signals;
    sigemptyset(&signals);
    for (int signal : {SIGTERM, SIGINT, SIGHUP}) sigaddset(&signals, signal);
    return signals;
}
}  // namespace

void BlockTerminationSignals() {
    const sigset_t signals = TerminationSignals();
    pthread_sigmask(SIG_BLOCK, &signals, nullptr);
}

void CloseOnTerminationSignals(HWND window) {
    std::thread([window] {
        const sigset_t signals = TerminationSignals();
        int received = 0;
        sigwait(&signals, &received);
        PostMessage(window, WM_CLOSE, 0, 0);
    }).detach();
}

void QuietUnlessDebugging(bool resident) {
    const char* debug = std::getenv("KELVANE_DEBUG");
    if (debug && *debug && std::strcmp(debug, "0") != 0) return;
    const int quiet = ::open("/dev/null", O_RDWR);
    if (quiet < 0) return;
    ::dup2(quiet, STDERR_FILENO);
    if (resident) {
        ::dup2(quiet, STDIN_FILENO);
        ::dup2(quiet, STDOUT_FILENO);
    }
    if (quiet > STDERR_FILENO) ::close(quiet);
}

}  // namespace platform
