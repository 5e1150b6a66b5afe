// Starting or closing the icon-text companion after the user confirmed the configuration, and
// its start at every log-on.
#pragma once

#include <string>

#include "autostart_entries.h"

namespace desktop {

// Where the log-on start is registered: the machine's Run key and its value.
constexpr const char* kRunKey = platform::kLogOnRunKey;
constexpr const char* kRunValue = "GlyphveilWC";
// The companion's window class.
constexpr const char* kIconTextClass = "GLYPHVEIL";

// 1: start the companion when it does not run and register its log-on start; 0: close it and
// remove the registration. Best effort and silent; returns 1.
int ControlIconTextCompanion(int start);

// After OK or Apply: the companion follows the check box, unless the saver leaves the wallpaper
// alone (WallMode 0), when nothing changes.
void ApplyIconTextSetting(int wallMode, int checkTransIcon);

// The companion's full path for the Run value: the installed program beside this one.
std::string IconTextCompanionPath();

}  // namespace desktop
