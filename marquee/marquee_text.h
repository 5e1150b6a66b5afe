// The marquee line: the segments the user switched on, in their fixed order.
#pragma once

#include <ctime>
#include <string>

#include "settings.h"

namespace marquee {

// What the line is made of at one moment, besides the settings.
struct MarqueeMoment {
    std::time_t now = 0;
    std::time_t start = 0;      // when the saver became active
    std::string status;         // the connection or download status segment
    std::string getRightText;   // the last answer of the download manager, empty before the first
};

// The segments joined by "- ", each followed by a blank, and ten blanks more when the line
// scrolls (the gap before it repeats).
std::string ComposeMarqueeText(const saver::SaverSettings& settings, const MarqueeMoment& moment);

}  // namespace marquee
