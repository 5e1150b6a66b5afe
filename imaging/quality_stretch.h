// Scaling a picture bilinearly in the display's own pixel format.
#pragma once

#include <string>

#include "image_file.h"
#include "source_rows.h"

namespace imaging {

using platform::HBITMAP;
using platform::HBRUSH;
using platform::HDC;

// The display's bits per pixel, as a 1 x 1 compatible bitmap reports it.
int GetDisplayBitDepth();
// The red, green and blue masks of the display's 16-bit format.
struct DisplayMasks {
    std::uint16_t red = 0, green = 0, blue = 0;
};
DisplayMasks GetDisplayColorMasks(HDC dc);

// The picture scaled into the bitmap selected into the memory context: with the quality stretch
// when asked (and the picture is not 8 bits), else the picture's own stretch over the background
// (which a GIF's transparent pixels keep).
void ScalePicture(CImageFile& image, HDC memory, HBITMAP bitmap, int width, int height, bool quality,
                  HBRUSH background);

// Scales the picture to width x height into the bitmap (selected into targetDC): bilinear on
// 16-, 24- and 32-bit displays, a quick stretch on others. With a save path the result is also
// written as a BMP file. Returns 1.
int QualityStretch(CImageFile& image, HDC targetDC, HBITMAP targetBitmap, int width, int height,
                   const std::string& savePath = {});

// The bilinear pass on device-format rows (exposed for the tests and the benchmark). Every
// target pixel is computed; the second neighbour is clamped to the source's last column and row.
// All three run on the path ActiveScalerPath names (scaler_path.h) and differ only in how they
// read and write pixels. The 16-bit form fails for masks that are not one run of bits each.
void BilinearScale32(SourceRows& source, BYTE* target, int width, int height, int targetStride);
void BilinearScale24(SourceRows& source, BYTE* target, int width, int height, int targetStride);
bool BilinearScale16(SourceRows& source, BYTE* target, int width, int height, int targetStride, DisplayMasks masks);

}  // namespace imaging
