#include "video_source.h"

#include <chrono>
#include <memory>
#include <string>

#include "image_impl.h"
#include "jpeg_writer.h"
#include "system_proxy.h"
#include "text_compare.h"
#include "trace.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/pixdesc.h>
#include <libswscale/swscale.h>
}

namespace sources {
namespace {

using Clock = std::chrono::steady_clock;

// Only network protocols: a playlist from a web server must never make the saver read a local
// file or start a program.
constexpr const char* kProtocols = "http,https,tls,tcp,udp,rtp,srtp,rtsp,rtsps,crypto,httpproxy";
// Only the containers cameras and video sites use, so a hostile body cannot reach the many
// obscure readers a general player carries.
constexpr const char* kContainers = "hls,dash,mov,mp4,m4a,3gp,3g2,mj2,matroska,webm,mpegts,rtsp,sdp,rtp,aac,mp3,webvtt,"
                                    "h264,hevc,mjpeg,flv";
constexpr int kJpegQuality = 90;

std::string_view PathOf(std::string_view url) {
    const size_t scheme = url.find("://");
    if (scheme != std::string_view::npos) url.remove_prefix(scheme + 3);
    const size_t slash = url.find('/');
    url = slash == std::string_view::npos ? std::string_view() : url.substr(slash);
    return url.substr(0, url.find_first_of("?#"));
}

// The interrupt callback's view of the fetch: a cancel or the end of its time stops any wait.
struct Watch {
    const std::atomic<int>* cancel;
    Clock::time_point deadline;
    bool cancelled() const { return cancel->load() != 0; }
    bool outOfTime() const { return Clock::now() >= deadline; }
};

int Interrupt(void* opaque) {
    const auto* watch = static_cast<const Watch*>(opaque);
    return watch->cancelled() || watch->outOfTime();
}

struct FormatClose {
    void operator()(AVFormatContext* format) const { avformat_close_input(&format); }
};
struct CodecFree {
    void operator()(AVCodecContext* codec) const { avcodec_free_context(&codec); }
};
struct PacketFree {
    void operator()(AVPacket* packet) const { av_packet_free(&packet); }
};
struct FrameFree {
    void operator()(AVFrame* frame) const { av_frame_free(&frame); }
};
struct DictionaryFree {
    void operator()(AVDictionary* options) const { av_dict_free(&options); }
};
struct IoClose {
    void operator()(AVIOContext* io) const { avio_closep(&io); }
};
using UniqueIo = std::unique_ptr<AVIOContext, IoClose>;
using UniqueFormat = std::unique_ptr<AVFormatContext, FormatClose>;
using UniqueCodec = std::unique_ptr<AVCodecContext, CodecFree>;
using UniquePacket = std::unique_ptr<AVPacket, PacketFree>;
using UniqueFrame = std::unique_ptr<AVFrame, FrameFree>;

using IoOpen = int (*)(AVFormatContext*, AVIOContext**, const char*, int, AVDictionary**);
IoOpen gLibraryIoOpen = nullptr;

// Playlists open their segments (and DASH its init segments) through the context's io_open,
// which passes on only a few of the options the playlist was opened with: the certificate check
// is not among them. Every nested open checks certificates too.
int OpenNestedVerified(AVFormatContext* format, AVIOContext** io, const char* url, int flags, AVDictionary** options) {
    AVDictionary* local = nullptr;
    AVDictionary** used = options ? options : &local;
    av_dict_set(used, "tls_verify", "1", 0);
    const int opened = gLibraryIoOpen(format, io, url, flags, used);
    av_dict_free(&local);
    return opened;
}

// Once per process: the library's messages can carry an address with its credentials, so none
// reaches a terminal; and the library's own nested open is kept for OpenNestedVerified.
void PrepareTheLibraries() {
    static const bool prepared = [] {
        av_log_set_level(AV_LOG_QUIET);
        AVFormatContext* probe = avformat_alloc_context();
        gLibraryIoOpen = probe ? probe->io_open : nullptr;
        avformat_free_context(probe);
        return gLibraryIoOpen != nullptr;
    }();
    (void)prepared;
}

AVDictionary* OpenOptions(const VideoFetch& fetch) {
    AVDictionary* options = nullptr;
    const std::string stalled = std::to_string(std::int64_t(fetch.stalledSeconds) * 1000000);
    av_dict_set(&options, "protocol_whitelist", kProtocols, 0);
    av_dict_set(&options, "format_whitelist", kContainers, 0);
    av_dict_set(&options, "user_agent", fetch.userAgent.c_str(), 0);
    if (!fetch.referrer.empty()) av_dict_set(&options, "referer", fetch.referrer.c_str(), 0);
    av_dict_set(&options, "rw_timeout", stalled.c_str(), 0);  // any network read that waits this long fails
    av_dict_set(&options, "timeout", stalled.c_str(), 0);     // the same for RTSP's own connection
    av_dict_set(&options, "tls_verify", "1", 0);              // the system's trust store, as every fetch
    av_dict_set(&options, "rtsp_transport", "tcp", 0);        // one connection: no lost packet in a key frame
    av_dict_set(&options, "live_start_index", "-1", 0);       // a live playlist's newest segment
    av_dict_set(&options, "threads", "1", 0);
    // The desktop's proxy, as for every fetch (the readers' HTTP knows HTTP proxies only; without
    // an answer it reads the environment itself).
    if (!IsStreamingAddress(fetch.url))
        if (const std::optional<std::string> proxy = platform::SystemProxyFor(fetch.url);
            proxy && (proxy->empty() || proxy->rfind("http://", 0) == 0))
            av_dict_set(&options, "http_proxy", proxy->c_str(), 0);
    return options;
}

FetchResult OpenFailure(int error, const Watch& watch) {
    if (watch.cancelled()) return kFetchCancelled;
    return error == AVERROR(ECONNREFUSED) ? kFetchRefused : kFetchError;
}

constexpr int kBandRows = 64;  // a multiple of every chroma subsampling's height

// The frame's rows [first, first + count) as a frame of their own: its planes' pointers moved
// down to the band (chroma planes by their subsampled rows; a palette stays where it is).
void BandOf(const AVFrame& frame, int first, const std::uint8_t* planes[4]) {
    const AVPixFmtDescriptor* layout = av_pix_fmt_desc_get(AVPixelFormat(frame.format));
    for (int plane = 0; plane < 4; ++plane) {
        planes[plane] = frame.data[plane];
        if (!frame.data[plane] || (plane == 1 && (layout->flags & AV_PIX_FMT_FLAG_PAL))) continue;
        const bool chroma = plane > 0 && (plane == layout->comp[1].plane || plane == layout->comp[2].plane);
        const int rows = chroma ? first >> layout->log2_chroma_h : first;
        planes[plane] += std::ptrdiff_t(rows) * frame.linesize[plane];
    }
}

// The frame as a JPEG, converted to red, green and blue a band of rows at a time. Nearest chroma
// keeps the bands independent of each other (and the JPEG's own 4:2:0 sampling takes back
// exactly the chroma the frame had).
std::optional<std::vector<std::uint8_t>> FrameAsJpeg(const AVFrame& frame, std::size_t maxBytes) {
    if (!av_pix_fmt_desc_get(AVPixelFormat(frame.format))) return std::nullopt;
    SwsContext* scaler = nullptr;
    int scalerRows = 0;  // the band height the scaler is made for: every band's but the last one's
    const auto convertBand = [&](int first, int count, std::uint8_t* rows, std::size_t stride) {
        if (count != scalerRows) {
            sws_freeContext(scaler);
            scaler = sws_getContext(frame.width, count, AVPixelFormat(frame.format), frame.width, count, AV_PIX_FMT_RGB24,
                                    SWS_POINT, nullptr, nullptr, nullptr);
            scalerRows = count;
            if (!scaler) return false;
            // The frame's own colours: its matrix and range, as the stream states them.
            const int* coefficients =
                sws_getCoefficients(frame.colorspace == AVCOL_SPC_UNSPECIFIED ? SWS_CS_DEFAULT : frame.colorspace);
            sws_setColorspaceDetails(scaler, coefficients, frame.color_range == AVCOL_RANGE_JPEG, coefficients, 1, 0,
                                     1 << 16, 1 << 16);
        }
        const std::uint8_t* source[4];
        BandOf(frame, first, source);
        std::uint8_t* target[4] = {rows, nullptr, nullptr, nullptr};
        const int targetStrides[4] = {int(stride), 0, 0, 0};
        return sws_scale(scaler, source, frame.linesize, 0, count, target, targetStrides) == count;
    };
    auto jpeg = imaging::EncodeJpeg(frame.width, frame.height, kJpegQuality, kBandRows, convertBand, maxBytes);
    sws_freeContext(scaler);
    return jpeg;
}

class FrameGrab {
public:
    FrameGrab(const VideoFetch& fetch, const std::atomic<int>& cancel, const VideoFetchListener& listener)
        : fetch_(fetch), listener_(listener), watch_{&cancel, Clock::now() + std::chrono::seconds(fetch.totalSeconds)} {}

