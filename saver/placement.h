// The size a picture is shown at, where it starts, and how it moves.
#pragma once

#include <cstdint>
#include <vector>

#include "settings.h"
#include "win_types.h"

namespace saver {

using platform::POINT;
using platform::RECT;

struct ShownSize {
    int width = 0;
    int height = 0;
    bool operator==(const ShownSize&) const = default;
};

// What the size rules read.
struct SizeRules {
    int imageStretchOption = 2;  // 0 fit the desktop, 1 own size, 2 custom size
    unsigned maxWidth = 640;
    unsigned maxHeight = 480;
    int stretch = 1;
    int desktopRight = 0;   // DR
    int desktopBottom = 0;  // DB, raised by the marquee strip while it is shown
    // A preview scales everything by its client height over the desktop height.
    bool preview = false;
    int clientHeight = 0;
    int desktopHeight = 0;
};

ShownSize DisplayedSize(int imageWidth, int imageHeight, const SizeRules& rules);
// The settings' size rules for a desktop of that right and bottom edge (no preview).
SizeRules SizeRulesFor(const SaverSettings& settings, int desktopRight, int desktopBottom);
// Centred in the area (integer halves).
POINT StartPosition(const RECT& area, ShownSize shown);
// Whether the scaled bitmap is made once with the quality stretch.
bool UsesQualityStretch(int pictureDepth, int interStretch, int displayDepth, ShownSize shown, int imageWidth,
                        int imageHeight);

// The float movement's state: position and directions (+1 or -1 each).
struct FloatMotion {
    POINT position;
    int dx = 1;
    int dy = 1;
};
// One tick of the float movement: one pixel on, clamped, bouncing off the edges; a picture larger
// than the area pans from one of its edges to the other.
void FloatStep(FloatMotion& motion, ShownSize shown, const RECT& area);
// The random movement's position from two draws 0..32767.
POINT RandomPosition(int first, int second, ShownSize shown, const RECT& area);
// `steps` steps of the movement (0 float, otherwise random, drawing from std::rand) from where
// the picture is.
POINT MovedPosition(PictureMovement movement, FloatMotion& motion, POINT position, ShownSize shown, const RECT& area, int steps = 1);

// At full speed the movement steps every 10 ms, more often than a screen shows frames. Its timer
// then runs once a frame and takes together the steps owed since the last tick: the picture keeps
// its speed and is drawn once a frame instead of once a step.
class MovePace {
public:
    MovePace() = default;
    // The movement's period (0 for as fast as timers go) on a screen of that refresh rate.
    MovePace(unsigned stepPeriodMs, int refreshHz);
    unsigned timerPeriodMs() const { return timerPeriodMs_; }
    // The steps a tick at this time takes: one where the timer runs at the step's own period;
    // otherwise those owed since the last step, none for a tick that came early, and no more than
    // two ticks' worth after a pause (timers wait while an effect runs: no jump after it).
    int stepsAt(std::uint64_t nowMicros);

private:
    unsigned stepMs_ = 10, timerPeriodMs_ = 0;
    std::uint64_t lastStepMicros_ = 0;
    bool stepped_ = false;
};
// The strips of the previous rectangle that the picture uncovered by moving, to be filled with
// the background.
std::vector<RECT> UncoveredStrips(POINT previous, POINT current, ShownSize shown, const RECT& area);

}  // namespace saver
