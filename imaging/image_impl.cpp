#include "image_impl.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "message_box.h"

namespace imaging {

using namespace platform;

namespace {

// The sixteen standard colours that a fresh 4- or 8-bit DIB's colour table repeats.
constexpr BYTE kStandardColours[16][3] = {
    {0, 0, 0},     {128, 0, 0},   {0, 128, 0},   {128, 128, 0}, {0, 0, 128},   {128, 0, 128}, {0, 128, 128}, {192, 192, 192},
    {128, 128, 128}, {255, 0, 0}, {0, 255, 0},   {255, 255, 0}, {0, 0, 255},   {255, 0, 255}, {0, 255, 255}, {255, 255, 255},
};

constexpr size_t kHeaderAndTable = 40 + 256 * 4;

}  // namespace

void DibBlock::Free::operator()(BYTE* bytes) const { std::free(bytes); }

DibBlock DibBlock::Zeroed(size_t size) {
    DibBlock block;
    block.bytes_.reset(static_cast<BYTE*>(std::calloc(size, 1)));
    block.size_ = block.bytes_ ? size : 0;
    return block;
}

DibBlock DibBlock::Uninitialised(size_t size) {
    DibBlock block;
    block.bytes_.reset(static_cast<BYTE*>(std::malloc(size)));
    block.size_ = block.bytes_ ? size : 0;
    return block;
}

bool DibBlock::Shrink(size_t size) {
    if (size > size_ || size == 0) return false;
    BYTE* smaller = static_cast<BYTE*>(std::realloc(bytes_.get(), size));
    if (!smaller) return false;  // the larger block stays whole
    (void)bytes_.release();
    bytes_.reset(smaller);
    size_ = size;
    return true;
}

void CImageImpl::FreeDib() {
    block_ = DibBlock();
    dib = nullptr;
    bits = nullptr;
    palette.reset();
}

void CImageImpl::AdoptDib(DibBlock block, size_t bitsOffset) {
    block_ = std::move(block);
    dib = reinterpret_cast<BITMAPINFO*>(block_.data());
    bits = block_.data() + bitsOffset;
}

void CImageImpl::AdoptTrueColourRows(DibBlock block, int rowsWidth, int rowsHeight) {
    BITMAPINFOHEADER header;
    header.biWidth = rowsWidth;
    header.biHeight = rowsHeight;
    header.biBitCount = 24;
    header.biCompression = BI_RGB;
    header.biSizeImage = DWORD(DibRowBytes(rowsWidth, 24) * size_t(rowsHeight));
    std::memcpy(block.data(), &header, sizeof header);
    FreeDib();
    AdoptDib(std::move(block), sizeof header);
    width = rowsWidth;
    height = rowsHeight;
    depth = 24;
    colorType = kColorTypeColor;
    effWidth = int(DibRowBytes(rowsWidth, 24));
}

int CImageImpl::Create(int newWidth, int newHeight, int newDepth, int newColorType) {
    FreeDib();
    width = newWidth;
    height = newHeight;
    depth = newDepth;
    colorType = newColorType == -1 ? (newDepth <= 8 ? 0 : kColorTypeColor) : newColorType;
    effWidth = 0;
    const bool validDepth = newDepth == 1 || newDepth == 4 || newDepth == 8 || newDepth == 16 || newDepth == 24 || newDepth == 32;
    // A refused size leaves an empty picture, so no caller takes it for a loaded one.
    const auto refuse = [this] {
        width = height = 0;
        return 0;
    };
    if (!validDepth || newWidth <= 0 || newHeight <= 0 || !SizeAllowed(std::uint64_t(newWidth), std::uint64_t(newHeight)))
        return refuse();
    // Rows as DIBs pad them: a shorter block would let the last row run past its end.
    const int rowBytes = int(DibRowBytes(newWidth, newDepth));
    const size_t bitBytes = size_t(rowBytes) * size_t(newHeight);
    DibBlock block = DibBlock::Zeroed(kHeaderAndTable + bitBytes);
    if (!block) return refuse();
    BITMAPINFOHEADER header;
    header.biWidth = newWidth;
    header.biHeight = newHeight;
    header.biBitCount = WORD(newDepth);
    header.biCompression = BI_RGB;
    header.biSizeImage = DWORD(bitBytes);
    header.biClrUsed = newDepth == 4 ? 16 : newDepth == 8 ? 256 : 0;
    std::memcpy(block.data(), &header, sizeof header);
    for (DWORD i = 0; i < header.biClrUsed; ++i) {
        const BYTE* colour = kStandardColours[i % 16];
        const RGBQUAD quad{colour[2], colour[1], colour[0], 0};
        std::memcpy(block.data() + 40 + 4 * i, &quad, 4);
    }
    AdoptDib(std::move(block), 40 + 4 * size_t(header.biClrUsed));
    effWidth = rowBytes;
    return effWidth;
}

// Pixels of 1 and 4 bits share a byte, the leftmost in its high bits.
int CImageImpl::GetIndex(int x, int y) const {
    if (depth > 8 || !bits || !Inside(x, y)) return -1;
    const BYTE byte = bits[size_t(y) * size_t(effWidth) + size_t(x) * size_t(depth) / 8];
    const int shift = 8 - depth - (x * depth) % 8;
    return (byte >> shift) & ((1 << depth) - 1);
}

BOOL CImageImpl::SetIndex(int x, int y, int index) {
    if (depth > 8 || !bits || !Inside(x, y)) return FALSE;
    BYTE& byte = bits[size_t(y) * size_t(effWidth) + size_t(x) * size_t(depth) / 8];
    const int shift = 8 - depth - (x * depth) % 8;
    const int mask = ((1 << depth) - 1) << shift;
    byte = BYTE((byte & ~mask) | ((index << shift) & mask));
    return TRUE;
}

BOOL CImageImpl::GetRGB(int x, int y, BYTE* r, BYTE* g, BYTE* b) const {
    if (!Inside(x, y) || !bits) return FALSE;
    if (palette) {
        const int index = GetIndex(x, y);
        if (index < 0 || index >= int(palette->entries.size())) return FALSE;
        const PALETTEENTRY& entry = palette->entries[size_t(index)];
        *r = entry.peRed;
        *g = entry.peGreen;
        *b = entry.peBlue;
        return TRUE;
    }
    if (depth < 24) return FALSE;  // three bytes of colour exist only at 24 and 32 bits
    const BYTE* p = bits + size_t(y) * size_t(effWidth) + size_t(x * depth / 8);
    *b = p[0];
    *g = p[1];
    *r = p[2];
    return TRUE;
}

BOOL CImageImpl::SetRGB(int x, int y, BYTE r, BYTE g, BYTE b) {
    if (!Inside(x, y) || !bits) return FALSE;
    if (colorType & kColorTypePalette) {
        if (!palette) return FALSE;
        return SetIndex(x, y, int(GetNearestPaletteIndex(palette.get(), RGB(r, g, b))));
    }
    if (depth < 24) return FALSE;
    BYTE* p = bits + size_t(y) * size_t(effWidth) + size_t(x * depth / 8);
    p[0] = b;
    p[1] = g;
    p[2] = r;
    return TRUE;
}

BOOL CImageImpl::SetPalette(int count, const BYTE* red, const BYTE* green, const BYTE* blue) {
    if (count <= 0 || count > 256 || !red) return FALSE;
    if (!green) green = red;
    if (!blue) blue = green;
    LOGPALETTE logical;
    logical.palNumEntries = WORD(count);
    for (int i = 0; i < count; ++i) logical.palPalEntry.push_back(PALETTEENTRY{red[i], green[i], blue[i], 0});
    palette.reset(CreatePalette(&logical));
    if (!palette) return FALSE;
    colorType |= kColorTypePalette | kColorTypeColor;
    if (dib) SetPaletteIndexUsage(dib, palette.get(), 1);
    return TRUE;
}

BOOL CImageImpl::SetPalette(int count, const BYTE* rgbTriples) {
    if (count <= 0 || count > 256 || !rgbTriples) return FALSE;
    if (palette) MessageBox(nullptr, "CImageImpl::imagePalette already exists!", "", MB_OK);
    const size_t entries = static_cast<size_t>(count);
    std::vector<BYTE> red(entries), green(entries), blue(entries);
    for (int i = 0; i < count; ++i) {
        red[size_t(i)] = rgbTriples[3 * i];
        green[size_t(i)] = rgbTriples[3 * i + 1];
        blue[size_t(i)] = rgbTriples[3 * i + 2];
    }
    return SetPalette(count, red.data(), green.data(), blue.data());
}

BOOL CImageImpl::SetPalette(HPALETTE adopted) {
    if (!adopted) return FALSE;
    palette.reset(adopted);
    colorType |= kColorTypePalette | kColorTypeColor;
    if (dib) SetPaletteIndexUsage(dib, palette.get(), 1);
    return TRUE;
}

BOOL CImageImpl::SetGrayPalette(int count) {
    if (count <= 0 || count > 256) return FALSE;
    std::vector<BYTE> grey(static_cast<size_t>(count));
    for (int i = 0; i < count; ++i) grey[size_t(i)] = BYTE(i * 256 / count);
    return SetPalette(count, grey.data(), grey.data(), grey.data());
}

void SetPaletteIndexUsage(BITMAPINFO* dib, HPALETTE palette, int usage) {
    BITMAPINFOHEADER& header = dib->bmiHeader;
    const DWORD count = header.biClrUsed ? header.biClrUsed : header.biBitCount <= 8 ? DWORD(1) << header.biBitCount : 0;
    if (count == 0 || (count == 3 && header.biCompression == BI_BITFIELDS)) return;
    BYTE* table = reinterpret_cast<BYTE*>(dib) + header.biSize;
    if (usage == 1) {
        for (DWORD i = 0; i < count; ++i) {
            const WORD index = WORD(i);
            std::memcpy(table + 2 * i, &index, 2);
        }
        return;
    }
    HPALETTE source = palette ? palette : static_cast<HPALETTE>(GetStockObject(DEFAULT_PALETTE));
    for (DWORD i = 0; i < std::min<DWORD>(count, 256); ++i) {
        const PALETTEENTRY entry = i < source->entries.size() ? source->entries[i] : PALETTEENTRY{};
        const RGBQUAD quad{entry.peBlue, entry.peGreen, entry.peRed, 0};
        std::memcpy(table + 4 * i, &quad, 4);
    }
}

BOOL CImageImpl::Draw(HDC dc, int x, int y, int w, int h, int xSrc, int ySrc) {
    if (!dib) return FALSE;
    if (!dc) return TRUE;
    RealizePalette(dc);
    if (w == -1) w = width;
    if (h == -1) h = height;
    SetDIBitsToDevice(dc, x, y, DWORD(w), DWORD(h), xSrc, 0, UINT(ySrc), UINT(h), bits, dib, DIB_PAL_COLORS);
    return TRUE;
}

BOOL CImageImpl::Stretch(HDC dc, int xDst, int yDst, int wDst, int hDst, int xSrc, int ySrc, int wSrc, int hSrc) {
    if (!dib) return FALSE;
    if (!dc) return TRUE;
    if (wDst == -1) wDst = width;
    if (hDst == -1) hDst = height;
    if (wSrc == -1) wSrc = width - xSrc;
    if (hSrc == -1) hSrc = height - ySrc;
    RealizePalette(dc);
    SetStretchBltMode(dc, COLORONCOLOR);
    if (transparentIndex < 0 || !palette || depth != 8) {
        StretchDIBits(dc, xDst, yDst, wDst, hDst, xSrc, ySrc, wSrc, hSrc, bits, dib, DIB_PAL_COLORS, SRCCOPY);
        return TRUE;
    }
    // Three passes: a mask that keeps the background under transparent pixels, then the
    // picture with its transparent pixels black ORed on top, then the pixels as they were.
    const size_t size = size_t(effWidth) * size_t(height);
    const std::vector<BYTE> saved(bits, bits + size);
    const BYTE black = BYTE(GetNearestPaletteIndex(palette.get(), RGB(0, 0, 0)));
    const BYTE white = BYTE(GetNearestPaletteIndex(palette.get(), RGB(255, 255, 255)));
    const BYTE transparent = BYTE(transparentIndex);
    for (size_t i = 0; i < size; ++i) bits[i] = saved[i] == transparent ? white : black;
    StretchDIBits(dc, xDst, yDst, wDst, hDst, xSrc, ySrc, wSrc, hSrc, bits, dib, DIB_PAL_COLORS, SRCAND);
    for (size_t i = 0; i < size; ++i) bits[i] = saved[i] == transparent ? black : saved[i];
    StretchDIBits(dc, xDst, yDst, wDst, hDst, xSrc, ySrc, wSrc, hSrc, bits, dib, DIB_PAL_COLORS, SRCPAINT);
    std::copy(saved.begin(), saved.end(), bits);
    return TRUE;
}

}  // namespace imaging
