// A picture file shown small: scaled to touch two opposite sides of its area and centred along
// the other, on the saver's background colour; a light grey box with a diagonal cross when empty.
#pragma once

#include <memory>
#include <string>

#include "image_file.h"

namespace imaging {

using platform::COLORREF;
using platform::HDC;

// Where the picture lands in an area of the given size.
struct PreviewPlacement {
    int x = 0, y = 0, width = 0, height = 0;
};
PreviewPlacement PlacePreview(int pictureWidth, int pictureHeight, int areaWidth, int areaHeight);

// The pictures the preview and the slide show show: jpg and jpeg, gif, png, webp, bmp (any letter
// case); -1 for anything else.
int PreviewImageType(const std::string& path);

class CImagePreview {
public:
    // The picture's bits per pixel, or 0. A refused extension keeps the current picture; a file
    // that cannot be read leaves the preview empty.
    int Load(const std::string& path, DecodeOptions options = {});
    void Clear();
    bool HasPicture() const { return picture_ != nullptr; }
    int pictureWidth() const { return width_; }
    int pictureHeight() const { return height_; }
    // Draws the whole area (areaWidth x areaHeight from the context's origin).
    void Paint(HDC dc, int areaWidth, int areaHeight, COLORREF backColor) const;

private:
    std::unique_ptr<CImageFile> picture_;
    int width_ = 0, height_ = 0;
};

}  // namespace imaging
