// GIF files (87a and 89a): the first image, as an 8-bit picture with a palette.
#pragma once

#include "image_impl.h"

namespace imaging {

using platform::BOOL;

class CGifImageImpl : public CFileImageImpl {
public:
    using CFileImageImpl::CFileImageImpl;
    BOOL ReadFile(const std::string& name) override;
};

}  // namespace imaging
