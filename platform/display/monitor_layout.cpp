#include "monitor_layout.h"

#include <QRectF>
#include <QSizeF>
#include <algorithm>

namespace platform {
namespace {

RECT ToRect(const QRect& area) { return RECT{area.left(), area.top(), area.left() + area.width(), area.top() + area.height()}; }

bool Contains(const RECT& rect, QPoint point) {
    return point.x() >= rect.left && point.x() < rect.right && point.y() >= rect.top && point.y() < rect.bottom;
}

}  // namespace

MonitorLayout::MonitorLayout(const std::vector<ScreenReport>& screens, const std::vector<QRect>& heads)
    : screens_(screens) {
    for (const ScreenReport& screen : screens_)
        if (screen.cornerInLayoutUnits) cornerScale_ = std::max(cornerScale_, screen.ratio);
    for (int i = 0; i < int(screens_.size()) && primary_ < 0; ++i)
        if (screens_[i].primary) primary_ = i;
    if (primary_ < 0 && !screens_.empty()) primary_ = 0;
    if (primary_ < 0) return;
    const ScreenReport& primary = screens_[size_t(primary_)];
    const QPoint homeOffset = -deviceCorner(primary);
    const int home = primary.desktop;
    const auto onHome = [&](const ScreenReport& screen) { return screen.desktop == home; };

    // The primary's desktop: its screens, or the Xinerama heads where Qt sees one screen only.
    if (std::count_if(screens_.begin(), screens_.end(), onHome) == 1 && heads.size() > 1) {
        for (const QRect& head : heads) placed_.push_back({ToRect(head.translated(homeOffset)), primary_, homeOffset});
        // The head where Qt's primary starts is the primary.
        const auto first = std::find_if(placed_.begin(), placed_.end(), [](const Monitor& m) { return Contains(m.ours, {0, 0}); });
        if (first != placed_.end()) std::rotate(placed_.begin(), first, first + 1);
    } else {
        placed_.push_back({ToRect(deviceArea(primary).translated(homeOffset)), primary_, homeOffset});
        // When a RandR monitor is deleted, Qt may keep its screen for a while with the whole
        // desktop's size, over the monitors that remain: that is no monitor of its own.
        const auto standsInForAGoneMonitor = [&](int i) {
            const QRect area = deviceArea(screens_[size_t(i)]);
            for (int other = 0; other < int(screens_.size()); ++other)
                if (other != i && onHome(screens_[size_t(other)]) && area != deviceArea(screens_[size_t(other)]) &&
                    area.contains(deviceArea(screens_[size_t(other)])))
                    return true;
            return false;
        };
        for (int i = 0; i < int(screens_.size()); ++i)
            if (i != primary_ && onHome(screens_[size_t(i)]) && !standsInForAGoneMonitor(i))
                placed_.push_back({ToRect(deviceArea(screens_[size_t(i)]).translated(homeOffset)), i, homeOffset});
    }
    // Every other desktop (another X screen) to the right of what is laid out so far, top-aligned.
    int right = 0;
    for (const Monitor& monitor : placed_) right = std::max(right, monitor.ours.right);
    std::vector<int> desktops;
    for (const ScreenReport& screen : screens_)
        if (screen.desktop != home && std::find(desktops.begin(), desktops.end(), screen.desktop) == desktops.end())
            desktops.push_back(screen.desktop);
    for (const int desktop : desktops) {
        QRect extent;
        for (const ScreenReport& screen : screens_)
            if (screen.desktop == desktop) extent |= deviceArea(screen);
        const QPoint offset(right - extent.left(), -extent.top());
        for (int i = 0; i < int(screens_.size()); ++i)
            if (screens_[size_t(i)].desktop == desktop)
                placed_.push_back({ToRect(deviceArea(screens_[size_t(i)]).translated(offset)), i, offset});
        right += extent.width();
    }
    for (const Monitor& monitor : placed_) monitors_.push_back(monitor.ours);
}

MonitorLayout::Placement MonitorLayout::place(const RECT& rect) const {
    if (placed_.empty()) return {};
    const QPoint centre((rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2);
    const auto holder = std::find_if(placed_.begin(), placed_.end(), [&](const Monitor& m) { return Contains(m.ours, centre); });
    const Monitor& monitor = holder != placed_.end() ? *holder : placed_.front();
    const ScreenReport& screen = screens_[size_t(monitor.screen)];
    // Qt scales a screen's windows from its corner.
    const QPointF corner = QPointF(QPoint(rect.left, rect.top) - monitor.offset - deviceCorner(screen)) / screen.ratio +
                           QPointF(screen.geometry.topLeft());
    return {monitor.screen, QRectF(corner, QSizeF(rect.width(), rect.height()) / screen.ratio).toAlignedRect()};
}

int MonitorLayout::screenAtDevicePoint(QPoint device) const {
    for (int i = 0; i < int(screens_.size()); ++i)
        if (screens_[size_t(i)].desktop == screens_[size_t(primary_)].desktop && deviceArea(screens_[size_t(i)]).contains(device))
            return i;
    return primary_;
}

POINT MonitorLayout::fromQt(QPoint point) const {
    if (placed_.empty()) return POINT{point.x(), point.y()};
    int index = primary_;
    for (int i = 0; i < int(screens_.size()); ++i)
        if (screens_[size_t(i)].desktop == screens_[size_t(primary_)].desktop && screens_[size_t(i)].geometry.contains(point))
            index = i;
    const ScreenReport& screen = screens_[size_t(index)];
    const QPoint device = (QPointF(point - screen.geometry.topLeft()) * screen.ratio).toPoint() + deviceCorner(screen);
    const QPoint ours = device - deviceCorner(screens_[size_t(primary_)]);
    return POINT{ours.x(), ours.y()};
}

QPoint MonitorLayout::toQt(POINT point) const {
    if (placed_.empty()) return QPoint(point.x, point.y);
    const QPoint device = QPoint(point.x, point.y) + deviceCorner(screens_[size_t(primary_)]);
    const ScreenReport& screen = screens_[size_t(screenAtDevicePoint(device))];
    return (QPointF(device - deviceCorner(screen)) / screen.ratio).toPoint() + screen.geometry.topLeft();
}

QPoint MonitorLayout::deviceCorner(const ScreenReport& screen) const {
    if (!screen.cornerInLayoutUnits) return screen.geometry.topLeft();
    return (QPointF(screen.geometry.topLeft()) * cornerScale_).toPoint();
}

QRect MonitorLayout::deviceArea(const ScreenReport& screen) const {
    return QRect(deviceCorner(screen), (QSizeF(screen.geometry.size()) * screen.ratio).toSize());
}

}  // namespace platform
