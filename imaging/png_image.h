// PNG files through libpng: 24-bit pictures (the first frame of an animated one), with any
// transparency composed onto the background of the decoding options.
#pragma once

#include "image_impl.h"

namespace imaging {

using platform::BOOL;
using platform::COLORREF;

class CPngImageImpl : public CFileImageImpl {
public:
    using CFileImageImpl::CFileImageImpl;
    BOOL ReadFile(const std::string& name) override;
};

}  // namespace imaging
