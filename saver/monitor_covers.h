// The monitors beside the primary while the full-screen saver runs: each covered by a slide show
// of its own (or left blank in the background colour, as the settings may ask), whose input
// counts as input on the saver itself.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "monitor_slide_show.h"

namespace saver {

class MonitorCovers {
public:
    // saver: the window that hears the covers' keys, clicks and mouse moves.
    MonitorCovers(platform::HWND saver, const SaverSettings& settings);

    // One window on each monitor but the primary, as the monitors are now (again after a change).
    // The n-th monitor starts n selected sources after the primary's.
    void Cover(const std::string& primarySource);
    // A source's new picture reaches every monitor that shows it.
    void PictureStored(const std::string& name);
    // The sources the other monitors show now.
    std::vector<std::string> sources() const;

private:
    platform::HWND saver_;
    const SaverSettings& settings_;
    std::vector<std::unique_ptr<MonitorSlideShow>> shows_;
};

}  // namespace saver
