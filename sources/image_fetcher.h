// Downloads one picture over HTTP into memory on a worker thread and reports to an owner window
// by posted messages only.
#pragma once

#include <atomic>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "fetch_result.h"
#include "internet.h"
#include "picture_store.h"
#include "win_types.h"

namespace sources {

using platform::BYTE;
using platform::HINTERNET;
using platform::HWND;
using platform::WORD;

// The process's one set of fetch bookkeeping: at most one fetch runs at a time.
struct FetchState {
    std::atomic<int> FetchBusy{0};
    std::atomic<int> CancelRequested{0};
    // The request from its start to its close, so a cancel can break it off at any point.
    std::atomic<HINTERNET> PendingRequest{nullptr};
    std::string FetchCamName;
    std::string FetchCamUrl;
    // The source's ImageDate before a fetch; the server's Last-Modified after one that brought it.
    // The worker writes it before it posts the completion message; the owner reads it after.
    std::string FetchImageDate;
    // Likewise the entity tag the server gave the source's picture last ("" for none). Both go
    // with the request, so a server that honours them answers "not modified" without the body.
    std::string FetchEntityTag;
    // After a Refused fetch, how long the server asked to be left alone (Retry-After with 429 or
    // 503), in seconds; 0 when it did not. Written before the completion message as the above.
    long FetchRetryAfter = 0;
};

// The pieces of a picture address.
struct FetchAddress {
    bool secure = false;
    std::string user, password;
    std::string server;  // a host name, an address, or [v6]
    WORD port = 0;       // 0: the scheme's default
    std::string path;    // from the first "/" on; empty asks for the root
};
// http:// or https://, optional user:password@, host, optional :port, path. Nothing for an address
// of another scheme, with an empty host, or with a port that is not a number from 1 to 65535.
std::optional<FetchAddress> ParseFetchAddress(std::string_view url);

// The user agent every request carries.
constexpr const char* kUserAgent = "Vessory Kelvane Screen Saver";
// No picture is larger: a bigger announcement is refused before anything is allocated.
constexpr size_t kMaxPictureBytes = 32u * 1024 * 1024;

class CImageFetcher {
public:
    explicit CImageFetcher(FetchState& state);
    // Asks a running fetch to stop and waits for its worker; closes the Internet handle.
    ~CImageFetcher();
    CImageFetcher(const CImageFetcher&) = delete;
    CImageFetcher& operator=(const CImageFetcher&) = delete;

    void SetOwner(HWND owner) { owner_ = owner; }
    // 0: the worker started; 1: a buffer of an earlier fetch is still held; 2: the address is refused.
    // Video (a camera's RTSP stream, an HLS or DASH playlist, a video file) brings its first frame.
    int StartFetch(const std::string& url, const std::string& referrer);
    void ReleaseBuffer();
    // Asks the running fetch to stop: it ends at once, wherever it is, as Cancelled.
    void Cancel();
    bool HoldsBuffer() const { return holdsBuffer_.load(); }
    // The received bytes, valid after the completion message (its wParam says how many).
    const BYTE* Buffer() const { return buffer_.data(); }

private:
    struct BodyShape;
    class FetchHandles;
    // One fetch's end, as its completion message carries it.
    struct Outcome {
        FetchedKind kind = FetchedKind::Jpeg;
        std::size_t bytes = 0;
        int result = kFetchCancelled;
    };

    // The worker: a picture over HTTP, or a video source's frame.
    void RunFetch(const std::string& url, const std::string& referrer);
    // The steps of an HTTP fetch, each giving kFetchSuccess to go on or the fetch's result.
    bool OpenSession();
    Outcome FetchPicture(const std::string& url, const std::string& referrer);
    int SendRequest(FetchHandles& handles, const std::string& referrer);
    int ReadHead(HINTERNET request, BodyShape& shape);
    // False when the answer's tag or date says the picture is the one the source has.
    bool NewPictureByItsHead(HINTERNET request);
    int ReadBody(HINTERNET request, BodyShape& shape, std::size_t& bytes);
    int JudgeBody(std::size_t& bytes, FetchedKind& kind);
    // A video source's frame, fetched by the video readers, reported as any fetch's picture.
    void RunVideoFetch(const std::string& url, const std::string& referrer);
    void Post(unsigned message, std::uintptr_t wParam, std::intptr_t lParam) const;

    FetchState& state_;
    HWND owner_ = nullptr;
    FetchAddress address_;
    std::vector<BYTE> buffer_;
    std::atomic<bool> holdsBuffer_{false};  // set by the worker, read by the owner
    HINTERNET internet_ = nullptr;
    std::thread worker_;
};

}  // namespace sources
