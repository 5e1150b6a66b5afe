// The monitors beside the primary while the full-screen saver runs: each covered by a window of
// the saver's background colour, whose input counts as input on the saver itself.
#pragma once

#include <vector>

#include "gdi.h"
#include "win_types.h"

namespace saver {

class MonitorCovers {
public:
    // saver: the window that hears the covers' keys, clicks and mouse moves.
    MonitorCovers(platform::HWND saver, platform::COLORREF background);
    ~MonitorCovers();
    MonitorCovers(const MonitorCovers&) = delete;
    MonitorCovers& operator=(const MonitorCovers&) = delete;

    // One window on each monitor but the primary, as the monitors are now (again after a change).
    void Cover();
    const std::vector<platform::HWND>& windows() const { return windows_; }

private:
    void Uncover();

    platform::HWND saver_;
    platform::UniqueBrush brush_;
    std::vector<platform::HWND> windows_;
};

}  // namespace saver
