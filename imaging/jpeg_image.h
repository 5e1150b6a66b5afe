// JPEG files through libjpeg-turbo: 24-bit pictures, or 128-colour palette pictures on displays
// of 8 bits or less; greyscale ones as 8 bits with a grey ramp.
#pragma once

#include "image_impl.h"

namespace imaging {

using platform::BOOL;

class CJpegImageImpl : public CFileImageImpl {
public:
    using CFileImageImpl::CFileImageImpl;
    BOOL ReadFile(const std::string& name) override;
};

}  // namespace imaging
