#include "placement.h"

#include <algorithm>
#include <cstdlib>

#include "message_queue.h"

namespace saver {

ShownSize DisplayedSize(int imageWidth, int imageHeight, const SizeRules& rules) {
    const double iw = imageWidth, ih = imageHeight;
    bool stretch = rules.stretch != 0 || rules.imageStretchOption == 2;
    double lw = rules.maxWidth, lh = rules.maxHeight;
    if (lw > rules.desktopRight) lw = rules.desktopRight;
    if (lh > rules.desktopBottom) lh = rules.desktopBottom;
    if (rules.imageStretchOption == 0) {
        stretch = true;
        lw = rules.desktopRight;
        lh = rules.desktopBottom;
    }
    ShownSize shown;
    if (iw > lw || ih > lh) {
        if (lh / ih <= lw / iw) {
            shown.height = int(lh);
            shown.width = int(iw * shown.height / ih);
        } else {
            shown.width = int(lw);
            shown.height = int(ih * shown.width / iw);
        }
    } else if (!stretch) {
        shown = ShownSize{imageWidth, imageHeight};
    } else if (lw / iw <= lh / ih) {
        shown.width = int(lw);
        shown.height = int(ih * shown.width / iw);
    } else {
        shown.height = int(lh);
        shown.width = int(iw * shown.height / ih);
    }
    if (rules.imageStretchOption == 1) shown = ShownSize{imageWidth, imageHeight};
    if (rules.preview && rules.desktopHeight > 0) {
        shown.width = int(double(shown.width) * rules.clientHeight / rules.desktopHeight);
        shown.height = int(double(shown.height) * rules.clientHeight / rules.desktopHeight);
    }
    return shown;
}

POINT StartPosition(const RECT& area, ShownSize shown) {
    return POINT{(area.right - area.left) / 2 - shown.width / 2, (area.bottom - area.top) / 2 - shown.height / 2};
}

bool UsesQualityStretch(int pictureDepth, int interStretch, int displayDepth, ShownSize shown, int imageWidth,
                        int imageHeight) {
    if (pictureDepth == 8 || interStretch == 0 || displayDepth < 16) return false;
    return !(shown.width == imageWidth && shown.height == imageHeight);
}

void FloatStep(FloatMotion& motion, ShownSize shown, const RECT& area) {
    const int overX = std::max(0, shown.width - area.right), overY = std::max(0, shown.height - area.bottom);
    POINT& p = motion.position;
    p.x += motion.dx;
    p.y += motion.dy;
    if (p.x - overX > area.right - shown.width) p.x = area.right - shown.width + overX;
    else if (p.x + overX < area.left) p.x = area.left - overX;
    if (p.y - overY > area.bottom - shown.height) p.y = area.bottom - shown.height + overY;
    else if (p.y + overY < area.top) p.y = area.top - overY;
    if (p.x - overX >= area.right - shown.width) motion.dx = -motion.dx;
    if (p.x + overX <= 0) motion.dx = -motion.dx;
    if (p.y - overY >= area.bottom - shown.height) motion.dy = -motion.dy;
    if (p.y + overY <= area.top) motion.dy = -motion.dy;
}

POINT RandomPosition(int first, int second, ShownSize shown, const RECT& area) {
    return POINT{int((long long)first * (area.right - shown.width - area.left) / 32767),
                 int((long long)second * (area.bottom - shown.height - area.top) / 32767) + area.top};
}

SizeRules SizeRulesFor(const SaverSettings& settings, int desktopRight, int desktopBottom) {
    SizeRules rules;
    rules.imageStretchOption = settings.ImageStretchOption;
    rules.maxWidth = settings.MaxWidth;
    rules.maxHeight = settings.MaxHeight;
    rules.stretch = settings.Stretch;
    rules.desktopRight = desktopRight;
    rules.desktopBottom = desktopBottom;
    return rules;
}

POINT MovedPosition(PictureMovement movement, FloatMotion& motion, POINT position, ShownSize shown, const RECT& area, int steps) {
    for (int step = 0; step < steps; ++step) {
        if (movement == PictureMovement::Float) {
            motion.position = position;
            FloatStep(motion, shown, area);
            position = motion.position;
        } else {
            const int first = std::rand() & 0x7FFF, second = std::rand() & 0x7FFF;
            position = RandomPosition(first, second, shown, area);
        }
    }
    return position;
}

MovePace::MovePace(unsigned stepPeriodMs, int refreshHz)
    : stepMs_(std::max(stepPeriodMs, platform::MessageQueue::kMinimumTimerMs)), timerPeriodMs_(stepPeriodMs) {
    const unsigned frameMs = refreshHz > 0 ? 1000u / unsigned(refreshHz) : 0u;
    if (stepMs_ < frameMs) timerPeriodMs_ = frameMs;
}

int MovePace::stepsAt(std::uint64_t nowMicros) {
    if (timerPeriodMs_ == 0 || timerPeriodMs_ <= stepMs_) return 1;
    const std::uint64_t stepMicros = std::uint64_t(stepMs_) * 1000;
    if (!stepped_ || nowMicros < lastStepMicros_) {
        stepped_ = true;
        lastStepMicros_ = nowMicros;
        return 1;
    }
    const std::uint64_t owed = (nowMicros - lastStepMicros_) / stepMicros;
    const std::uint64_t most = 2 * ((timerPeriodMs_ + stepMs_ - 1) / stepMs_);
    if (owed > most) {
        lastStepMicros_ = nowMicros;
        return int(most);
    }
    lastStepMicros_ += owed * stepMicros;
    return int(owed);
}

std::vector<RECT> UncoveredStrips(POINT previous, POINT current, ShownSize shown, const RECT& area) {
    std::vector<RECT> strips;
    const int px = previous.x, py = previous.y, x = current.x, y = current.y, pw = shown.width, ph = shown.height;
    const int bottom = std::min(py + ph + 1, int(area.bottom));
    strips.push_back(x >= px ? RECT{px, py, x, bottom} : RECT{x + pw, py, px + pw, bottom});
    if (y <= py) {
        if (y + ph < area.bottom)
            strips.push_back(x >= px ? RECT{x, y + ph, px + pw, py + ph + 1} : RECT{px, y + ph, x + pw, py + ph + 1});
    } else {
        strips.push_back(x >= px ? RECT{x, py, px + pw, y} : RECT{px, py, x + pw, y});
    }
    return strips;
}

}  // namespace saver
