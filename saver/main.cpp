// kelvane-saver: configure, run full screen, preview inside a host window, or change the password;
// as an X screen-saver hack it runs full screen inside the daemon's window.
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "hack_target.h"
#include "harness.h"
#include "main_dialog.h"
#include "saver_app.h"
#include "windows.h"

int main(int argc, char** argv) {
    std::vector<std::string> arguments(argv, argv + argc);
    const saver::HackChoice hack = saver::FindHackTarget(arguments, std::getenv("XSCREENSAVER_WINDOW"));
    if (!hack.error.empty()) {
        std::fprintf(stderr, "kelvane-saver: %s\n", hack.error.c_str());
        return 2;
    }
    platform::ProgramSession session(argc, argv, hack.host);
    if (hack.host) arguments = {arguments[0], "/s"};  // the full saver, in the daemon's window
    saver::SaverApp app(config::MakeConfigurationSheet);
    if (!app.InitInstance(arguments)) return 0;
    return platform::RunMessageLoop();
}
