// Transition effects: the old picture wiped to the background and the new one drawn in, step by
// step, with pauses in which the window's messages keep flowing.
#pragma once

#include <string>

#include "gdi.h"
#include "win_types.h"

namespace imaging {

using platform::COLORREF;
using platform::HDC;
using platform::HWND;

// 0 none, 1 "Wipe Down", 2 "Wipe Across", 3 "Horizontals", 4 "Verticals", 5 "Cave In",
// 6 "Cave Out", 7 "Vertical Stripes"; 8-12 have names but draw nothing.
std::string EffectName(int effect);
int EffectFromName(const std::string& name);
constexpr int kLastDrawnEffect = 7;

// What the routines read and set of the picture window.
struct TransitionView {
    HWND window = nullptr;
    HDC memory = nullptr;  // the current picture, scaled, with its top-left corner at (0, 0)
    int areaRight = 0, areaBottom = 0;
    int x = 0, y = 0, width = 0, height = 0;
    int previousX = 0, previousY = 0, previousWidth = 0, previousHeight = 0;
    COLORREF background = 0;
    bool preview = false;
    bool abort = false;       // set by a close request during a pause: every effect stops
    bool inProgress = false;  // while a routine runs, the window's timer work waits
};

void RevealPicture(TransitionView& view, HDC target, int effect);
// strip 0: the previous picture's rectangle; otherwise the client area, its bottom raised by strip
// when strip > 1.
int ErasePicture(TransitionView& view, int effect, int strip);
// Dispatches the messages of the thread's windows until the tick count has moved on by ms; the
// window's close or destroy message, or a quit message, is put back and sets the abort flag.
// Returns the flag.
bool PumpAndWait(HWND window, platform::DWORD ms, bool& abort);

// 1 + (6 x rand) / 32767: 1 to 6, and 7 only for 32767.
int RandomStartEffect(int randomValue);
// After every drawing: a non-zero number advances when varied automatically, 8 becoming 1.
int NextEffect(int effect, int autoTransition);

}  // namespace imaging
