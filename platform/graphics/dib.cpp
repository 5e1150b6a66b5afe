#include "dib.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstring>
#include <vector>


namespace platform {
namespace {

std::uint32_t ReadDword(const BYTE* p) {
    std::uint32_t v;
    std::memcpy(&v, p, 4);
    return v;
}

int MaskShift(std::uint32_t mask) {
    int shift = 0;
    while (mask && !(mask & 1)) {
        mask >>= 1;
        ++shift;
    }
    return shift;
}

// Scales a masked channel to 8 bits.
std::uint32_t Channel(std::uint32_t value, std::uint32_t mask) {
    if (!mask) return 0;
    const int shift = MaskShift(mask);
    const std::uint32_t bits = mask >> shift;
    const std::uint32_t channel = (value & mask) >> shift;
    return bits >= 255 ? channel >> (std::bit_width(bits) - 8) : (channel * 255 + bits / 2) / bits;
}

// Reads the pixels of one DIB as device values of a target depth.
class DibSource {
public:
    DibSource(const BITMAPINFO* info, const void* bits, UINT usage, const DeviceContext* dc, int targetDepth)
        : header_(info->bmiHeader), bits_(static_cast<const BYTE*>(bits)), depth_(targetDepth) {
        width_ = header_.biWidth;
        height_ = header_.biHeight < 0 ? -header_.biHeight : header_.biHeight;
        topDown_ = header_.biHeight < 0;
        stride_ = DibRowBytes(width_, header_.biBitCount);
        const int bitCount = header_.biBitCount;
        valid_ = bits_ && width_ > 0 && height_ > 0 &&
                 (bitCount == 1 || bitCount == 4 || bitCount == 8 || bitCount == 16 || bitCount == 24 || bitCount == 32);
        if (!valid_) return;
        const BYTE* table = DibColourTable(info);
        if (bitCount <= 8) {
            const DWORD count = std::min<DWORD>(DibColourCount(header_), 256);
            for (DWORD i = 0; i < count; ++i) lookup_[i] = indexValue(table, i, usage, dc);
        } else if (header_.biCompression == BI_BITFIELDS) {
            masks_ = {ReadDword(table), ReadDword(table + 4), ReadDword(table + 8)};
        } else if (bitCount == 16) {
            masks_ = {0x7C00, 0x03E0, 0x001F};
        } else {
            masks_ = {0xFF0000, 0x00FF00, 0x0000FF};
        }
    }

    bool valid() const { return valid_; }
    // A plain 24-bit DIB, whose rows the 32-bit copy reads directly.
    bool plain24() const { return header_.biBitCount == 24; }
    const BYTE* memoryRow(int row) const { return bits_ + std::ptrdiff_t(row) * stride_; }
    LONG width() const { return width_; }
    LONG height() const { return height_; }
    bool topDown() const { return topDown_; }

    // The device value of pixel x of the row stored at memoryRow (0 = first row in memory).
    std::uint32_t value(int x, int memoryRow) const {
        const BYTE* row = bits_ + std::ptrdiff_t(memoryRow) * stride_;
        switch (header_.biBitCount) {
        case 1: return lookup_[(row[x >> 3] >> (7 - (x & 7))) & 1];
        case 4: return lookup_[(row[x >> 1] >> ((x & 1) ? 0 : 4)) & 0xF];
        case 8: return lookup_[row[x]];
        case 24: {
            const BYTE* p = row + 3 * x;
            return fromRgb((std::uint32_t(p[2]) << 16) | (std::uint32_t(p[1]) << 8) | p[0]);
        }
        case 16: {
            const std::uint32_t v = std::uint32_t(row[2 * x]) | (std::uint32_t(row[2 * x + 1]) << 8);
            return fromRgb((Channel(v, masks_[0]) << 16) | (Channel(v, masks_[1]) << 8) | Channel(v, masks_[2]));
        }
        default: {
            const std::uint32_t v = ReadDword(row + 4 * x);
            if (header_.biCompression != BI_BITFIELDS) return fromRgb(v & 0xFFFFFF);
            return fromRgb((Channel(v, masks_[0]) << 16) | (Channel(v, masks_[1]) << 8) | Channel(v, masks_[2]));
        }
        }
    }

private:
    std::uint32_t fromRgb(std::uint32_t rgb) const { return depth_ == 32 ? rgb : DeviceValue(ColorFromRgb(rgb), depth_); }

