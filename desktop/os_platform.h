// Which family of the other desktop platform the program behaves as: 2 for the NT family, 1 for
// the Windows 95 family, 0 for neither (the usual case here).
#pragma once

namespace desktop {

int GetOsPlatform();

}  // namespace desktop
