// A pixel surface of 32-bit 0x00RRGGBB pixels: what a window or the headless screen shows.
#pragma once

#include <cstdint>
#include <filesystem>
#include <vector>

#include "win_types.h"

namespace platform {

class Surface {
public:
    Surface() = default;
    Surface(int width, int height) { resize(width, height); }

    void resize(int width, int height);
    int width() const { return width_; }
    int height() const { return height_; }
    std::uint32_t* row(int y) { return pixels_.data() + std::size_t(y) * std::size_t(width_); }
    const std::uint32_t* row(int y) const { return pixels_.data() + std::size_t(y) * std::size_t(width_); }
    std::uint32_t pixel(int x, int y) const { return row(y)[x]; }
    const std::vector<std::uint32_t>& pixels() const { return pixels_; }

    // Fills the rectangle, clipped to the surface.
    void fill(RECT area, std::uint32_t xrgb);
    // Copies another surface with its top-left corner at (x, y), clipped.
    void blit(const Surface& source, int x, int y);

private:
    int width_ = 0, height_ = 0;
    std::vector<std::uint32_t> pixels_;
};

constexpr std::uint32_t ColorToPixel(COLORREF color) {
    return (std::uint32_t(GetRValue(color)) << 16) | (std::uint32_t(GetGValue(color)) << 8) | GetBValue(color);
}

RECT IntersectRects(const RECT& a, const RECT& b);
bool IsRectEmpty(const RECT& r);
RECT UnionRects(const RECT& a, const RECT& b);

// Writes the surface as an 8-bit RGB PNG; false when the file cannot be written.
bool WritePng(const Surface& surface, const std::filesystem::path& file);
// Reads a PNG written by WritePng (or any 8-bit RGB/RGBA PNG), for tests.
bool ReadPng(const std::filesystem::path& file, Surface& surface);

}  // namespace platform
