// Pixels in the display's own format: 32 bits (B, G, R, 0), 24 bits (B, G, R), 16 bits (5-6-5) or
// 8 bits (an index into the system palette).
#pragma once

#include <array>
#include <cstdint>
#include <mutex>
#include <unordered_map>

#include "win_types.h"

namespace platform {

struct PALETTEENTRY {
    BYTE peRed = 0, peGreen = 0, peBlue = 0, peFlags = 0;
    bool operator==(const PALETTEENTRY&) const = default;
};

// The 16-bit display format's masks.
constexpr DWORD kRedMask565 = 0xF800, kGreenMask565 = 0x07E0, kBlueMask565 = 0x001F;

// The colours an 8-bit display shows: twenty static colours at both ends, the rest filled by
// the palette realised last.
class SystemPalette {
public:
    static SystemPalette& instance();
    static constexpr int kStaticCount = 10;  // at each end

    PALETTEENTRY entry(int index) const;
    // Puts the colours into the free entries (those already present are shared); fills
    // mapping[i] with the system index of colours[i]. Returns the number of entries mapped.
    int realize(const PALETTEENTRY* colours, int count, BYTE* mapping);
    // The entry nearest to the colour (an exact match when there is one).
    BYTE nearest(COLORREF color);
    // Back to the static colours only.
    void reset();

private:
    SystemPalette();
    BYTE nearestLocked(COLORREF color) const;
    void indexExactColoursLocked();

    mutable std::mutex mutex_;
    std::array<PALETTEENTRY, 256> entries_{};
    std::unordered_map<COLORREF, BYTE> exact_;
    std::array<std::int16_t, 32768> nearestCache_{};  // 5-5-5 colour -> index, -1 unknown
};

// The twenty static colours, in the order they sit in the system palette.
const std::array<PALETTEENTRY, 20>& StaticColours();

std::uint32_t DeviceValue(COLORREF color, int depth);
// The 16-bit display's word for a colour: 5 bits of red, 6 of green, 5 of blue.
constexpr std::uint32_t Word565(std::uint32_t red, std::uint32_t green, std::uint32_t blue) {
    return ((red >> 3) << 11) | ((green >> 2) << 5) | (blue >> 3);
}
// 0x00RRGGBB of a device value.
std::uint32_t RgbFromDevice(std::uint32_t value, int depth);
constexpr COLORREF ColorFromRgb(std::uint32_t rgb) { return RGB(BYTE(rgb >> 16), BYTE(rgb >> 8), BYTE(rgb)); }
constexpr std::uint32_t RgbFromColor(COLORREF color) {
    return (std::uint32_t(GetRValue(color)) << 16) | (std::uint32_t(GetGValue(color)) << 8) | GetBValue(color);
}

// Bytes per row of a device bitmap: rows padded to 16 bits.
constexpr int DeviceRowBytes(int width, int depth) { return ((width * depth + 15) / 16) * 2; }

}  // namespace platform
