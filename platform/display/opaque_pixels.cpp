#include "opaque_pixels.h"

#include <QImage>
#include <QRect>

namespace platform {

namespace {

constexpr std::uint32_t kOpaque = 0xFF000000u;

}  // namespace

void CopyOpaque(const std::uint32_t* from, std::uint32_t* to, std::size_t count) {
    for (std::size_t i = 0; i < count; ++i) to[i] = from[i] | kOpaque;
}

void MakeOpaque(QImage& image, const QRect& area) {
    if (!image.hasAlphaChannel() || image.depth() != 32) return;
    const QRect part = area.intersected(image.rect());
    for (int y = part.top(); y <= part.bottom(); ++y) {
        auto* row = reinterpret_cast<std::uint32_t*>(image.scanLine(y)) + part.left();
        CopyOpaque(row, row, std::size_t(part.width()));
    }
}

void CopyOpaqueArea(const QImage& from, QImage& to, const QRect& area) {
    if (from.depth() != 32 || to.depth() != 32) return;
    const QRect part = area.intersected(from.rect()).intersected(to.rect());
    for (int y = part.top(); y <= part.bottom(); ++y)
        CopyOpaque(reinterpret_cast<const std::uint32_t*>(from.constScanLine(y)) + part.left(),
                   reinterpret_cast<std::uint32_t*>(to.scanLine(y)) + part.left(), std::size_t(part.width()));
}

}  // namespace platform
