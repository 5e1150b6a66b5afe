#include "bitmap_file.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "dib.h"

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

bool WriteAll(int fd, const BYTE* data, size_t size) {
    while (size > 0) {
        const ssize_t written = ::write(fd, data, size);
        if (written < 0 && errno == EINTR) continue;
        if (written <= 0) return false;
        data += written;
        size -= size_t(written);
    }
    return true;
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
    std::string temporary = path + ".XXXXXX";
    const int fd = ::mkostemp(temporary.data(), O_CLOEXEC);
    if (fd < 0) return 1;
    const bool written = WriteAll(fd, reinterpret_cast<const BYTE*>(&file), sizeof file) &&
                         WriteAll(fd, reinterpret_cast<const BYTE*>(&header), sizeof header) &&
                         WriteAll(fd, dib.data() + sizeof header, total - sizeof header) && ::fchmod(fd, 0644) == 0 &&
                         ::fsync(fd) == 0;
    if (::close(fd) != 0 || !written || ::rename(temporary.c_str(), path.c_str()) != 0) {
        ::unlink(temporary.c_str());
        return 1;
    }
    return 0;
}

}  // namespace imaging
