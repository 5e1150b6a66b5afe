// kelvane-saver: configure, run full screen, preview inside a host window, or change the password.
#include <string>
#include <vector>

#include "harness.h"
#include "main_dialog.h"
#include "saver_app.h"
#include "windows.h"

int main(int argc, char** argv) {
    platform::ProgramSession session(argc, argv);
    std::vector<std::string> arguments(argv, argv + argc);
    saver::SaverApp app(config::MakeConfigurationSheet);
    if (!app.InitInstance(arguments)) return 0;
    return platform::RunMessageLoop();
}
