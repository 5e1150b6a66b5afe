#include "image_preview.h"

#include <algorithm>

#include "text_compare.h"

namespace imaging {

using namespace platform;

PreviewPlacement PlacePreview(int pictureWidth, int pictureHeight, int areaWidth, int areaHeight) {
    if (pictureWidth <= 0 || pictureHeight <= 0 || areaWidth <= 0 || areaHeight <= 0) return {};
    const float heightRatio = float(pictureHeight) / float(areaHeight);
    const float widthRatio = float(pictureWidth) / float(areaWidth);
    const float scale = heightRatio > widthRatio ? heightRatio : widthRatio;
    PreviewPlacement placement;
    placement.width = int(float(pictureWidth) / scale);
    placement.height = int(float(pictureHeight) / scale);
    if (heightRatio > widthRatio) placement.x = (areaWidth - placement.width) / 2;
    else placement.y = (areaHeight - placement.height) / 2;
    return placement;
}

int PreviewImageType(const std::string& path) {
    // The file table's types less XPM, and "jpeg" as well as "jpg".
    if (EndsWithNoCase(path, ".jpeg")) return kImageTypeJpeg;
    const int type = ImageTypeFromExtension(path);
    return type == kImageTypeXpm ? kImageTypeUnknown : type;
}

int CImagePreview::Load(const std::string& path, DecodeOptions options) {
    const int type = PreviewImageType(path);
    if (type < 0) return 0;
    Clear();
    auto picture = std::make_unique<CImageFile>(path, type, options);
    if (picture->GetWidth() <= 0 || picture->GetHeight() <= 0) return 0;
    width_ = picture->GetWidth();
    height_ = picture->GetHeight();
    picture_ = std::move(picture);
    return picture_->GetDepth();
}

void CImagePreview::Clear() {
    picture_.reset();
    width_ = height_ = 0;
}

void CImagePreview::Paint(HDC dc, int areaWidth, int areaHeight, COLORREF backColor) const {
    const RECT area{0, 0, areaWidth, areaHeight};
    FillRect(dc, &area, static_cast<HBRUSH>(GetStockObject(LTGRAY_BRUSH)));
    if (!picture_) {
        MoveToEx(dc, 0, 0, nullptr);
        LineTo(dc, areaWidth, areaHeight);
        MoveToEx(dc, areaWidth, 0, nullptr);
        LineTo(dc, 0, areaHeight);
        return;
    }
    const PreviewPlacement at = PlacePreview(width_, height_, areaWidth, areaHeight);
    UniqueBrush background(CreateSolidBrush(backColor));
    FillRect(dc, &area, background.get());
    HPALETTE previous = nullptr;
    if (HPALETTE palette = picture_->GetPalette()) {
        previous = SelectPalette(dc, palette, FALSE);
        RealizePalette(dc);
    }
    picture_->Stretch(dc, at.x, at.y, at.width, at.height, 0, 0, -1, -1);
    if (previous) SelectPalette(dc, previous, FALSE);
}

}  // namespace imaging
