// Writing a device bitmap as a BMP file.
#pragma once

#include <string>

#include "gdi.h"

namespace imaging {

// A 24-bit bottom-up BMP of the bitmap; the file is replaced whole or not at all. False on failure.
bool WriteBitmapFile(platform::HDC dc, platform::HBITMAP bitmap, const std::string& path);

}  // namespace imaging
