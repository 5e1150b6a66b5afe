// Where the monitors are, in our coordinates: device pixels from the primary monitor's top-left
// corner. Qt gives each screen's size in scaled units (device pixels divided by the screen's own
// ratio) and, on X, its corner in device pixels; on Wayland the corner is in the compositor's
// layout units, where monitors at different ratios abut although their device sizes would overlap:
// there the corners are multiplied by the highest ratio, which keeps every monitor apart and in
// its place among the others. Several X screens each have a desktop of their own,
// which we lay to the right of the primary's; Xinerama heads stand in for a screen that Qt sees
// as one.
#pragma once

#include <vector>

#include <QPoint>
#include <QRect>

#include "win_types.h"

namespace platform {

// A screen as Qt reports it.
struct ScreenReport {
    QRect geometry;      // the corner in device pixels (X) or layout units (Wayland), the size in scaled units
    double ratio = 1.0;  // device pixels per scaled unit
    int desktop = 0;     // which X screen (virtual desktop) it is on
    bool primary = false;
    bool cornerInLayoutUnits = false;  // Wayland's
};

class MonitorLayout {
public:
    // heads: the Xinerama heads of the primary's desktop in device pixels (none where Xinerama is
    // not active); they replace that desktop's one screen when there are more of them.
    MonitorLayout(const std::vector<ScreenReport>& screens, const std::vector<QRect>& heads);

    // The primary first; empty when there are no screens.
    const std::vector<RECT>& monitors() const { return monitors_; }

    // Where a window of ours goes: the screen it belongs to (an index into the reports) and its
    // geometry in Qt's units there. The monitor holding the rectangle's centre decides.
    struct Placement {
        int screen = -1;
        QRect geometry;
    };
    Placement place(const RECT& rect) const;
    // A point in Qt's units on the primary's desktop, in ours, and back.
    POINT fromQt(QPoint point) const;
    QPoint toQt(POINT point) const;

private:
    struct Monitor {
        RECT ours;
        int screen;      // the report whose ratio and desktop apply
        QPoint offset;   // ours = device pixels on its desktop + offset
    };
    // The report whose area holds the device point on the primary's desktop, else the primary's.
    int screenAtDevicePoint(QPoint device) const;
    // A screen's corner and area in device pixels on its desktop.
    QPoint deviceCorner(const ScreenReport& screen) const;
    QRect deviceArea(const ScreenReport& screen) const;

    std::vector<ScreenReport> screens_;
    std::vector<Monitor> placed_;
    std::vector<RECT> monitors_;
    int primary_ = -1;
    double cornerScale_ = 1.0;  // device pixels per layout unit, for corners given in those
};

}  // namespace platform
