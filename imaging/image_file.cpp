#include "image_file.h"

#include <algorithm>
#include <array>
#include <utility>

#include "bmp_image.h"
#include "gif_image.h"
#include "jpeg_image.h"
#include "png_image.h"
#include "text_compare.h"
#include "webp_image.h"

namespace imaging {

using namespace platform;

namespace {

struct ExtensionType {
    const char* extension;
    int type;
};

// Sorted, for the binary search.
constexpr std::array<ExtensionType, 6> kExtensions{{
    {"BMP", kImageTypeBmp},
    {"GIF", kImageTypeGif},
    {"JPG", kImageTypeJpeg},
    {"PNG", kImageTypePng},
    {"WEBP", kImageTypeWebp},
    {"XPM", kImageTypeXpm},
}};

int CompareNoCase(std::string_view a, std::string_view b) {
    for (size_t i = 0; i < std::min(a.size(), b.size()); ++i) {
        const char x = FoldCase(a[i]), y = FoldCase(b[i]);
        if (x != y) return x < y ? -1 : 1;
    }
    return a.size() == b.size() ? 0 : (a.size() < b.size() ? -1 : 1);
}

}  // namespace

int ImageTypeFromExtension(const std::string& fileName) {
    const size_t dot = fileName.rfind('.');
    if (dot == std::string::npos || dot + 1 == fileName.size()) return kImageTypeUnknown;
    const std::string_view extension = std::string_view(fileName).substr(dot + 1);
    auto it = std::lower_bound(kExtensions.begin(), kExtensions.end(), extension,
                               [](const ExtensionType& entry, std::string_view key) { return CompareNoCase(entry.extension, key) < 0; });
    if (it != kExtensions.end() && CompareNoCase(it->extension, extension) == 0) return it->type;
    return kImageTypeUnknown;
}

CImageFile::CImageFile(const std::string& fileName, int type, DecodeOptions options) : options_(options) {
    Load(fileName, type);
}

CImageFile::~CImageFile() = default;

void CImageFile::Load(const std::string& fileName, int type) {
    const int oldType = type_;
    fileName_ = fileName;
    if (type == kImageTypeUnknown) type = ImageTypeFromExtension(fileName);
    type_ = type;
    if (!impl_ || type != oldType) {
        if (!CreateImpl(fileName, type)) return;
    }
    impl_->options = options_;
    impl_->ReadFile(fileName);
}

bool CImageFile::CreateImpl(const std::string& fileName, int& type) {
    impl_.reset();
    switch (type) {
    case kImageTypeBmp: impl_ = std::make_unique<CBmpImageImpl>(fileName); break;
    case kImageTypeJpeg: impl_ = std::make_unique<CJpegImageImpl>(fileName); break;
    case kImageTypeGif: impl_ = std::make_unique<CGifImageImpl>(fileName); break;
    case kImageTypePng: impl_ = std::make_unique<CPngImageImpl>(fileName); break;
    case kImageTypeWebp: impl_ = std::make_unique<CWebpImageImpl>(fileName); break;
    default: return false;
    }
    return true;
}

int CImageFile::Create(int width, int height, int depth, int colorType) {
    if (!impl_) {
        int type = kImageTypeBmp;
        CreateImpl("", type);
        type_ = type;
    }
    return impl_->Create(width, height, depth, colorType);
}

BOOL CImageFile::Draw(HDC dc, int x, int y, int w, int h, int xSrc, int ySrc) {
    return impl_ ? impl_->Draw(dc, x, y, w, h, xSrc, ySrc) : FALSE;
}

BOOL CImageFile::Stretch(HDC dc, int xDst, int yDst, int wDst, int hDst, int xSrc, int ySrc, int wSrc, int hSrc) {
    return impl_ ? impl_->Stretch(dc, xDst, yDst, wDst, hDst, xSrc, ySrc, wSrc, hSrc) : FALSE;
}

BOOL CImageFile::SetPalette(int count, const BYTE* red, const BYTE* green, const BYTE* blue) {
    return impl_ ? impl_->SetPalette(count, red, green, blue) : FALSE;
}

BOOL CImageFile::SetPalette(int count, const BYTE* rgbTriples) { return impl_ ? impl_->SetPalette(count, rgbTriples) : FALSE; }

BOOL CImageFile::SetPalette(HPALETTE palette) { return impl_ ? impl_->SetPalette(palette) : FALSE; }

}  // namespace imaging
