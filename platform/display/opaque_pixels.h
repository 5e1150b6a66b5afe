// Our surfaces keep their 32-bit pixels as 0x00RRGGBB, the top byte unused. Qt's 32-bit formats,
// and every compositor that honours alpha, read that byte as opacity: what goes on screen gets it
// set, or it shows as transparent.
#pragma once

#include <cstddef>
#include <cstdint>

class QImage;
class QRect;

namespace platform {

// Copies the pixels with full opacity.
void CopyOpaque(const std::uint32_t* from, std::uint32_t* to, std::size_t count);

// Copies the part of one 32-bit image into another of the same pixels, with full opacity, in one
// pass (areas outside either image are cut off).
void CopyOpaqueArea(const QImage& from, QImage& to, const QRect& area);

// Sets full opacity on the part of a 32-bit image (in its own pixels); an image without an alpha
// channel is left alone.
void MakeOpaque(QImage& image, const QRect& area);

}  // namespace platform
