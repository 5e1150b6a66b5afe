// melodrin: the saver's music companion. No visible window; it answers the music commands sent
// to its hidden window titled "Melodrin" and plays the saver's music list.
#include <QCoreApplication>
#include <memory>

#include "companion_process.h"
#include "headless_display.h"
#include "main_frame.h"
#include "program_info.h"
#include "saver_messages.h"
#include "settings.h"
#include "windows.h"

namespace {

constexpr const char* kUsage =
    "Usage: melodrin\n"
    "The music companion of kelvane-saver: started by the saver, it plays the music list of the\n"
    "settings sheet's Audio page round and round while the saver runs. No window of its own; it\n"
    "closes when the saver ends. Takes no arguments but --help and --version.\n"
    "See melodrin(1).\n";

}  // namespace

int main(int argc, char** argv) {
    if (platform::AnswerHelpOrVersion(argc, argv, "melodrin", kUsage)) return 0;
    // The sound libraries below the player write their complaints (no sound card, no sound
    // server) straight to stderr.
    platform::QuietUnlessDebugging(false);
    platform::BlockTerminationSignals();
    QCoreApplication application(argc, argv);  // for the media controls' bus, run on a thread of its own

    platform::SetDisplay(std::make_unique<platform::HeadlessDisplay>(1, 1));  // its window is never shown
    // One companion plays at a time: a second one leaves the music to the first.
    if (platform::FindWindow(nullptr, saver::kMusicWindowTitle)) return 0;
    saver::UseSaverRegistryKey();
    music::CMainFrame frame;
    if (!frame.Create()) return 1;
    platform::SetMainWindow(frame.hwnd());
    platform::CloseOnTerminationSignals(frame.hwnd());
    return platform::RunMessageLoop();
}
