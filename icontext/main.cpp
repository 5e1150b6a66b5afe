// glyphveil: keeps the desktop icon labels transparent while the saver's picture is the
// wallpaper. No visible window; it ends on WM_CLOSE to its window (class "GLYPHVEIL") or a
// termination signal.
#include <memory>

#include "companion_process.h"
#include "glyphveil_wnd.h"
#include "headless_display.h"
#include "icon_text_companion.h"
#include "windows.h"

int main() {
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
