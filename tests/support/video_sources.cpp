#include "video_sources.h"

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <unistd.h>
#include <vector>

#include <jpeglib.h>

namespace testing_support {
namespace {

// Red, green and blue seconds, one after another.
constexpr const char* kColours =
    "color=c=red:s=320x240:r=25:d=1[a];color=c=lime:s=320x240:r=25:d=1[b];color=c=blue:s=320x240:r=25:d=1[c];"
    "[a][b][c]concat=n=3";
constexpr const char* kH264 = "-c:v libx264 -g 25 -keyint_min 25 -sc_threshold 0 -pix_fmt yuv420p";

void Make(const std::filesystem::path& folder, const std::string& output) {
    const std::string command = "cd '" + folder.string() + "' && ffmpeg -nostdin -loglevel error -y -filter_complex '" +
                                kColours + "' " + output;
    if (std::system(command.c_str()) != 0) std::fprintf(stderr, "could not make a clip: %s\n", command.c_str());
}

std::filesystem::path MakeClips() {
    char pattern[] = "/tmp/kelvane-clips-XXXXXX";
    const std::filesystem::path folder = ::mkdtemp(pattern);
    Make(folder, std::string(kH264) + " -movflags +faststart colours.mp4");
    Make(folder, std::string(kH264) + " h264.mkv");
    Make(folder, "-c:v libx265 -x265-params keyint=25:min-keyint=25:log-level=error -pix_fmt yuv420p h265.mkv");
    Make(folder, std::string(kH264) + " -f hls -hls_time 1 -hls_list_size 0 -hls_playlist_type vod "
                                      "-hls_segment_filename vod%d.ts vod.m3u8");
    Make(folder, std::string(kH264) + " -f hls -hls_time 1 -hls_list_size 0 -hls_flags omit_endlist "
                                      "-hls_segment_filename live%d.ts live.m3u8");
    Make(folder, std::string(kH264) + " -f dash -seg_duration 1 dash.mpd");
    const std::string testPattern = "cd '" + folder.string() + "' && ffmpeg -nostdin -loglevel error -y -f lavfi -i "
                                "testsrc2=s=320x240:r=25:d=1 ";
    // Index first, as for every clip served over HTTP: the test server knows no ranges, so an index
    // at the end would have the reader seek back to frames only its buffer may still hold.
    for (const char* output : {"-c:v libx264 -pix_fmt yuv420p -movflags +faststart pattern.mp4",
                               "-c:v libx265 -x265-params log-level=error -pix_fmt yuv420p10le pattern10.mkv"})
        if (std::system((testPattern + output).c_str()) != 0) std::fprintf(stderr, "could not make %s\n", output);
    std::ofstream(folder / "gone.m3u8") << "#EXTM3U\n#EXT-X-TARGETDURATION:1\n#EXTINF:1.0,\ngone0.ts\n"
                                           "#EXTINF:1.0,\ngone1.ts\n#EXT-X-ENDLIST\n";
    return folder;
}

struct ClipsFolder {
    std::filesystem::path path = MakeClips();
    ~ClipsFolder() {
        std::error_code ignored;
        std::filesystem::remove_all(path, ignored);
    }
};

}  // namespace

const std::filesystem::path& VideoClipsFolder() {
    static const ClipsFolder folder;
    return folder.path;
}

RgbPicture DecodedJpeg(const std::string& jpeg) {
    RgbPicture picture;
    if (jpeg.size() < 4 || jpeg.compare(0, 3, "\xFF\xD8\xFF") != 0) return picture;
    jpeg_decompress_struct info{};
    jpeg_error_mgr errors{};
    info.err = jpeg_std_error(&errors);
    jpeg_create_decompress(&info);
    jpeg_mem_src(&info, reinterpret_cast<const unsigned char*>(jpeg.data()), jpeg.size());
    jpeg_read_header(&info, TRUE);
    info.out_color_space = JCS_RGB;
    jpeg_start_decompress(&info);
    picture.width = int(info.output_width);
    picture.height = int(info.output_height);
    picture.pixels.resize(std::size_t(picture.width) * std::size_t(picture.height) * 3);
    while (info.output_scanline < info.output_height) {
        unsigned char* rows[] = {picture.pixels.data() + std::size_t(info.output_scanline) * std::size_t(picture.width) * 3};
        jpeg_read_scanlines(&info, rows, 1);
    }
    jpeg_finish_decompress(&info);
    jpeg_destroy_decompress(&info);
    return picture;
}

RgbPicture FirstFrameByFfmpeg(const std::string& clip) {
    const std::filesystem::path raw = VideoClipsFolder() / (clip + ".rgb");
    const std::string command = "ffmpeg -nostdin -loglevel error -y -i '" + (VideoClipsFolder() / clip).string() +
                                "' -frames:v 1 -f rawvideo -pix_fmt rgb24 '" + raw.string() + "'";
    RgbPicture picture;
    if (std::system(command.c_str()) != 0) return picture;
    std::ifstream file(raw, std::ios::binary);
    picture.pixels.assign(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
    picture.width = 320;  // every pattern clip's size
    picture.height = 240;
    return picture;
}

double MeanDifference(const RgbPicture& a, const RgbPicture& b) {
    if (a.width != b.width || a.height != b.height || a.pixels.size() != b.pixels.size() || a.pixels.empty()) return 255;
    double sum = 0;
    for (std::size_t i = 0; i < a.pixels.size(); ++i) sum += std::abs(int(a.pixels[i]) - int(b.pixels[i]));
    return sum / double(a.pixels.size());
}

std::array<int, 3> MiddleColour(const std::string& jpeg) {
    const RgbPicture picture = DecodedJpeg(jpeg);
    if (picture.pixels.empty()) return {-1, -1, -1};
    const std::size_t middle = (std::size_t(picture.height / 2) * std::size_t(picture.width) + std::size_t(picture.width / 2)) * 3;
    return {picture.pixels[middle], picture.pixels[middle + 1], picture.pixels[middle + 2]};
}

bool NearColour(const std::array<int, 3>& colour, const std::array<int, 3>& expected) {
    for (std::size_t i = 0; i < 3; ++i)
        if (std::abs(colour[i] - expected[i]) > 24) return false;
    return true;
}

RtspServer::RtspServer(const std::string& clip, const std::string& credentials) {
    std::vector<std::string> arguments{KELVANE_RTSP_SERVER_SCRIPT, (VideoClipsFolder() / clip).string(),
                                       clip.substr(0, 4)};
    if (!credentials.empty()) arguments.push_back(credentials);
    process_ = std::make_unique<ChildProcess>("/usr/bin/python3", arguments);
    port_ = std::atoi(process_->readLine(20000).c_str());
}

UntrustedHttpsServer::UntrustedHttpsServer() {
    char pattern[] = "/tmp/kelvane-tls-XXXXXX";
    keys_ = ::mkdtemp(pattern);
    const std::string made = "openssl req -x509 -newkey rsa:2048 -nodes -days 1 -subj /CN=127.0.0.1 -keyout '" +
                             (keys_ / "key.pem").string() + "' -out '" + (keys_ / "cert.pem").string() + "' 2>/dev/null";
    if (std::system(made.c_str()) != 0) return;
    // It serves the files of its working folder: the clips.
    process_ = std::make_unique<ChildProcess>(
        "/bin/sh", std::vector<std::string>{"-c", "cd '" + VideoClipsFolder().string() +
                                                      "' && exec openssl s_server -WWW -accept 127.0.0.1:0 -cert '" +
                                                      (keys_ / "cert.pem").string() + "' -key '" +
                                                      (keys_ / "key.pem").string() + "' 2>/dev/null"});
    for (std::string line = process_->readLine(20000); !line.empty(); line = process_->readLine(20000))
        if (line.rfind("ACCEPT ", 0) == 0) {
            port_ = std::atoi(line.substr(line.rfind(':') + 1).c_str());
            break;
        }
}

UntrustedHttpsServer::~UntrustedHttpsServer() {
    process_.reset();
    std::error_code ignored;
    std::filesystem::remove_all(keys_, ignored);
}

std::string UntrustedHttpsServer::url(const std::string& file) const {
    return "https://127.0.0.1:" + std::to_string(port_) + "/" + file;
}

std::string RtspServer::url(const std::string& credentials) const {
    return "rtsp://" + (credentials.empty() ? "" : credentials + "@") + "127.0.0.1:" + std::to_string(port_) + "/stream";
}

}  // namespace testing_support
