// glyphveil: keeps the desktop icon labels transparent while the saver's picture is the
// wallpaper. No visible window; it ends on WM_CLOSE to its window (class "GLYPHVEIL") or a
// termination signal.
#include <memory>

#include "companion_process.h"
#include "glyphveil_wnd.h"
#include "headless_display.h"
#include "icon_text_companion.h"
#include "program_info.h"
#include "windows.h"

namespace {

constexpr const char* kUsage =
    "Usage: glyphveil\n"
    "The icon-text companion of kelvane-saver: while the saver's picture is the desktop wallpaper\n"
    "it keeps the desktop icon labels transparent. No window of its own; the saver's settings\n"
    "sheet starts it and registers it to start at log-on. Takes no arguments but --help and\n"
    "--version. See glyphveil(1).\n";

}  // namespace

int main(int argc, char** argv) {
    if (platform::AnswerHelpOrVersion(argc, argv, "glyphveil", kUsage)) return 0;
    platform::QuietUnlessDebugging(true);  // resident: it keeps no terminal or pipe of its starter
    platform::BlockTerminationSignals();
    platform::SetDisplay(std::make_unique<platform::HeadlessDisplay>(1, 1));  // its window is never shown
    // The saver starts it when it is missing and the session starts it at log-on: one is enough.
    if (platform::FindWindow(desktop::kIconTextClass, nullptr)) return 0;
    const platform::HWND window = icontext::CreateGlyphveilWindow();
    if (!window) return 0;
    platform::SetMainWindow(window);
    platform::CloseOnTerminationSignals(window);
    return platform::RunMessageLoop();
}
