#include "picture_orientation.h"

#include <cstring>
#include <optional>
#include <vector>

namespace imaging {

using namespace platform;

namespace {

constexpr unsigned kOrientationTag = 0x0112;
constexpr unsigned kShortType = 3;

// Reads the TIFF block's numbers in its own byte order, never past its end.
class TiffReader {
public:
    TiffReader(const BYTE* data, std::size_t size, bool bigEndian) : data_(data), size_(size), big_(bigEndian) {}
    std::optional<unsigned> u16(std::size_t at) const {
        if (at > size_ || size_ - at < 2) return std::nullopt;
        return big_ ? unsigned(data_[at]) << 8 | data_[at + 1] : unsigned(data_[at + 1]) << 8 | data_[at];
    }
    std::optional<std::size_t> u32(std::size_t at) const {
        const auto high = u16(big_ ? at : at + 2), low = u16(big_ ? at + 2 : at);
        if (!high || !low) return std::nullopt;
        return std::size_t(*high) << 16 | *low;
    }

private:
    const BYTE* data_;
    std::size_t size_;
    bool big_;
};

}  // namespace

int ExifOrientation(const BYTE* segment, std::size_t size) {
    constexpr char kExif[] = "Exif\0";  // with the array's own terminator: six bytes
    if (!segment || size < sizeof kExif + 8 || std::memcmp(segment, kExif, sizeof kExif) != 0) return 1;
    const BYTE* tiff = segment + sizeof kExif;
    const std::size_t tiffSize = size - sizeof kExif;
    const bool little = tiff[0] == 'I' && tiff[1] == 'I', big = tiff[0] == 'M' && tiff[1] == 'M';
    if (!little && !big) return 1;
    const TiffReader reader(tiff, tiffSize, big);
    const auto directory = reader.u32(4);
    if (reader.u16(2) != 42u || !directory) return 1;
    const auto entries = reader.u16(*directory);
    for (unsigned entry = 0; entries && entry < *entries; ++entry) {
        const std::size_t at = *directory + 2 + std::size_t(entry) * 12;
        const auto tag = reader.u16(at);
        if (!tag) break;
        if (*tag != kOrientationTag) continue;
        const auto value = reader.u16(at + 8);
        return reader.u16(at + 2) == kShortType && value && *value >= 1 && *value <= 8 ? int(*value) : 1;
    }
    return 1;
}

bool ApplyOrientation(CImageImpl& image, int orientation) {
    if (orientation <= 1 || orientation > 8 || !image.bits || (image.depth != 8 && image.depth != 24)) return true;
    const int width = image.width, height = image.height, pixelBytes = image.depth / 8;
    const int oldStride = image.effWidth;
    const std::vector<BYTE> old(image.bits, image.bits + std::size_t(oldStride) * std::size_t(height));
    const bool sideways = orientation >= 5;
    const int newWidth = sideways ? height : width, newHeight = sideways ? width : height;
    if (!image.Create(newWidth, newHeight, image.depth, image.colorType)) {
        image.Create(width, height, image.depth, image.colorType);
        std::memcpy(image.bits, old.data(), old.size());
        return false;
    }
    // Rows are stored bottom-up; the mapping below counts from the top-left as a viewer does.
    const auto source = [&](int x, int y) { return old.data() + std::size_t(height - 1 - y) * oldStride + x * pixelBytes; };
    for (int y = 0; y < newHeight; ++y) {
        BYTE* out = image.bits + std::size_t(newHeight - 1 - y) * image.effWidth;
        for (int x = 0; x < newWidth; ++x, out += pixelBytes) {
            int sx = x, sy = y;
            switch (orientation) {
            case 2: sx = width - 1 - x; break;                      // mirrored
            case 3: sx = width - 1 - x; sy = height - 1 - y; break;  // upside down
            case 4: sy = height - 1 - y; break;                      // mirrored upside down
            case 5: sx = y; sy = x; break;                           // mirrored, on its side
            case 6: sx = y; sy = height - 1 - x; break;              // turned a quarter right to stand up
            case 7: sx = width - 1 - y; sy = height - 1 - x; break;  // mirrored, on its other side
            case 8: sx = width - 1 - y; sy = x; break;               // turned a quarter left to stand up
            default: break;
            }
            std::memcpy(out, source(sx, sy), std::size_t(pixelBytes));
        }
    }
    return true;
}

}  // namespace imaging