    VideoFrame Run() {
        if (const FetchResult opened = Open(); opened != kFetchSuccess) return {opened, {}};
        if (const FetchResult decoder = OpenDecoder(); decoder != kFetchSuccess) return {decoder, {}};
        return ReadFirstFrame();
    }

private:
    void Step(FetchStep step) const {
        if (listener_.step) listener_.step(step);
    }
    FetchResult Interrupted() const { return watch_.cancelled() ? kFetchCancelled : kFetchError; }

    FetchResult Open() {
        Step(kStepConnecting);
        const std::string& url = fetch_.url;
        const AVIOInterruptCB interrupt{Interrupt, &watch_};
        // A web server's answer is looked at before any container reader takes it: bytes no
        // reader knows are no picture (a page behind a video's address), while video that breaks
        // off later is an error. A camera's stream has no bytes of its own to look at.
        const AVInputFormat* container = nullptr;
        // Worked out once (the proxy's answer among them); each open takes its own copy, which it
        // empties of the options it uses.
        const std::unique_ptr<AVDictionary, DictionaryFree> wanted(OpenOptions(fetch_));
        const auto options = [&] {
            AVDictionary* copy = nullptr;
            av_dict_copy(&copy, wanted.get(), 0);
            return copy;
        };
        if (!IsStreamingAddress(url)) {
            AVDictionary* ioOptions = options();
            AVIOContext* io = nullptr;
            const int connected = avio_open2(&io, url.c_str(), AVIO_FLAG_READ, &interrupt, &ioOptions);
            av_dict_free(&ioOptions);
            if (connected < 0) return OpenFailure(connected, watch_);
            io_.reset(io);
            Step(kStepRequesting);
            if (av_probe_input_buffer2(io_.get(), &container, url.c_str(), nullptr, 0, 0) < 0)
                return watch_.cancelled() ? kFetchCancelled : watch_.outOfTime() ? kFetchError : kFetchNotAnImage;
        }
        AVFormatContext* format = avformat_alloc_context();
        if (!format) return kFetchError;
        format->interrupt_callback = interrupt;
        if (gLibraryIoOpen) format->io_open = OpenNestedVerified;
        format->pb = io_.get();  // the library leaves closing it to us
        AVDictionary* formatOptions = options();
        const int opened = avformat_open_input(&format, url.c_str(), container, &formatOptions);
        av_dict_free(&formatOptions);
        if (opened < 0) {  // the library freed the context itself
            platform::DebugTrace("Video open failed (%d)", opened);
            return OpenFailure(opened, watch_);
        }
        format_.reset(format);
        // What the streams hold, found with one decoder thread per stream as well.
        std::vector<AVDictionary*> perStream(format->nb_streams, nullptr);
        for (AVDictionary*& streamOptions : perStream) av_dict_set(&streamOptions, "threads", "1", 0);
        const int found = avformat_find_stream_info(format, perStream.data());
        for (AVDictionary*& streamOptions : perStream) av_dict_free(&streamOptions);
        if (found < 0) return OpenFailure(found, watch_);
        return kFetchSuccess;
    }

