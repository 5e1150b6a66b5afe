// Time and CPU of taking one frame from a video source and storing it, against FFmpeg's own
// program taking the same frame (`ffmpeg -frames:v 1`) in the same run, round after round.
//
//   video_fetch_bench ROUNDS NAME URL [FFMPEG-OPTION ...] -- NAME URL ... 
//
// Prints per source the medians of wall time and CPU time of both and their ratios (ours / theirs),
// and the most threads this process had while a fetch of ours read its video.
#include <sys/resource.h>
#include <sys/wait.h>
#include <spawn.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "image_fetcher.h"
#include "picture_store.h"
#include "video_source.h"

extern char** environ;

namespace {

struct Source {
    std::string name, url;
    std::vector<std::string> ffmpegOptions;  // what makes ffmpeg take the same frame
};

struct Cost {
    double wallMs = 0, cpuMs = 0;
    int threads = 0;  // the most this process had while the fetch read the video
};

int ThreadsNow() {
    int threads = 0;
    for (const auto& entry : std::filesystem::directory_iterator("/proc/self/task")) threads += entry.is_directory();
    return threads;
}

double CpuMs(const rusage& usage) {
    return usage.ru_utime.tv_sec * 1e3 + usage.ru_utime.tv_usec / 1e3 + usage.ru_stime.tv_sec * 1e3 +
           usage.ru_stime.tv_usec / 1e3;
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

Cost OurFetch(const Source& source, const std::string& folder) {
    const auto started = std::chrono::steady_clock::now();
    rusage before{}, after{};
    getrusage(RUSAGE_SELF, &before);
    std::atomic<int> cancel{0};
    int threads = 0;
    const sources::VideoFetchListener listener{nullptr, [&](std::size_t) { threads = std::max(threads, ThreadsNow()); }};
    const sources::VideoFrame frame = sources::FetchVideoFrame(
        {source.url, sources::kUserAgent, "", 30, 180, sources::kMaxPictureBytes}, cancel, listener);
    if (frame.result != sources::kFetchSuccess ||
        !sources::StorePicture(folder, source.name, "JPG", frame.jpeg.data(), frame.jpeg.size())) {
        std::fprintf(stderr, "%s: no frame (result %d)\n", source.name.c_str(), int(frame.result));
        std::exit(1);
    }
    getrusage(RUSAGE_SELF, &after);
    return {std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - started).count(),
            CpuMs(after) - CpuMs(before), threads};
}

Cost FfmpegFetch(const Source& source, const std::string& folder) {
    std::vector<std::string> arguments{"ffmpeg", "-nostdin", "-v", "error"};
    arguments.insert(arguments.end(), source.ffmpegOptions.begin(), source.ffmpegOptions.end());
    for (const char* argument : {"-i", source.url.c_str(), "-frames:v", "1", "-y"}) arguments.emplace_back(argument);
    arguments.push_back(folder + "/" + source.name + "-ffmpeg.jpg");
    std::vector<char*> argv;
    for (std::string& argument : arguments) argv.push_back(argument.data());
    argv.push_back(nullptr);
    const auto started = std::chrono::steady_clock::now();
    pid_t child = 0;
    if (posix_spawnp(&child, "ffmpeg", nullptr, nullptr, argv.data(), environ) != 0) {
        std::fprintf(stderr, "ffmpeg could not be started\n");
        std::exit(2);
    }
    int status = 0;
    rusage usage{};
    wait4(child, &status, 0, &usage);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        std::fprintf(stderr, "%s: ffmpeg failed\n", source.name.c_str());
        std::exit(1);
    }
    return {std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - started).count(), CpuMs(usage)};
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 4) {
        std::fprintf(stderr, "usage: video_fetch_bench ROUNDS NAME URL [FFMPEG-OPTION ...] -- NAME URL ...\n");
        return 2;
    }
    const int rounds = std::max(1, std::atoi(argv[1]));
    std::vector<Source> sources;
    for (int i = 2; i + 1 < argc;) {
        Source source{argv[i], argv[i + 1], {}};
        for (i += 2; i < argc && std::string(argv[i]) != "--"; ++i) source.ffmpegOptions.emplace_back(argv[i]);
        ++i;
        sources.push_back(source);
    }
    char pattern[] = "/tmp/kelvane-video-bench-XXXXXX";
    const std::string folder = ::mkdtemp(pattern);
    std::printf("%-10s %12s %12s %8s %12s %12s %8s %8s\n", "source", "ours ms", "ffmpeg ms", "ratio", "ours cpu",
                "ffmpeg cpu", "ratio", "threads");
    for (const Source& source : sources) {
        std::vector<double> ourWall, ourCpu, theirWall, theirCpu;
        int threads = 0;
        for (int round = 0; round < rounds; ++round) {  // alternating, so both meet the same machine
            const Cost ours = OurFetch(source, folder), theirs = FfmpegFetch(source, folder);
            ourWall.push_back(ours.wallMs);
            ourCpu.push_back(ours.cpuMs);
            threads = std::max(threads, ours.threads);
            theirWall.push_back(theirs.wallMs);
            theirCpu.push_back(theirs.cpuMs);
        }
        std::printf("%-10s %12.1f %12.1f %8.2f %12.1f %12.1f %8.2f %8d\n", source.name.c_str(), Median(ourWall),
                    Median(theirWall), Median(ourWall) / Median(theirWall), Median(ourCpu), Median(theirCpu),
                    Median(ourCpu) / Median(theirCpu), threads);
    }
    std::string clean = "rm -rf '" + folder + "'";
    return std::system(clean.c_str()) == 0 ? 0 : 1;
}
