#include "device_pixels.h"

#include <algorithm>
#include <climits>

namespace platform {

const std::array<PALETTEENTRY, 20>& StaticColours() {
    static const std::array<PALETTEENTRY, 20> colours{{
        {0, 0, 0, 0},       {128, 0, 0, 0},     {0, 128, 0, 0},     {128, 128, 0, 0},   {0, 0, 128, 0},
        {128, 0, 128, 0},   {0, 128, 128, 0},   {192, 192, 192, 0}, {192, 220, 192, 0}, {166, 202, 240, 0},
        {255, 251, 240, 0}, {160, 160, 164, 0}, {128, 128, 128, 0}, {255, 0, 0, 0},     {0, 255, 0, 0},
        {255, 255, 0, 0},   {0, 0, 255, 0},     {255, 0, 255, 0},   {0, 255, 255, 0},   {255, 255, 255, 0},
    }};
    return colours;
}

SystemPalette& SystemPalette::instance() {
    static SystemPalette palette;
    return palette;
}

SystemPalette::SystemPalette() { reset(); }

void SystemPalette::reset() {
    std::lock_guard lock(mutex_);
    const auto& statics = StaticColours();
    for (int i = 0; i < 256; ++i) entries_[size_t(i)] = PALETTEENTRY{0, 0, 0, 0};
    for (int i = 0; i < kStaticCount; ++i) {
        entries_[size_t(i)] = statics[size_t(i)];
        entries_[size_t(256 - kStaticCount + i)] = statics[size_t(kStaticCount + i)];
    }
    for (int i = kStaticCount; i < 256 - kStaticCount; ++i) entries_[size_t(i)].peFlags = 1;
    indexExactColoursLocked();
}

PALETTEENTRY SystemPalette::entry(int index) const {
    std::lock_guard lock(mutex_);
    return entries_[size_t(index & 0xFF)];
}

int SystemPalette::realize(const PALETTEENTRY* colours, int count, BYTE* mapping) {
    std::lock_guard lock(mutex_);
    // The foreground palette takes the free entries afresh.
    for (int i = kStaticCount; i < 256 - kStaticCount; ++i) entries_[size_t(i)] = PALETTEENTRY{0, 0, 0, 1};
    int nextFree = kStaticCount;
    int mapped = 0;
    for (int i = 0; i < count; ++i) {
        const PALETTEENTRY wanted{colours[i].peRed, colours[i].peGreen, colours[i].peBlue, 0};
        int found = -1;
        for (int j = 0; j < 256 && found < 0; ++j) {
            const PALETTEENTRY& have = entries_[size_t(j)];
            if (have.peFlags == 0 && have.peRed == wanted.peRed && have.peGreen == wanted.peGreen &&
                have.peBlue == wanted.peBlue)
                found = j;
        }
        if (found < 0 && nextFree < 256 - kStaticCount) {
            found = nextFree++;
            entries_[size_t(found)] = wanted;
            ++mapped;
        }
        if (found < 0) found = nearestLocked(RGB(wanted.peRed, wanted.peGreen, wanted.peBlue));
        if (mapping) mapping[i] = BYTE(found);
    }
    // Entries no colour took stay marked free: they never match a colour.
    indexExactColoursLocked();
    return mapped;
}

BYTE SystemPalette::nearestLocked(COLORREF color) const {
    int best = 0;
    int bestDistance = INT_MAX;
    for (int i = 0; i < 256; ++i) {
        const PALETTEENTRY& entry = entries_[size_t(i)];
        if (entry.peFlags) continue;  // a free entry
        const int dr = int(entry.peRed) - GetRValue(color);
        const int dg = int(entry.peGreen) - GetGValue(color);
        const int db = int(entry.peBlue) - GetBValue(color);
        const int distance = dr * dr + dg * dg + db * db;
        if (distance < bestDistance) {
            bestDistance = distance;
            best = i;
            if (distance == 0) break;
        }
    }
    return BYTE(best);
}

void SystemPalette::indexExactColoursLocked() {
    exact_.clear();
    for (int i = 255; i >= 0; --i) {
        const PALETTEENTRY& entry = entries_[size_t(i)];
        if (!entry.peFlags) exact_[RGB(entry.peRed, entry.peGreen, entry.peBlue)] = BYTE(i);
    }
    nearestCache_.fill(-1);
}

BYTE SystemPalette::nearest(COLORREF color) {
    color &= 0xFFFFFF;
    std::lock_guard lock(mutex_);
    // A colour the palette holds is found exactly; any other by the nearest of its 5-5-5 cell.
    if (auto it = exact_.find(color); it != exact_.end()) return it->second;
    const int key = ((GetRValue(color) >> 3) << 10) | ((GetGValue(color) >> 3) << 5) | (GetBValue(color) >> 3);
    std::int16_t& cached = nearestCache_[size_t(key)];
    if (cached < 0) cached = nearestLocked(color);
    return BYTE(cached);
}

std::uint32_t DeviceValue(COLORREF color, int depth) {
    const std::uint32_t r = GetRValue(color), g = GetGValue(color), b = GetBValue(color);
    switch (depth) {
    case 8: return SystemPalette::instance().nearest(color);
    case 16: return Word565(r, g, b);
    default: return (r << 16) | (g << 8) | b;
    }
}

std::uint32_t RgbFromDevice(std::uint32_t value, int depth) {
    switch (depth) {
    case 8: {
        const PALETTEENTRY entry = SystemPalette::instance().entry(int(value));
        return (std::uint32_t(entry.peRed) << 16) | (std::uint32_t(entry.peGreen) << 8) | entry.peBlue;
    }
    case 16: {
        const std::uint32_t r = (value >> 11) & 0x1F, g = (value >> 5) & 0x3F, b = value & 0x1F;
        return (((r << 3) | (r >> 2)) << 16) | (((g << 2) | (g >> 4)) << 8) | ((b << 3) | (b >> 2));
    }
    default: return value & 0xFFFFFF;
    }
}

}  // namespace platform
