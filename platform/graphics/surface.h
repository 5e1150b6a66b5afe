// A pixel surface in a device format (32, 24, 16 or 8 bits per pixel): what a window, the
// headless screen or a device-dependent bitmap holds. Rows are top-down, padded to 16 bits.
#pragma once

#include <cstdint>
#include <filesystem>
#include <vector>

#include "pixel_memory.h"
#include "win_types.h"

namespace platform {

class Surface {
public:
    Surface() = default;
    Surface(int width, int height, int depth = 32, PixelBytes::Sharing sharing = PixelBytes::Sharing::Private)
        : depth_(depth), bytes_(sharing) {
        resize(width, height);
    }

    void resize(int width, int height);
    int width() const { return width_; }
    int height() const { return height_; }
    int depth() const { return depth_; }
    int stride() const { return stride_; }
    std::uint8_t* row(int y) { return bytes_.data() + std::size_t(y) * std::size_t(stride_); }
    const std::uint8_t* row(int y) const { return bytes_.data() + std::size_t(y) * std::size_t(stride_); }
    PixelBytes& bytes() { return bytes_; }
    const PixelBytes& bytes() const { return bytes_; }

    // Device values (see device_pixels.h); no bounds check beyond the caller's.
    std::uint32_t value(int x, int y) const;
    void setValue(int x, int y, std::uint32_t value);
    // The colour shown at a point, 0x00RRGGBB.
    std::uint32_t pixel(int x, int y) const;

    // Fills the rectangle with a device value, clipped to the surface.
    void fillValue(RECT area, std::uint32_t value);
    // Copies another surface of the same depth with its top-left corner at (x, y), clipped.
    void blit(const Surface& source, int x, int y);
    // The surface as 32-bit 0x00RRGGBB pixels.
    Surface toRgb32() const;

private:
    int width_ = 0, height_ = 0, depth_ = 32, stride_ = 0;
    PixelBytes bytes_;
};

RECT IntersectRects(const RECT& a, const RECT& b);
bool IsRectEmpty(const RECT& r);
RECT UnionRects(const RECT& a, const RECT& b);

// Writes the surface as an 8-bit RGB PNG; false when the file cannot be written.
bool WritePng(const Surface& surface, const std::filesystem::path& file);
// Reads a PNG into a 32-bit surface, for tests.
bool ReadPng(const std::filesystem::path& file, Surface& surface);

}  // namespace platform
