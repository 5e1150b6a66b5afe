#include "link_bitmap_button.h"

#include <QMouseEvent>
#include <QPainter>
#include <cstring>

#include "browser_launcher.h"

namespace desktop {

namespace {

constexpr const char* kCaption = "Visit www.vessory.example";

struct Look {
    QColor face, text, border;
};

Look LookOf(const char* bitmap) {
    if (std::strcmp(bitmap, "BITBUTF") == 0) return {QColor(0, 70, 160), Qt::white, QColor(0, 40, 110)};
    if (std::strcmp(bitmap, "BITBUTU") == 0) return {QColor(225, 235, 250), QColor(0, 50, 140), QColor(0, 70, 160)};
    if (std::strcmp(bitmap, "BITBUTX") == 0) return {QColor(225, 225, 225), QColor(150, 150, 150), QColor(180, 180, 180)};
    return {QColor(240, 240, 240), QColor(0, 50, 140), QColor(160, 160, 160)};
}

}  // namespace

LinkBitmapButton::LinkBitmapButton(QWidget* parent, Opener opener)
    : QAbstractButton(parent), opener_(opener ? std::move(opener) : Opener(OpenUrlInBrowser)) {
    setMouseTracking(true);
    setCursor(Qt::PointingHandCursor);
    setAccessibleName(kCaption);
}

const char* LinkBitmapButton::currentBitmap() const {
    if (!isEnabled()) return "BITBUTX";
    if (highlighted_ || isDown()) return "BITBUTF";
    if (hasFocus()) return "BITBUTU";
    return "BITBUTD";
}

QSize LinkBitmapButton::sizeHint() const {
    const QFontMetrics metrics(font());
    return QSize(metrics.horizontalAdvance(kCaption) + 24, metrics.height() + 12);
}

void LinkBitmapButton::paintEvent(QPaintEvent*) {
    const Look look = LookOf(currentBitmap());
    QPainter painter(this);
    painter.fillRect(rect(), look.face);
    painter.setPen(look.border);
    painter.drawRect(rect().adjusted(0, 0, -1, -1));
    painter.setPen(look.text);
    painter.drawText(rect(), Qt::AlignCenter, kCaption);
}

void LinkBitmapButton::mouseMoveEvent(QMouseEvent* event) {
    if (!tracking_) {
        tracking_ = true;
        highlighted_ = true;
        repaint();
    }
    QAbstractButton::mouseMoveEvent(event);
}

void LinkBitmapButton::leaveEvent(QEvent* event) {
    highlighted_ = false;
    tracking_ = false;
    update();
    QAbstractButton::leaveEvent(event);
}

void LinkBitmapButton::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) {
        tracking_ = false;
        opener_(nullptr, kMakerPage);  // nothing is shown when no browser starts
    }
    QAbstractButton::mousePressEvent(event);
}

void LinkBitmapButton::mouseReleaseEvent(QMouseEvent* event) {
    QAbstractButton::mouseReleaseEvent(event);
    if (event->button() != Qt::LeftButton || !parentWidget()) return;
    if (auto* ok = parentWidget()->findChild<QAbstractButton*>(kOkButtonName)) ok->setFocus(Qt::MouseFocusReason);
}

}  // namespace desktop
