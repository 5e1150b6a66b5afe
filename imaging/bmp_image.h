// BMP files: Windows and OS/2 1.x bitmap files, and bare packed DIBs.
#pragma once

#include "image_impl.h"

namespace imaging {

using platform::BOOL;

class CBmpImageImpl : public CFileImageImpl {
public:
    using CFileImageImpl::CFileImageImpl;
    BOOL ReadFile(const std::string& name) override;
};

}  // namespace imaging
