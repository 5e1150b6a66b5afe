#include "headless_display.h"

#include "gdi.h"

#include <mutex>

#include "window_record.h"

namespace platform {

HeadlessDisplay::HeadlessDisplay(int width, int height, int depth)
    : width_(width), height_(height), depth_(depth), cursor_{width / 2, height / 2} {}

bool HeadlessDisplay::screenshot(const std::filesystem::path& file) {
    return WritePng(ComposeScreen(screenRect()), file);
}

Surface ComposeScreen(const RECT& screen) {
    Surface composed(screen.width(), screen.height(), Display().depth());
    for (const auto& record : SurfaceWindows())
        if (record->visible && !record->parent)
            composed.blit(*record->surface, record->rect.left - screen.left, record->rect.top - screen.top);
    return composed;
}

namespace {
std::mutex gDisplayMutex;
std::unique_ptr<DisplayBackend> gDisplay;
}  // namespace

DisplayBackend& Display() {
    std::lock_guard lock(gDisplayMutex);
    if (!gDisplay) gDisplay = std::make_unique<HeadlessDisplay>();
    return *gDisplay;
}

void SetDisplay(std::unique_ptr<DisplayBackend> backend) {
    std::lock_guard lock(gDisplayMutex);
    gDisplay = std::move(backend);
}

namespace {
// Drawing asks the display in use for the screen's format.
const bool gScreenFormatInstalled = (SetScreenFormatSource([] {
                                         DisplayBackend& display = Display();
                                         return ScreenFormat{display.depth(), display.screenRect(), display.dpi(), display.refreshHz()};
                                     }),
                                     true);
}  // namespace

}  // namespace platform
