// Opening a web address in the browser the desktop associates with web pages.
#pragma once

#include <string>

#include "win_types.h"

namespace desktop {

// The maker's web site, opened by the sheet's link button and the About page.
constexpr const char* kMakerPage = "http://www.vessory.example/";
// The page F1 opens while the saver runs.
constexpr const char* kLinkPage = "http://www.vessory.example/kelvane/";

// 1 when a browser was started, 0 when none is associated or the temporary page could not be
// written. Shows nothing: each caller has its own message.
int OpenUrlInBrowser(platform::HWND owner, const std::string& address);

}  // namespace desktop
