// Virtual-key codes from Qt key codes and from the key names of test scripts.
#pragma once

#include <string_view>

#include "win_types.h"

namespace platform {

// Every key has a code: one without a code of its own is VK_OTHER.
UINT VirtualKeyFromQt(int qtKey);
// "F1".."F24", a letter or digit, the punctuation keys by their character (".", "/"), and the
// names of the table in the source ("Escape", "Delete", "PageDown", "VolumeUp", ...); 0 when unknown.
UINT VirtualKeyFromName(std::string_view name);

// The Qt key code for a script key name; 0 when unknown.
int QtKeyFromName(std::string_view name);
}  // namespace platform
