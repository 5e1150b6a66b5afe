// The picture button at the foot of the configuration sheet: it lights up while the mouse is
// over it, opens the maker's web site when pressed and hands the focus to the sheet's OK button.
#pragma once

#include <QAbstractButton>
#include <functional>
#include <string>

#include "win_types.h"

namespace desktop {

class LinkBitmapButton : public QAbstractButton {
public:
    // The control identifier the sheet gives it, and the object name its OK button carries.
    static constexpr int kControlId = 999;
    static constexpr const char* kOkButtonName = "IDOK";

    using Opener = std::function<int(platform::HWND, const std::string&)>;

    explicit LinkBitmapButton(QWidget* parent, Opener opener = {});

    bool tracking() const { return tracking_; }
    // The resource name of the picture shown now: BITBUTD normal, BITBUTF pressed or lit,
    // BITBUTU focused, BITBUTX disabled.
    const char* currentBitmap() const;
    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    Opener opener_;
    bool tracking_ = false;
    bool highlighted_ = false;
};

}  // namespace desktop
