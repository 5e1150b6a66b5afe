// melodrin: the saver's music companion. No visible window; it answers the music commands sent
// to its hidden window titled "Melodrin" and plays the saver's music list.
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>
#include <memory>
#include <thread>

#include "headless_display.h"
#include "main_frame.h"
#include "saver_messages.h"
#include "settings.h"
#include "windows.h"

namespace {

// SIGTERM, SIGINT and SIGHUP close the window, so the program ends in order.
void CloseOnTerminationSignals(platform::HWND window) {
    sigset_t signals;
    sigemptyset(&signals);
    for (int signal : {SIGTERM, SIGINT, SIGHUP}) sigaddset(&signals, signal);
    std::thread([signals, window] {
        int received = 0;
        sigwait(&signals, &received);
        platform::PostMessage(window, platform::WM_CLOSE, 0, 0);
    }).detach();
}

}  // namespace

// The sound libraries below the player write their complaints (no sound card, no sound server)
// straight to stderr; the companion has no one to tell, so it says nothing unless debugging.
static void QuietUnlessDebugging() {
    const char* debug = std::getenv("KELVANE_DEBUG");
    if (debug && *debug && std::strcmp(debug, "0") != 0) return;
    const int quiet = ::open("/dev/null", O_WRONLY);
    if (quiet >= 0) {
        ::dup2(quiet, STDERR_FILENO);
        ::close(quiet);
    }
}

int main() {
    QuietUnlessDebugging();
    // The signals go to the waiting thread only: block them before any other thread starts.
    sigset_t signals;
    sigemptyset(&signals);
    for (int signal : {SIGTERM, SIGINT, SIGHUP}) sigaddset(&signals, signal);
    pthread_sigmask(SIG_BLOCK, &signals, nullptr);

    platform::SetDisplay(std::make_unique<platform::HeadlessDisplay>(1, 1));  // its window is never shown
    // One companion plays at a time: a second one leaves the music to the first.
    if (platform::FindWindow(nullptr, saver::kMusicWindowTitle)) return 0;
    saver::UseSaverRegistryKey();
    music::CMainFrame frame;
    if (!frame.Create()) return 1;
    platform::SetMainWindow(frame.hwnd());
    CloseOnTerminationSignals(frame.hwnd());
    return platform::RunMessageLoop();
}
