// kelvane-saver: configure, run full screen, preview inside a host window, or change the password;
// as an X screen-saver hack it runs full screen inside the daemon's window.
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "hack_target.h"
#include "idle_watcher.h"
#include "lock_guardian.h"
#include "harness.h"
#include "main_dialog.h"
#include "program_info.h"
#include "saver_app.h"
#include "termination.h"
#include "windows.h"

namespace {

constexpr const char* kUsage =
    "Usage: kelvane-saver [MODE]\n"
    "A picture screen saver: pictures from web addresses you keep, refreshed, moved about and\n"
    "revealed with transitions, with a scrolling line of date, time and status.\n"
    "\n"
    "Modes (the letter may follow / or -, in either case):\n"
    "  (none), /c, /c:ID   the settings sheet (anything unrecognised opens it too)\n"
    "  /s                  run full screen until a key, a click or a move of the mouse\n"
    "  /p ID               preview inside the X11 window ID (decimal)\n"
    "  /a ID               change the screen-saver password (not on this platform)\n"
    "  -root               as an XScreenSaver hack, on the X11 root window\n"
    "  -window-id ID       as an XScreenSaver hack, in X11 window ID ($XSCREENSAVER_WINDOW when unset)\n"
    "  --idle[=SECONDS]    watch the session and run /s whenever it has been idle that long (the\n"
    "                      desktop's own delay, else ten minutes); never while something inhibits\n"
    "                      the screen saver; one watcher a session\n"
    "  --help, --version   this text, or the version\n"
    "\n"
    "Locking: with \"Lock the screen when the saver ends\" (Misc. page) the saver never shows the\n"
    "open desktop: it ends only once the session's locker holds the screen (the command named\n"
    "there, such as 'swaylock -f' or 'i3lock'; else logind's Lock, which GNOME, Plasma, xss-lock\n"
    "and swayidle answer; else the desktop's screen-saver service), and a guardian locks if the\n"
    "saver dies. Keep xss-lock or swayidle as the locker, never the saver.\n"
    "\n"
    "Environment: KELVANE_DEBUG=1 traces to stderr; KELVANE_ROOT=DIR keeps all settings and\n"
    "pictures under DIR. See kelvane-saver(1).\n";

}  // namespace

int main(int argc, char** argv) {
    if (platform::AnswerHelpOrVersion(argc, argv, "kelvane-saver", kUsage)) return 0;
    std::vector<std::string> arguments(argv, argv + argc);
    if (arguments.size() > 1 && arguments[1] == platform::kLockGuardianSwitch) return platform::RunLockGuardian(argc, argv);
    if (const idle::IdleRequest idle = idle::ParseIdleRequest(arguments); idle.asked) {
        if (!idle.error.empty()) {
            std::fprintf(stderr, "kelvane-saver: %s\n", idle.error.c_str());
            return 2;
        }
        return idle::RunIdleWatcher(argc, argv, idle.delay);
    }
    const saver::HackChoice hack = saver::FindHackTarget(arguments, std::getenv("XSCREENSAVER_WINDOW"));
    if (!hack.error.empty()) {
        std::fprintf(stderr, "kelvane-saver: %s\n", hack.error.c_str());
        return 2;
    }
    int status = 0;
    {
        // A preview's window goes inside its host's, an X11 window.
        const bool preview = !hack.host && saver::ChooseSaverMode(arguments) == saver::SaverMode::Preview;
        platform::ProgramSession session(argc, argv, hack.host, preview);
        if (hack.host) arguments = {arguments[0], "/s"};  // the full saver, in the daemon's window
        saver::SaverApp app(config::MakeConfigurationSheet);
        app.hostedByDaemon = hack.host.has_value();
        if (app.InitInstance(arguments)) status = platform::RunMessageLoop();
    }
    platform::EndBySignalIfAsked();
    return status;
}
