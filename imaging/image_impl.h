// The pixel store of a picture: a packed DIB (header, colour table, bits) in one block, and a
// palette for pictures of 8 bits or less.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "dib.h"
#include "gdi.h"

namespace imaging {

using platform::BITMAPINFO;
using platform::BOOL;
using platform::BYTE;
using platform::HDC;
using platform::HPALETTE;
using platform::UniquePalette;

// How a picture file is read.
struct DecodeOptions {
    // The colour transparent pixels of a PNG or WebP are composed onto (the saver's background).
    platform::COLORREF background = 0;
};

// Colour type bits.
constexpr int kColorTypePalette = 1;
constexpr int kColorTypeColor = 2;

// No picture is larger than this in either direction, nor larger in area than 8192 x 8192
// (64 megapixels: more than any camera's or photo's). A JPEG beyond the area is read scaled down.
constexpr int kMaxImageSide = 16384;
constexpr std::uint64_t kMaxImagePixels = 8192ull * 8192ull;
inline bool SizeAllowed(std::uint64_t width, std::uint64_t height) {
    return width > 0 && height > 0 && width <= std::uint64_t(kMaxImageSide) && height <= std::uint64_t(kMaxImageSide) &&
           width * height <= kMaxImagePixels;
}
// Whether a compressed picture of this many pixels can be held in so many bytes, when the
// format needs at least one byte for every pixelsPerByte pixels. A hostile header claims a
// size the file cannot hold, so nothing large is allocated for it.
inline bool SizePlausible(std::uint64_t width, std::uint64_t height, std::uint64_t bytes, std::uint64_t pixelsPerByte) {
    return width * height <= bytes * pixelsPerByte;
}

// The memory of a DIB, from the C heap: a fresh zeroed block costs nothing until written, and a
// large one can give back its unused end without a copy.
class DibBlock {
public:
    DibBlock() = default;
    // Nothing (an empty block) when the memory cannot be had.
    static DibBlock Zeroed(size_t size);
    static DibBlock Uninitialised(size_t size);
    BYTE* data() const { return bytes_.get(); }
    size_t size() const { return size_; }
    explicit operator bool() const { return bytes_ != nullptr; }
    // Keeps the first `size` bytes, giving the rest back.
    bool Shrink(size_t size);

private:
    struct Free {
        void operator()(BYTE* bytes) const;
    };
    std::unique_ptr<BYTE, Free> bytes_;
    size_t size_ = 0;
};

class CImageImpl {
public:
    CImageImpl() = default;
    virtual ~CImageImpl() = default;
    CImageImpl(const CImageImpl&) = delete;
    CImageImpl& operator=(const CImageImpl&) = delete;

    bool Inside(int x, int y) const { return x >= 0 && x < width && y >= 0 && y < height; }
    // A fresh, zeroed store; returns the effective width, or 0 when the size is refused.
    virtual int Create(int newWidth, int newHeight, int newDepth, int newColorType);
    virtual int GetIndex(int x, int y) const;
    virtual BOOL GetRGB(int x, int y, BYTE* r, BYTE* g, BYTE* b) const;
    virtual BOOL SetIndex(int x, int y, int index);
    virtual BOOL SetRGB(int x, int y, BYTE r, BYTE g, BYTE b);
    virtual BOOL ReadFile(const std::string&) { return 0; }
    virtual BOOL SaveFile(const std::string&, int) { return 0; }

    BOOL SetPalette(int count, const BYTE* red, const BYTE* green, const BYTE* blue);
    BOOL SetPalette(int count, const BYTE* rgbTriples);
    BOOL SetPalette(HPALETTE adopted);
    BOOL SetGrayPalette(int count);

    BOOL Draw(HDC dc, int x, int y, int w, int h, int xSrc, int ySrc);
    BOOL Stretch(HDC dc, int xDst, int yDst, int wDst, int hDst, int xSrc, int ySrc, int wSrc, int hSrc);

    BITMAPINFO* dibInfo() { return dib; }
    const BITMAPINFO* dibInfo() const { return dib; }

    BYTE* bits = nullptr;
    int width = 0;
    int height = 0;
    int depth = 0;
    int colorType = 0;
    int effWidth = 0;
    BITMAPINFO* dib = nullptr;
    int transparentIndex = -1;
    UniquePalette palette;
    DecodeOptions options;  // set before ReadFile

protected:
    // Takes over a complete DIB block (header, colour table or masks, bits) as the store.
    void AdoptDib(DibBlock block, size_t bitsOffset);
    // Takes over a block of 24-bit bottom-up rows behind room for the header, which it writes.
    void AdoptTrueColourRows(DibBlock block, int rowsWidth, int rowsHeight);
    void FreeDib();

private:
    DibBlock block_;
};

// Rewrites the colour table as palette indices 0 .. n-1 (usage 1), as every DIB with a palette
// is drawn with DIB_PAL_COLORS.
void SetPaletteIndexUsage(BITMAPINFO* dib, HPALETTE palette, int usage);

class CFileImageImpl : public CImageImpl {
public:
    explicit CFileImageImpl(std::string name) : fileName(std::move(name)) {}
    std::string fileName;

protected:
    // An empty name keeps the stored one.
    const std::string& UseName(const std::string& name) {
        if (!name.empty()) fileName = name;
        return fileName;
    }
};

}  // namespace imaging
