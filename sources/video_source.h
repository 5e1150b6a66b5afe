// Video as a picture source: an IP camera's RTSP stream, a webcam's HLS or DASH playlist, a video
// file on a web server. The source's picture is the first whole key frame (for a live playlist,
// from its newest segment), taken with FFmpeg's libraries and kept as a JPEG.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "fetch_result.h"

namespace sources {

// rtsp:// or rtsps://: a camera's video stream, which only the video readers open.
bool IsStreamingAddress(std::string_view url);
// Video by the address alone: the rtsp or rtsps scheme, or a path ending in a playlist's or a
// video file's extension (.m3u8, .mpd, .mp4, .m4v, .mov, .webm, .mkv, .ts).
bool IsVideoAddress(std::string_view url);
// Video by the answer's Content-Type: HLS and DASH playlists, and video/*.
bool IsVideoContentType(std::string_view contentType);

struct VideoFetch {
    std::string url;  // credentials in it are used, never reported
    std::string userAgent;
    std::string referrer;
    long stalledSeconds = 30;  // no byte for this long: the source has stalled
    long totalSeconds = 180;   // the whole fetch, from the connect to the frame
    // Neither the video read before the frame nor the frame's JPEG may be larger.
    std::size_t maxBytes = 32u * 1024 * 1024;
};

struct VideoFrame {
    FetchResult result = kFetchError;
    std::vector<std::uint8_t> jpeg;  // the frame, when the result is kFetchSuccess
};

// Hears the fetch's steps and, while it reads, the video bytes read so far.
struct VideoFetchListener {
    std::function<void(FetchStep)> step;
    std::function<void(std::size_t bytes)> progress;
};

// Takes one frame on the calling thread (with at most one decoder thread: this one) and closes
// everything before it returns. `cancel` becoming non-zero ends it within a fraction of a second,
// wherever it is, as kFetchCancelled.
VideoFrame FetchVideoFrame(const VideoFetch& fetch, const std::atomic<int>& cancel, const VideoFetchListener& listener);

}  // namespace sources
