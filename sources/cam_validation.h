// The rules for a new or edited source's name and address; a rejection shows its message.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace sources {

// oldName is empty when a source is added; otherNames are the names in the list.
bool ValidateCamName(std::string_view newName, std::string_view oldName, const std::vector<std::string>& otherNames);
bool ValidateCamUrl(std::string_view url);
// The address as the list can hold it: the list's separator "|" percent-encoded ("%7C", which a
// server reads as the same address), so it can never split the source's fields.
std::string StorableCamUrl(std::string_view url);

// The kinds of picture address the saver shows, as the Add dialog and the Images page say it.
constexpr const char* kShownKinds =
    "Pictures can be JPEG, GIF, PNG or WebP files, a camera's MJPEG stream, or video: an RTSP stream (rtsp://), "
    "an HLS (.m3u8) or DASH (.mpd) playlist, or a video file (.mp4, .webm).";

// Where a person learns to find picture addresses (in message 4).
constexpr const char* kCamUrlHelpPage = "http://www.vessory.example/findcams.htm";

}  // namespace sources
