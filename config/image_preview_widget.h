// The preview control of the Images page: the picture preview drawn by the imaging layer into
// an offscreen bitmap of the control's size, then shown by Qt.
#pragma once

#include <QFrame>
#include <string>

#include "image_preview.h"

namespace config {

class ImagePreviewWidget : public QFrame {
public:
    explicit ImagePreviewWidget(QWidget* parent = nullptr);

    // The picture's bits per pixel, or 0 (see CImagePreview).
    int Load(const std::string& path);
    void Clear();
    void setBackColor(platform::COLORREF color);
    const imaging::CImagePreview& preview() const { return preview_; }
    // The control's pixels as they are painted, in the display's colours.
    QImage Render(int width, int height) const;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    imaging::CImagePreview preview_;
    platform::COLORREF backColor_ = 0;
};

}  // namespace config
