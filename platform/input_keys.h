// Virtual-key codes from Qt key codes and from the key names of test scripts.
#pragma once

#include <string_view>

#include "win_types.h"

namespace platform {

// 0 for a key the saver has no code for.
UINT VirtualKeyFromQt(int qtKey);
// "F1".."F12", "Escape", "Shift", "Ctrl", "Alt", "Return", "Space", "Tab", arrows, a letter or digit.
UINT VirtualKeyFromName(std::string_view name);

}  // namespace platform

namespace platform {
// The Qt key code for a script key name; 0 when unknown.
int QtKeyFromName(std::string_view name);
}  // namespace platform
