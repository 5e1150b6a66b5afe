// A picture reader must take any file: it ends with a picture or an empty one, and drawing what
// it made stays inside every buffer. One target per format (PICTURE_FORMAT_bmp, _gif, _jpeg, _png, _webp).
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <unistd.h>

#include "headless_display.h"
#include "image_file.h"
#include "quality_stretch.h"

namespace {

#if defined(PICTURE_FORMAT_bmp)
constexpr int kType = imaging::kImageTypeBmp;
constexpr const char* kExtension = ".bmp";
#elif defined(PICTURE_FORMAT_gif)
constexpr int kType = imaging::kImageTypeGif;
constexpr const char* kExtension = ".gif";
#elif defined(PICTURE_FORMAT_png)
constexpr int kType = imaging::kImageTypePng;
constexpr const char* kExtension = ".png";
#elif defined(PICTURE_FORMAT_webp)
constexpr int kType = imaging::kImageTypeWebp;
constexpr const char* kExtension = ".webp";
#else
constexpr int kType = imaging::kImageTypeJpeg;
constexpr const char* kExtension = ".jpg";
#endif

std::string FilePath(bool pix) {
    static const std::string base = "/dev/shm/kelvane-fuzz-" + std::to_string(::getpid());
    return base + (pix ? ".pix" : kExtension);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace platform;
    // The last byte picks the display depth (the JPEG reader decodes differently on 8 bits) and,
    // for JPEG, the "PIX" header rule.
    const std::uint8_t choice = size ? data[size - 1] : 0;
    static const int kDepths[] = {32, 8, 16, 24};
    SetDisplay(std::make_unique<HeadlessDisplay>(64, 48, kDepths[choice & 3]));
    const std::string path = FilePath(kType == imaging::kImageTypeJpeg && (choice & 4));
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (!file) return 0;
    std::fwrite(data, 1, size, file);
    std::fclose(file);

    imaging::CImageFile image(path, kType);
    const int width = image.GetWidth(), height = image.GetHeight();
    if (width > 0 && height > 0 && image.GetBits()) {
        UniqueMemoryDC dc(CreateCompatibleDC(nullptr));
        UniqueBitmap canvas(CreateCompatibleBitmap(dc.get(), 40, 30));
        HGDIOBJ previous = SelectObject(dc.get(), canvas.get());
        if (HPALETTE palette = image.GetPalette()) SelectPalette(dc.get(), palette, FALSE);
        image.Draw(dc.get(), -3, 2);
        image.Stretch(dc.get(), 1, 1, 37, 25);
        if (image.GetDepth() > 8) imaging::QualityStretch(image, dc.get(), canvas.get(), 40, 30);
        BYTE r, g, b;
        image.GetRGB(width - 1, height - 1, &r, &g, &b);
        SelectObject(dc.get(), previous);
    }
    return 0;
}
