#include "bitmap_file.h"

#include <cstring>

#include "dib.h"
#include "fresh_file.h"

namespace imaging {

using namespace platform;

namespace {

WORD FileBitCount(int bitsPerPixel) {
    if (bitsPerPixel <= 1) return 1;
    if (bitsPerPixel <= 4) return 4;
    if (bitsPerPixel <= 8) return 8;
    return 24;
}

DWORD ColourTableBytes(const BITMAPINFOHEADER& header) {
    if (header.biBitCount > 8) return 0;
    return (header.biClrUsed ? header.biClrUsed : DWORD(1) << header.biBitCount) * sizeof(RGBQUAD);
}


}  // namespace

PackedDib PackBitmapAsDib(HBITMAP bitmap, HPALETTE palette) {
    if (!bitmap || !bitmap->surface) return {};
    const Surface& surface = *bitmap->surface;
    if (!palette) palette = static_cast<HPALETTE>(GetStockObject(DEFAULT_PALETTE));

    BITMAPINFOHEADER header;
    header.biWidth = surface.width();
    header.biHeight = surface.height();
    header.biBitCount = FileBitCount(surface.depth());
    header.biCompression = BI_RGB;

    HDC screen = GetDC(nullptr);
    HPALETTE previous = SelectPalette(screen, palette, FALSE);
    RealizePalette(screen);

    const size_t tableBytes = ColourTableBytes(header);
    PackedDib dib(sizeof header + tableBytes, 0);
    std::memcpy(dib.data(), &header, sizeof header);
    auto* info = reinterpret_cast<BITMAPINFO*>(dib.data());
    GetDIBits(screen, bitmap, 0, UINT(header.biHeight), nullptr, info, DIB_RGB_COLORS);
    if (info->bmiHeader.biSizeImage == 0)
        info->bmiHeader.biSizeImage = DWORD(DibRowBytes(header.biWidth, header.biBitCount) * header.biHeight);
    // Header and table, then room for the pixels, in one allocation of the final size.
    PackedDib whole(sizeof header + tableBytes + size_t(info->bmiHeader.biSizeImage));
    std::memcpy(whole.data(), dib.data(), sizeof header + tableBytes);
    dib = std::move(whole);
    info = reinterpret_cast<BITMAPINFO*>(dib.data());
    const int rows = GetDIBits(screen, bitmap, 0, UINT(header.biHeight), dib.data() + sizeof header + tableBytes, info,
                               DIB_RGB_COLORS);
    if (rows != header.biHeight) dib.clear();

    SelectPalette(screen, previous, FALSE);
    RealizePalette(screen);
    ReleaseDC(nullptr, screen);
    return dib;
}

int WriteDibFile(const PackedDib& dib, const std::string& path) {
    if (dib.size() < sizeof(BITMAPINFOHEADER)) return 1;
    BITMAPINFOHEADER header;
    std::memcpy(&header, dib.data(), sizeof header);
    if (header.biSize != sizeof header) return 1;
    if (header.biCompression == BI_RGB) {
        const LONG height = header.biHeight < 0 ? -header.biHeight : header.biHeight;
        header.biSizeImage = DWORD(DibRowBytes(header.biWidth, header.biBitCount) * height);
    }
    const size_t tableBytes = ColourTableBytes(header);
    const size_t total = sizeof header + tableBytes + header.biSizeImage;
    if (dib.size() < total) return 1;

    BITMAPFILEHEADER file;
    file.bfOffBits = DWORD(sizeof file + sizeof header + tableBytes);
    file.bfSize = DWORD(sizeof file + total);

    // Written beside the target and renamed over it, so the desktop never shows half a picture.
    const auto piece = [](const void* bytes, size_t size) { return std::string_view(static_cast<const char*>(bytes), size); };
    if (!ReplaceFileWhole(path, {piece(&file, sizeof file), piece(&header, sizeof header),
                                 piece(dib.data() + sizeof header, total - sizeof header)}, 0644))
        return 1;
    return 0;
}

}  // namespace imaging
