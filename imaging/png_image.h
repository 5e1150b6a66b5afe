// PNG files through libpng: 24-bit pictures (the first frame of an animated one), with any
// transparency composed onto the picture background.
#pragma once

#include "image_impl.h"

namespace imaging {

using platform::BOOL;
using platform::COLORREF;

// The colour transparent pixels of a PNG or WebP are composed onto (the saver's background); black
// until set.
void SetPictureBackground(COLORREF color);
COLORREF PictureBackground();

class CPngImageImpl : public CFileImageImpl {
public:
    using CFileImageImpl::CFileImageImpl;
    BOOL ReadFile(const std::string& name) override;
};

}  // namespace imaging