    FetchResult OpenDecoder() {
        Step(kStepQuerying);
        const AVCodec* decoder = nullptr;
        stream_ = av_find_best_stream(format_.get(), AVMEDIA_TYPE_VIDEO, -1, -1, &decoder, 0);
        if (stream_ < 0 || !decoder) return kFetchNotAnImage;  // sound only, or a video no decoder here knows
        for (unsigned i = 0; i < format_->nb_streams; ++i)
            format_->streams[i]->discard = int(i) == stream_ ? AVDISCARD_DEFAULT : AVDISCARD_ALL;
        codec_.reset(avcodec_alloc_context3(decoder));
        if (!codec_ || avcodec_parameters_to_context(codec_.get(), format_->streams[stream_]->codecpar) < 0)
            return kFetchError;
        codec_->thread_count = 1;
        codec_->max_pixels = std::int64_t(imaging::kMaxImagePixels);
        if (avcodec_open2(codec_.get(), decoder, nullptr) < 0) return kFetchError;
        return kFetchSuccess;
    }

    // Reads the video's packets until a key frame that decodes whole. Each key frame is decoded
    // alone (the decoder drained right after it): it needs nothing before or after it, so no
    // later packet is read and the decoder never holds more than this one frame.
    VideoFrame ReadFirstFrame() {
        Step(kStepDownloading);
        UniquePacket packet(av_packet_alloc());
        UniqueFrame frame(av_frame_alloc());
        if (!packet || !frame) return {kFetchError, {}};
        std::size_t videoBytes = 0;
        while (true) {
            const int read = av_read_frame(format_.get(), packet.get());
            if (read < 0) {  // the end of the video, a failure, or the fetch's end: no whole key frame
                return {watch_.cancelled() ? kFetchCancelled : kFetchError, {}};
            }
            if (packet->stream_index != stream_ || !(packet->flags & AV_PKT_FLAG_KEY)) {
                av_packet_unref(packet.get());
                continue;
            }
            videoBytes += std::size_t(packet->size);
            if (listener_.progress) listener_.progress(videoBytes);
            if (videoBytes > fetch_.maxBytes) return {kFetchError, {}};  // more than any picture, and no frame
            if (DecodeAlone(*packet, *frame)) break;
            if (watch_.cancelled()) return {kFetchCancelled, {}};
        }
        std::optional<std::vector<std::uint8_t>> jpeg = FrameAsJpeg(*frame, fetch_.maxBytes);
        if (!jpeg) return {kFetchError, {}};
        return {kFetchSuccess, std::move(*jpeg)};
    }

