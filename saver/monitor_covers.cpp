#include "monitor_covers.h"

#include "cam_list.h"
#include "windows.h"

namespace saver {

using namespace platform;

MonitorCovers::MonitorCovers(HWND saver, const SaverSettings& settings) : saver_(saver), settings_(settings) {}

void MonitorCovers::Cover(const std::string& primarySource) {
    shows_.clear();
    const std::vector<RECT> monitors = MonitorRects();
    std::string source = primarySource;
    for (size_t i = 1; i < monitors.size(); ++i) {
        if (const std::string next = sources::NextSelectedCam(settings_, source); !next.empty()) source = next;
        shows_.push_back(std::make_unique<MonitorSlideShow>(
            saver_, settings_, monitors[i], settings_.BlankOtherMonitors ? std::nullopt : std::optional(source)));
    }
}

void MonitorCovers::PictureStored(const std::string& name) {
    for (const auto& show : shows_) show->PictureStored(name);
}

std::vector<std::string> MonitorCovers::sources() const {
    std::vector<std::string> shown;
    for (const auto& show : shows_)
        if (show->source() && !show->source()->empty()) shown.push_back(*show->source());
    return shown;
}

}  // namespace saver
