// Device-independent bitmaps: the packed header + colour table + bits layout, and the
// operations that move them to and from devices.
#pragma once

#include "gdi.h"

namespace platform {

#pragma pack(push, 2)
struct BITMAPFILEHEADER {
    WORD bfType = 0x4D42;  // "BM"
    DWORD bfSize = 0;
    WORD bfReserved1 = 0;
    WORD bfReserved2 = 0;
    DWORD bfOffBits = 0;
};
#pragma pack(pop)
static_assert(sizeof(BITMAPFILEHEADER) == 14);

struct BITMAPINFOHEADER {
    DWORD biSize = 40;
    LONG biWidth = 0;
    LONG biHeight = 0;  // positive: rows stored bottom-up; negative: top-down
    WORD biPlanes = 1;
    WORD biBitCount = 0;
    DWORD biCompression = 0;
    DWORD biSizeImage = 0;
    LONG biXPelsPerMeter = 0;
    LONG biYPelsPerMeter = 0;
    DWORD biClrUsed = 0;
    DWORD biClrImportant = 0;
};
static_assert(sizeof(BITMAPINFOHEADER) == 40);

struct RGBQUAD {
    BYTE rgbBlue = 0, rgbGreen = 0, rgbRed = 0, rgbReserved = 0;
};

// The header, followed in memory by the colour table (or the three masks of BI_BITFIELDS).
struct BITMAPINFO {
    BITMAPINFOHEADER bmiHeader;
    RGBQUAD bmiColors[1];
};

constexpr DWORD BI_RGB = 0;
constexpr DWORD BI_RLE8 = 1;
constexpr DWORD BI_RLE4 = 2;
constexpr DWORD BI_BITFIELDS = 3;
constexpr UINT DIB_RGB_COLORS = 0;
constexpr UINT DIB_PAL_COLORS = 1;
constexpr DWORD CBM_INIT = 4;

// Bytes per row of a DIB: rows padded to 32 bits.
constexpr LONG DibRowBytes(LONG width, int bitCount) { return ((width * bitCount + 31) / 32) * 4; }
// The colour table's entry count as the header gives it.
DWORD DibColourCount(const BITMAPINFOHEADER& header);
// Where the colour table (or the masks) starts.
inline const BYTE* DibColourTable(const BITMAPINFO* info) {
    return reinterpret_cast<const BYTE*>(info) + info->bmiHeader.biSize;
}

// Draws part of a DIB stretched (nearest pixel, as COLORONCOLOR) with a raster operation.
// Source coordinates count from the DIB's lower-left corner for bottom-up DIBs.
int StretchDIBits(HDC dc, int xDst, int yDst, int wDst, int hDst, int xSrc, int ySrc, int wSrc, int hSrc,
                  const void* bits, const BITMAPINFO* info, UINT usage, DWORD rop);
// Draws a band of a DIB unscaled: the bits hold scan lines startScan .. startScan + lines - 1.
int SetDIBitsToDevice(HDC dc, int xDst, int yDst, DWORD width, DWORD height, int xSrc, int ySrc, UINT startScan,
                      UINT lines, const void* bits, const BITMAPINFO* info, UINT usage);
// Reads a device bitmap as a DIB; with bits null fills in the header (bit count 0) or the masks.
int GetDIBits(HDC dc, HBITMAP bitmap, UINT startScan, UINT lines, void* bits, BITMAPINFO* info, UINT usage);
int SetDIBits(HDC dc, HBITMAP bitmap, UINT startScan, UINT lines, const void* bits, const BITMAPINFO* info, UINT usage);
HBITMAP CreateDIBitmap(HDC dc, const BITMAPINFOHEADER* header, DWORD init, const void* bits, const BITMAPINFO* info,
                       UINT usage);

}  // namespace platform
