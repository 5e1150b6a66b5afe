#include "bitmap_file.h"

#include <cstdio>
#include <vector>

#include "dib.h"

namespace imaging {

using namespace platform;

bool WriteBitmapFile(HDC dc, HBITMAP bitmap, const std::string& path) {
    if (!bitmap) return false;
    const Surface& surface = *bitmap->surface;
    BITMAPINFO info{};
    info.bmiHeader.biWidth = surface.width();
    info.bmiHeader.biHeight = surface.height();
    info.bmiHeader.biBitCount = 24;
    info.bmiHeader.biSizeImage = DWORD(DibRowBytes(surface.width(), 24) * surface.height());
    std::vector<BYTE> bits(info.bmiHeader.biSizeImage);
    if (GetDIBits(dc, bitmap, 0, UINT(surface.height()), bits.data(), &info, DIB_RGB_COLORS) != surface.height()) return false;
    BITMAPFILEHEADER file;
    file.bfOffBits = sizeof(BITMAPFILEHEADER) + sizeof(BITMAPINFOHEADER);
    file.bfSize = file.bfOffBits + info.bmiHeader.biSizeImage;
    const std::string temporary = path + ".tmp";
    std::FILE* out = std::fopen(temporary.c_str(), "wb");
    if (!out) return false;
    const bool written = std::fwrite(&file, sizeof file, 1, out) == 1 &&
                         std::fwrite(&info.bmiHeader, sizeof info.bmiHeader, 1, out) == 1 &&
                         std::fwrite(bits.data(), 1, bits.size(), out) == bits.size();
    if (std::fclose(out) != 0 || !written || std::rename(temporary.c_str(), path.c_str()) != 0) {
        std::remove(temporary.c_str());
        return false;
    }
    return true;
}

}  // namespace imaging
