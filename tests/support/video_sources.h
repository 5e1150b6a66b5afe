// Video for the tests, made by FFmpeg's own program: clips, HLS and DASH playlists with their
// segments, and an RTSP server (GStreamer's) that streams a clip.
#pragma once

#include <array>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "child_process.h"

namespace testing_support {

// Every clip is 320x240 at 25 frames a second, a key frame each second: one second red, one
// green, one blue. So the first frame is red, and a live playlist's newest segment is blue.
// Made once per test program, in a folder of its own:
//   colours.mp4 (H.264, its index first, as web video is), h264.mkv, h265.mkv,
//   vod.m3u8 + vod0..2.ts (HLS on demand), live.m3u8 + live0..2.ts (HLS live: no end),
//   dash.mpd with its segments, gone.m3u8 (a playlist of segments that do not exist).
// Besides them, a test pattern of sharp colour edges everywhere: pattern.mp4 (H.264, 8 bits) and
// pattern10.mkv (H.265, 10 bits).
const std::filesystem::path& VideoClipsFolder();

// A picture's pixels as red, green, blue bytes, row after row.
struct RgbPicture {
    int width = 0, height = 0;
    std::vector<std::uint8_t> pixels;
};
// A JPEG decoded (empty when it is no JPEG).
RgbPicture DecodedJpeg(const std::string& jpeg);
// A clip's first frame as FFmpeg's own program converts it.
RgbPicture FirstFrameByFfmpeg(const std::string& clip);
// How far two pictures of the same size are apart: the mean difference of their bytes.
double MeanDifference(const RgbPicture& a, const RgbPicture& b);

// The colour at the middle of a JPEG, as red, green, blue (all -1 when it is no JPEG).
std::array<int, 3> MiddleColour(const std::string& jpeg);
// Whether a colour is near enough to a pure one (video's colours are never exact).
bool NearColour(const std::array<int, 3>& colour, const std::array<int, 3>& expected);

class RtspServer {
public:
    // Streams the clip ("h264.mkv" or "h265.mkv") at rtsp://127.0.0.1:PORT/stream; with
    // credentials ("user:password") it asks for them.
    explicit RtspServer(const std::string& clip, const std::string& credentials = "");
    bool running() const { return port_ > 0; }
    std::string url(const std::string& credentials = "") const;

private:
    std::unique_ptr<ChildProcess> process_;
    int port_ = 0;
};

// openssl's test server serving the clips folder over HTTPS with a certificate made for it, which
// no trust store holds.
class UntrustedHttpsServer {
public:
    UntrustedHttpsServer();
    ~UntrustedHttpsServer();
    bool running() const { return port_ > 0; }
    std::string url(const std::string& file) const;

private:
    std::filesystem::path keys_;
    std::unique_ptr<ChildProcess> process_;
    int port_ = 0;
};

}  // namespace testing_support
