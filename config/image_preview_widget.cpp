#include "image_preview_widget.h"

#include <QImage>
#include <QPainter>
#include <cstdint>
#include <vector>

#include "dib.h"
#include "opaque_pixels.h"
#include "png_image.h"

namespace config {

using namespace platform;

ImagePreviewWidget::ImagePreviewWidget(QWidget* parent) : QFrame(parent) {
    setFrameShape(QFrame::StyledPanel);
    setFrameShadow(QFrame::Sunken);
    setMinimumSize(120, 90);
}

int ImagePreviewWidget::Load(const std::string& path) {
    const int depth = preview_.Load(path, imaging::DecodeOptions{backColor_});
    update();
    return depth;
}

void ImagePreviewWidget::Clear() {
    preview_.Clear();
    update();
}

void ImagePreviewWidget::setBackColor(COLORREF color) {
    backColor_ = color;
    update();
}

QImage ImagePreviewWidget::Render(int width, int height) const {
    if (width <= 0 || height <= 0) return {};
    HDC screen = GetDC(nullptr);
    UniqueMemoryDC dc(CreateCompatibleDC(screen));
    UniqueBitmap bitmap(CreateCompatibleBitmap(screen, width, height));
    ReleaseDC(nullptr, screen);
    HGDIOBJ previous = SelectObject(dc.get(), bitmap.get());
    preview_.Paint(dc.get(), width, height, backColor_);
    SelectObject(dc.get(), previous);
    // Whatever the display's depth, the rows come back as top-down 32-bit pixels.
    BITMAPINFO info{};
    info.bmiHeader.biSize = 40;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    QImage image(width, height, QImage::Format_RGB32);
    std::vector<std::uint32_t> rows(size_t(width) * size_t(height));
    GetDIBits(dc.get(), bitmap.get(), 0, UINT(height), rows.data(), &info, DIB_RGB_COLORS);
    for (int y = 0; y < height; ++y)
        CopyOpaque(rows.data() + size_t(y) * size_t(width), reinterpret_cast<std::uint32_t*>(image.scanLine(y)),
                   size_t(width));
    return image;
}

void ImagePreviewWidget::paintEvent(QPaintEvent* event) {
    QFrame::paintEvent(event);
    const QRect area = contentsRect();
    // Rendered at the screen's device pixels, so a scaled sheet shows a sharp picture.
    const double ratio = devicePixelRatioF();
    QImage image = Render(int(area.width() * ratio), int(area.height() * ratio));
    image.setDevicePixelRatio(ratio);
    QPainter painter(this);
    painter.drawImage(area.topLeft(), image);
}

}  // namespace config
