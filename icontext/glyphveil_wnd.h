// Glyphveil's hidden main window: twice a second, while the desktop's wallpaper is the saver's
// bitmap, it keeps the desktop icon labels' text background transparent.
#pragma once

#include <cstdint>

#include "win_types.h"

namespace icontext {

constexpr const char* kWindowTitle = "Glyphveil";
constexpr const char* kAboutText = "Glyphveil Version 1.0";
constexpr const char* kAboutCaption = "About";
// The commands of its (never shown) menu.
constexpr platform::UINT IDM_ABOUT = 104;
constexpr platform::UINT IDM_EXIT = 105;
constexpr std::uintptr_t kCheckTimer = 0;
constexpr platform::UINT kCheckPeriodMs = 500;

// Registers the class "GLYPHVEIL" and creates the window, hidden; null when it cannot.
platform::HWND CreateGlyphveilWindow();

platform::LRESULT GlyphveilWndProc(platform::HWND window, platform::UINT message, platform::WPARAM wParam,
                                   platform::LPARAM lParam);

}  // namespace icontext
