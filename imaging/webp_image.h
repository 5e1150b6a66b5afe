// WebP files through libwebp: 24-bit pictures (the first frame of an animated one, on its whole
// canvas), with any transparency composed onto the picture background (DecodeOptions).
#pragma once

#include "image_impl.h"

namespace imaging {

using platform::BOOL;

class CWebpImageImpl : public CFileImageImpl {
public:
    using CFileImageImpl::CFileImageImpl;
    BOOL ReadFile(const std::string& name) override;
};

}  // namespace imaging
