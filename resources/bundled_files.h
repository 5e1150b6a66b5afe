// Files built into the programs.
#pragma once

#include <string_view>

namespace resources {

// "ina.jpg": the picture shown for a source that has none.
std::string_view FallbackPicture();

}  // namespace resources