    std::uint32_t indexValue(const BYTE* table, DWORD i, UINT usage, const DeviceContext* dc) const {
        if (usage == DIB_PAL_COLORS) {
            // The table holds indices into the palette selected into the context.
            WORD index;
            std::memcpy(&index, table + 2 * i, 2);
            const Palette* palette = dc ? dc->palette : nullptr;
            if (!palette || index >= palette->entries.size()) return 0;
            if (depth_ == 8 && index < palette->systemIndex.size()) return palette->systemIndex[index];
            const PALETTEENTRY& entry = palette->entries[index];
            return fromRgb((std::uint32_t(entry.peRed) << 16) | (std::uint32_t(entry.peGreen) << 8) | entry.peBlue);
        }
        const BYTE* quad = table + 4 * i;
        return fromRgb((std::uint32_t(quad[2]) << 16) | (std::uint32_t(quad[1]) << 8) | quad[0]);
    }

    BITMAPINFOHEADER header_;
    const BYTE* bits_;
    int depth_;
    LONG width_ = 0, height_ = 0, stride_ = 0;
    bool topDown_ = false;
    bool valid_ = false;
    std::array<std::uint32_t, 256> lookup_{};
    std::array<std::uint32_t, 3> masks_{};
};

// Moves DIB pixels onto the context: target column and row offsets from (xDst, yDst) map to a
// source column and a memory row (-1: nothing there).
int Transfer(HDC dc, const DibSource& source, int xDst, int yDst, const std::vector<int>& columns,
             const std::vector<int>& rows, DWORD rop) {
    Surface& surface = *dc->surface;
    const RECT area = dc->toSurface(RECT{xDst, yDst, xDst + int(columns.size()), yDst + int(rows.size())});
    if (IsRectEmpty(area)) return int(rows.size());
    const int left = xDst + dc->origin.x, top = yDst + dc->origin.y;
    const bool copy32 = rop == SRCCOPY && surface.depth() == 32;
    for (int y = area.top; y < area.bottom; ++y) {
        const int memoryRow = rows[size_t(y - top)];
        if (memoryRow < 0) continue;
        if (copy32 && source.plain24()) {
            auto* out = reinterpret_cast<std::uint32_t*>(surface.row(y));
            const BYTE* in = source.memoryRow(memoryRow);
            for (int x = area.left; x < area.right; ++x) {
                const int column = columns[size_t(x - left)];
                if (column < 0) continue;
                const BYTE* p = in + 3 * column;
                out[x] = (std::uint32_t(p[2]) << 16) | (std::uint32_t(p[1]) << 8) | p[0];
            }
            continue;
        }
        if (copy32) {
            auto* out = reinterpret_cast<std::uint32_t*>(surface.row(y));
            for (int x = area.left; x < area.right; ++x) {
                const int column = columns[size_t(x - left)];
                if (column >= 0) out[x] = source.value(column, memoryRow);
            }
            continue;
        }
        for (int x = area.left; x < area.right; ++x) {
            const int column = columns[size_t(x - left)];
            if (column < 0) continue;
            surface.setValue(x, y, ApplyRop(rop, surface.value(x, y), source.value(column, memoryRow), 0));
        }
    }
    dc->markTouched(area);
    return int(rows.size());
}

// Nearest-pixel mapping of a target span onto a source span; a negative length on either side
// mirrors. Entries outside the source are -1.
std::vector<int> SpanMap(int targetLength, int sourceStart, int sourceLength, int sourceLimit) {
    bool mirror = targetLength < 0;
    if (sourceLength < 0) {
        mirror = !mirror;
        sourceStart += sourceLength;
        sourceLength = -sourceLength;
    }
    const int count = std::abs(targetLength);
    std::vector<int> map(size_t(count), -1);
    for (int i = 0; i < count; ++i) {
        const int t = mirror ? count - 1 - i : i;
        const long long s = sourceStart + (2LL * t + 1) * sourceLength / (2LL * count);
        map[size_t(i)] = s >= 0 && s < sourceLimit ? int(s) : -1;
    }
    return map;
}

}  // namespace

DWORD DibColourCount(const BITMAPINFOHEADER& header) {
    if (header.biClrUsed) return header.biClrUsed;
    return header.biBitCount <= 8 ? DWORD(1) << header.biBitCount : 0;
}

int StretchDIBits(HDC dc, int xDst, int yDst, int wDst, int hDst, int xSrc, int ySrc, int wSrc, int hSrc,
                  const void* bits, const BITMAPINFO* info, UINT usage, DWORD rop) {
    if (!dc || !dc->surface || !info || wDst == 0 || hDst == 0 || wSrc == 0 || hSrc == 0) return 0;
    const DibSource source(info, bits, usage, dc, dc->depth());
    if (!source.valid()) return 0;
    std::vector<int> columns = SpanMap(wDst, xSrc, wSrc, source.width());
    // Rows: the target's top row shows the source rectangle's top row.
    const int sourceRows = std::abs(hSrc);
    std::vector<int> rows = SpanMap(hSrc < 0 ? -hDst : hDst, 0, sourceRows, sourceRows);
    for (int& row : rows) {
        if (row < 0) continue;
        const int fromTop = row;  // visual row inside the source rectangle, from its top
        const int memoryRow = source.topDown() ? ySrc + fromTop : ySrc + sourceRows - 1 - fromTop;
        row = memoryRow >= 0 && memoryRow < source.height() ? memoryRow : -1;
    }
    return Transfer(dc, source, std::min(xDst, xDst + wDst), std::min(yDst, yDst + hDst), columns, rows, rop);
}

int SetDIBitsToDevice(HDC dc, int xDst, int yDst, DWORD width, DWORD height, int xSrc, int ySrc, UINT startScan,
                      UINT lines, const void* bits, const BITMAPINFO* info, UINT usage) {
    if (!dc || !dc->surface || !info || width == 0 || height == 0) return 0;
    const DibSource whole(info, bits, usage, dc, dc->depth());
    if (!whole.valid()) return 0;
    std::vector<int> columns(width);
    for (DWORD i = 0; i < width; ++i) {
        const long long column = (long long)xSrc + i;
        columns[i] = column >= 0 && column < whole.width() ? int(column) : -1;
    }
    std::vector<int> rows(height);
    for (DWORD i = 0; i < height; ++i) {
        // Scan lines count from the bottom for bottom-up DIBs; the bits begin at startScan.
        const long long scan = whole.topDown() ? (long long)ySrc + i : (long long)ySrc + height - 1 - i;
        const long long inBand = scan - startScan;
        const bool present = inBand >= 0 && inBand < lines && scan < whole.height();
        rows[i] = present ? int(inBand) : -1;  // the bits' first row is scan startScan
    }
    return Transfer(dc, whole, xDst, yDst, columns, rows, SRCCOPY) ? int(lines) : 0;
}

int GetDIBits(HDC dc, HBITMAP bitmap, UINT startScan, UINT lines, void* bits, BITMAPINFO* info, UINT) {
    if (!bitmap || !info) return 0;
    const Surface& surface = *bitmap->surface;
    BITMAPINFOHEADER& header = info->bmiHeader;
    BYTE* table = reinterpret_cast<BYTE*>(info) + (header.biSize ? header.biSize : 40);
    if (!bits && header.biBitCount == 0) {
        header.biWidth = surface.width();
        header.biHeight = surface.height();
        header.biPlanes = 1;
        header.biBitCount = WORD(surface.depth());
        header.biCompression = surface.depth() == 16 ? BI_BITFIELDS : BI_RGB;
        header.biSizeImage = DWORD(DibRowBytes(surface.width(), surface.depth()) * surface.height());
        header.biClrUsed = 0;
        return 1;
    }
    if (!bits) {
        if (header.biCompression == BI_BITFIELDS) {
            const std::array<DWORD, 3> masks = header.biBitCount == 16
                                                   ? std::array<DWORD, 3>{kRedMask565, kGreenMask565, kBlueMask565}
                                                   : std::array<DWORD, 3>{0xFF0000, 0x00FF00, 0x0000FF};
            std::memcpy(table, masks.data(), sizeof masks);
        }
        return 1;
    }
    const int bitCount = header.biBitCount;
    if (bitCount != 16 && bitCount != 24 && bitCount != 32 && !(bitCount == 8 && surface.depth() == 8)) return 0;
    const LONG width = std::min<LONG>(header.biWidth, surface.width());
    const bool topDown = header.biHeight < 0;
    const LONG stride = DibRowBytes(header.biWidth, bitCount);
    auto* out = static_cast<BYTE*>(bits);
    UINT copied = 0;
    for (UINT i = 0; i < lines; ++i) {
        const long long scan = (long long)startScan + i;  // from the bottom (or the top when top-down)
        if (scan >= surface.height()) break;
        const int surfaceRow = topDown ? int(scan) : surface.height() - 1 - int(scan);
        BYTE* row = out + std::ptrdiff_t(i) * stride;
        for (LONG x = 0; x < width; ++x) {
            const std::uint32_t rgb = surface.pixel(int(x), surfaceRow);
            switch (bitCount) {
            case 8: row[x] = BYTE(surface.value(int(x), surfaceRow)); break;
            case 16: {
                const WORD v = WORD(DeviceValue(ColorFromRgb(rgb), 16));
                std::memcpy(row + 2 * x, &v, 2);
                break;
            }
            case 24:
                row[3 * x] = BYTE(rgb);
                row[3 * x + 1] = BYTE(rgb >> 8);
                row[3 * x + 2] = BYTE(rgb >> 16);
                break;
            default: std::memcpy(row + 4 * x, &rgb, 4);
            }
        }
        ++copied;
    }
    if (bitCount == 16) header.biCompression = BI_BITFIELDS;
    if (bitCount == 8) {
        for (int i = 0; i < 256; ++i) {
            const PALETTEENTRY entry = SystemPalette::instance().entry(i);
            const RGBQUAD quad{entry.peBlue, entry.peGreen, entry.peRed, 0};
            std::memcpy(table + 4 * i, &quad, 4);
        }
    }
    (void)dc;
    return int(copied);
}

int SetDIBits(HDC dc, HBITMAP bitmap, UINT startScan, UINT lines, const void* bits, const BITMAPINFO* info, UINT usage) {
    if (!bitmap || !info) return 0;
    UniqueMemoryDC memory(CreateCompatibleDC(dc));
    if (dc) SelectPalette(memory.get(), dc->palette, FALSE);
    HGDIOBJ previous = SelectObject(memory.get(), bitmap);
    const LONG height = info->bmiHeader.biHeight < 0 ? -info->bmiHeader.biHeight : info->bmiHeader.biHeight;
    const int drawn = SetDIBitsToDevice(memory.get(), 0, 0, DWORD(info->bmiHeader.biWidth), DWORD(height), 0, 0,
                                        startScan, lines, bits, info, usage);
    SelectObject(memory.get(), previous);
    return drawn;
}

HBITMAP CreateDIBitmap(HDC dc, const BITMAPINFOHEADER* header, DWORD init, const void* bits, const BITMAPINFO* info,
                       UINT usage) {
    if (!header || header->biWidth <= 0 || header->biHeight == 0) return nullptr;
    const LONG height = header->biHeight < 0 ? -header->biHeight : header->biHeight;
    HBITMAP bitmap = CreateCompatibleBitmap(dc, header->biWidth, height);
    if (bitmap && (init & CBM_INIT) && bits && info) SetDIBits(dc, bitmap, 0, UINT(height), bits, info, usage);
    return bitmap;
}

}  // namespace platform