    // The key frame in the packet, when it decodes whole; the decoder is ready for another after.
    bool DecodeAlone(AVPacket& packet, AVFrame& frame) {
        avcodec_send_packet(codec_.get(), &packet);
        av_packet_unref(&packet);
        avcodec_send_packet(codec_.get(), nullptr);
        const bool whole = avcodec_receive_frame(codec_.get(), &frame) == 0 && !(frame.flags & AV_FRAME_FLAG_CORRUPT);
        if (!whole) {
            av_frame_unref(&frame);
            avcodec_flush_buffers(codec_.get());
        }
        return whole;
    }

    const VideoFetch& fetch_;
    const VideoFetchListener& listener_;
    Watch watch_;
    UniqueIo io_;  // closed after the format that reads it
    UniqueFormat format_;
    UniqueCodec codec_;
    int stream_ = -1;
};

}  // namespace

bool IsStreamingAddress(std::string_view url) {
    return platform::StartsWithNoCase(url, "rtsp://") || platform::StartsWithNoCase(url, "rtsps://");
}

bool IsVideoAddress(std::string_view url) {
    if (IsStreamingAddress(url)) return true;
    const std::string_view path = PathOf(url);
    for (const char* extension : {".m3u8", ".mpd", ".mp4", ".m4v", ".mov", ".webm", ".mkv", ".ts"})
        if (platform::EndsWithNoCase(path, extension)) return true;
    return false;
}

bool IsVideoContentType(std::string_view contentType) {
    const std::string_view type = contentType.substr(0, contentType.find(';'));
    for (const char* playlist : {"application/vnd.apple.mpegurl", "application/x-mpegurl", "audio/mpegurl",
                                 "audio/x-mpegurl", "application/dash+xml"})
        if (platform::EqualsNoCase(type, playlist)) return true;
    return platform::StartsWithNoCase(type, "video/");
}

VideoFrame FetchVideoFrame(const VideoFetch& fetch, const std::atomic<int>& cancel, const VideoFetchListener& listener) {
    PrepareTheLibraries();
    if (cancel) return {kFetchCancelled, {}};
    return FrameGrab(fetch, cancel, listener).Run();
}

}  // namespace sources
