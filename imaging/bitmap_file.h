// A device bitmap packed as a device-independent bitmap, and written as a BMP file.
#pragma once

#include <string>
#include <vector>

#include "gdi.h"

namespace imaging {

// The info header, the colour table and the pixel rows of a packed DIB, in one block.
using PackedDib = std::vector<platform::BYTE>;

// The bitmap's pixels as a bottom-up DIB in the bit count its format calls for: 8 with a
// 256-entry colour table from 8-bit (palette) displays, 24 from every deeper one. The palette
// (the default one when null) is realised on the screen while the pixels are read. Empty when
// there is no bitmap or its pixels cannot be read.
PackedDib PackBitmapAsDib(platform::HBITMAP bitmap, platform::HPALETTE palette);

// Writes the packed DIB behind a 14-byte file header. The file is replaced whole or not at all:
// a reader never sees half of it. 0 on success, non-zero on failure.
int WriteDibFile(const PackedDib& dib, const std::string& path);

}  // namespace imaging
