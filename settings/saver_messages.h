// Private window messages; their values are fixed because windows of several programs exchange them.
#pragma once

#include "win_types.h"

namespace saver {

constexpr platform::UINT MSG_VERIFY_PASSWORD = 0x8000;
constexpr platform::UINT MSG_REFRESH_NOW = platform::WM_USER + 12;
constexpr platform::UINT MSG_SET_WALLPAPER = platform::WM_USER + 21;
constexpr platform::UINT MSG_MUSIC_COMMAND = platform::WM_USER + 100;
constexpr platform::UINT MSG_FETCH_DONE_JPG = platform::WM_USER + 120;
constexpr platform::UINT MSG_FETCH_DONE_GIF = platform::WM_USER + 121;
constexpr platform::UINT MSG_FETCH_PROGRESS = platform::WM_USER + 122;
constexpr platform::UINT MSG_FETCH_STATUS = platform::WM_USER + 123;
constexpr platform::UINT MSG_UPDATE_NOW = platform::WM_USER + 124;
constexpr platform::UINT MSG_FETCH_DONE_PNG = platform::WM_USER + 125;
constexpr platform::UINT MSG_FETCH_DONE_WEBP = platform::WM_USER + 126;
// F9: the next picture at once (the saver window's own).
constexpr platform::UINT MSG_NEXT_PICTURE = platform::WM_USER + 127;

// Commands of the music companion.
constexpr platform::WPARAM kMusicPauseResume = 3;
constexpr platform::WPARAM kMusicSecondCommand = 5;
// Beyond those: for the desktop's media controls and keys.
constexpr platform::WPARAM kMusicNext = 8;
constexpr platform::WPARAM kMusicPause = 9;    // pauses only
constexpr platform::WPARAM kMusicResume = 10;  // plays only
constexpr platform::WPARAM kMusicSeek = 11;    // to lParam milliseconds from the start
constexpr platform::WPARAM kMusicSaveAndClose = 99;

constexpr const char* kSaverTitle = "Kelvane Screen Saver";
constexpr const char* kMusicWindowTitle = "Melodrin";

}  // namespace saver
