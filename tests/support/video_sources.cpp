#include "video_sources.h"

#include <cstdio>
#include <cstdlib>
#include <fstream>
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

std::array<int, 3> MiddleColour(const std::string& jpeg) {
    std::array<int, 3> colour{-1, -1, -1};
    if (jpeg.size() < 4 || jpeg.compare(0, 3, "\xFF\xD8\xFF") != 0) return colour;
    jpeg_decompress_struct info{};
    jpeg_error_mgr errors{};
    info.err = jpeg_std_error(&errors);
    jpeg_create_decompress(&info);
    jpeg_mem_src(&info, reinterpret_cast<const unsigned char*>(jpeg.data()), jpeg.size());
    jpeg_read_header(&info, TRUE);
    info.out_color_space = JCS_RGB;
    jpeg_start_decompress(&info);
    std::vector<unsigned char> row(std::size_t(info.output_width) * 3);
    while (info.output_scanline < info.output_height) {
        const bool middle = info.output_scanline == info.output_height / 2;
        unsigned char* rows[] = {row.data()};
        jpeg_read_scanlines(&info, rows, 1);
        if (middle)
            for (int i = 0; i < 3; ++i) colour[std::size_t(i)] = row[std::size_t(info.output_width / 2) * 3 + std::size_t(i)];
    }
    jpeg_finish_decompress(&info);
    jpeg_destroy_decompress(&info);
    return colour;
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
