// Pictures shown the way up their file says: a camera held upright stores its picture on its side
// and writes which way is up (the Exif orientation, 1 to 8).
#pragma once

#include <cstddef>

#include "image_impl.h"

namespace imaging {

using platform::BYTE;

// The orientation in the body of a JPEG's APP1 segment ("Exif\0\0" and a TIFF block); 1, as
// stored, when the segment holds none or cannot be read.
int ExifOrientation(const BYTE* segment, std::size_t size);

// Turns or mirrors the picture's pixels (8 or 24 bits) from the stored orientation to upright.
// False, with the picture left as it was, when the turned store cannot be made.
bool ApplyOrientation(CImageImpl& image, int orientation);

}  // namespace imaging
