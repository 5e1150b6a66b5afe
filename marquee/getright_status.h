// The download manager's state, asked over its exchange service.
#pragma once

#include <string>

#include "win_types.h"

namespace marquee {

// "GetRight: " and its items, "GetRight: No Files" when it has none or does not run, or fifteen
// asterisks when a query is already running further up the stack.
std::string QueryGetRightStatus(platform::DWORD ddeInstance);

}  // namespace marquee
