#include "image_fetcher.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <utility>

#include "camera_stream.h"
#include "picture_store.h"
#include "retry_after.h"
#include "saver_messages.h"
#include "trace.h"
#include "video_source.h"
#include "text_compare.h"
#include "windows.h"

namespace sources {

using namespace platform;

namespace {

constexpr DWORD kReadBlock = 2048;
// Not a result the owner hears: the answer is video, which the video readers fetch again.
constexpr int kFetchVideo = -1;
constexpr size_t kUnknownLengthStart = 1024000;

std::optional<std::uint64_t> ParseLength(const char* text) {
    std::uint64_t value = 0;
    bool digits = false;
    for (const char* p = text; *p; ++p) {
        if (*p == ' ' && !digits) continue;
        if (*p < '0' || *p > '9') break;
        digits = true;
        if (value > (UINT64_MAX - 9) / 10) return UINT64_MAX;
        value = value * 10 + std::uint64_t(*p - '0');
    }
    if (!digits) return std::nullopt;
    return value;
}

// A server too busy to answer (429, 503) that says when to ask again: how long, in `wait`.
bool TooBusy(HINTERNET request, const char* status, long& wait) {
    if (std::strcmp(status, "429") != 0 && std::strcmp(status, "503") != 0) return false;
    char value[128];
    DWORD length = sizeof value;
    if (!HttpQueryInfo(request, HTTP_QUERY_RETRY_AFTER, value, &length, nullptr)) return false;
    const std::optional<long> seconds = ParseRetryAfter(value, std::time(nullptr));
    if (!seconds) return false;
    wait = *seconds;
    return true;
}

}  // namespace

std::optional<FetchAddress> ParseFetchAddress(std::string_view url) {
    FetchAddress address;
    if (StartsWithNoCase(url, "http://")) {
        url.remove_prefix(7);
    } else if (StartsWithNoCase(url, "https://")) {
        address.secure = true;
        url.remove_prefix(8);
    } else {
        return std::nullopt;
    }
    const size_t slash = url.find('/');
    std::string_view authority = url.substr(0, slash);
    address.path = slash == std::string_view::npos ? "" : std::string(url.substr(slash));
    // Credentials end at the last "@" of the authority; the password may hold ":".
    if (const size_t at = authority.rfind('@'); at != std::string_view::npos) {
        const std::string_view credentials = authority.substr(0, at);
        const size_t colon = credentials.find(':');
        address.user = std::string(credentials.substr(0, colon));
        address.password = colon == std::string_view::npos ? "" : std::string(credentials.substr(colon + 1));
        authority.remove_prefix(at + 1);
    }
    std::string_view host = authority;
    std::string_view port;
    bool hasPort = false;
    if (!host.empty() && host.front() == '[') {
        const size_t close = host.find(']');
        if (close == std::string_view::npos) return std::nullopt;
        std::string_view rest = host.substr(close + 1);
        host = host.substr(0, close + 1);
        if (!rest.empty() && rest.front() != ':') return std::nullopt;
        hasPort = !rest.empty();
        if (hasPort) port = rest.substr(1);
    } else if (const size_t colon = host.rfind(':'); colon != std::string_view::npos) {
        hasPort = true;
        port = host.substr(colon + 1);
        host = host.substr(0, colon);
    }
    if (host.empty()) return std::nullopt;
    if (hasPort) {
        if (port.empty() || port.size() > 5) return std::nullopt;
        unsigned number = 0;
        for (char c : port) {
            if (c < '0' || c > '9') return std::nullopt;
            number = number * 10 + unsigned(c - '0');
        }
        if (number == 0 || number > 65535) return std::nullopt;
        address.port = WORD(number);
    }
    address.server = std::string(host);
    return address;
}

CImageFetcher::CImageFetcher(FetchState& state) : state_(state) {}

CImageFetcher::~CImageFetcher() {
    if (worker_.joinable()) {
        Cancel();
        worker_.join();
    }
    if (internet_) InternetCloseHandle(internet_);
}

void CImageFetcher::Cancel() {
    state_.CancelRequested = 1;
    if (HINTERNET pending = state_.PendingRequest.load()) InternetCancelRequest(pending);
}

void CImageFetcher::ReleaseBuffer() {
    buffer_.clear();
    buffer_.shrink_to_fit();
    holdsBuffer_ = false;
}

void CImageFetcher::Post(unsigned message, std::uintptr_t wParam, std::intptr_t lParam) const {
    PostMessage(owner_, message, wParam, lParam);
}

int CImageFetcher::StartFetch(const std::string& url, const std::string& referrer) {
    // The address is taken apart properly: scheme, credentials, host and port (an empty host
    // would leave the fetch without its completion message, so it is refused here).
    const bool streaming = IsStreamingAddress(url);
    if (!streaming && (url.size() < 7 || url.compare(0, 4, "http") != 0)) return 2;
    auto parsed = streaming ? std::optional<FetchAddress>(FetchAddress{}) : ParseFetchAddress(url);
    if (!parsed) return 2;
    if (holdsBuffer_) return 1;
    if (worker_.joinable()) worker_.join();  // the last one has posted its message and is ending
    address_ = *parsed;                      // the worker's own from here until its message
    if (!owner_) return 0;                   // nobody to report to: nothing is started
    worker_ = std::thread([this, url, referrer] { RunFetch(url, referrer); });
    return 0;
}

void CImageFetcher::RunVideoFetch(const std::string& url, const std::string& referrer) {
    DebugTrace("Video source");
    const InternetTimeouts limits = GetInternetTimeouts();
    const VideoFetch fetch{url, kUserAgent, referrer, limits.stalledSeconds, limits.totalSeconds, kMaxPictureBytes};
    const VideoFetchListener listener{[this](FetchStep step) { Post(saver::MSG_FETCH_STATUS, step, 0); },
                                      [this](std::size_t bytes) { Post(saver::MSG_FETCH_PROGRESS, bytes, 0); }};
    VideoFrame frame = FetchVideoFrame(fetch, state_.CancelRequested, listener);
    std::size_t bytes = 0;
    if (frame.result == kFetchSuccess) {
        bytes = frame.jpeg.size();
        buffer_ = std::move(frame.jpeg);
        buffer_.push_back(0);  // as every body: one byte past the picture
        holdsBuffer_ = true;
    }
    Post(FetchDoneMessage(FetchedKind::Jpeg), bytes, frame.result);
    DebugTrace("Inside END");
}

// The shape of the answer's body, as its head tells it.
struct CImageFetcher::BodyShape {
    FetchedKind kind = FetchedKind::Jpeg;
    std::optional<StreamPartReader> stream;  // a camera's stream: its first whole picture is the body
    bool judgedByBody = false;               // labelled only as bytes: a stream or a picture by its start
    std::optional<std::uint64_t> announced;  // Content-Length
};

// The connection and the request of one fetch, closed together however the fetch ends. From its
// opening to its close the request is the pending one, which a cancel breaks off.
class CImageFetcher::FetchHandles {
public:
    explicit FetchHandles(std::atomic<HINTERNET>& pending) : pending_(pending) {}
    ~FetchHandles() {
        pending_ = nullptr;
        if (request_) InternetCloseHandle(request_);
        if (connection_) InternetCloseHandle(connection_);
    }
    FetchHandles(const FetchHandles&) = delete;
    FetchHandles& operator=(const FetchHandles&) = delete;

    HINTERNET connection() const { return connection_; }
    HINTERNET request() const { return request_; }
    void setConnection(HINTERNET connection) { connection_ = connection; }
    void setRequest(HINTERNET request) {
        request_ = request;
        pending_ = request;
    }

private:
    std::atomic<HINTERNET>& pending_;
    HINTERNET connection_ = nullptr;
    HINTERNET request_ = nullptr;
};

void CImageFetcher::RunFetch(const std::string& url, const std::string& referrer) {
    DebugTrace("Inside 0");
    state_.FetchRetryAfter = 0;
    if (IsVideoAddress(url)) return RunVideoFetch(url, referrer);
    if (!OpenSession()) {
        Post(saver::MSG_FETCH_DONE_JPG, 0, kFetchCancelled);
        return;
    }
    const Outcome outcome = FetchPicture(url, referrer);
    if (outcome.result == kFetchVideo) return RunVideoFetch(url, referrer);
    Post(FetchDoneMessage(outcome.kind), outcome.bytes, outcome.result);
    DebugTrace("Inside END");
}

bool CImageFetcher::OpenSession() {
    if (internet_) return true;  // kept from the last fetch
    Post(saver::MSG_FETCH_STATUS, kStepConnecting, 0);
    DebugTrace("Starting Session (Access = %i) (Proxy = %s)\r\n", 0, "");
    internet_ = InternetOpen(kUserAgent, INTERNET_OPEN_TYPE_PRECONFIG, "", nullptr, 0);
    if (!internet_) DebugTrace("%s returns error %u", "InternetOpen", GetLastError());
    return internet_ != nullptr;
}

CImageFetcher::Outcome CImageFetcher::FetchPicture(const std::string& url, const std::string& referrer) {
    // A cancel may break the request off until its handles close, the body included.
    FetchHandles handles(state_.PendingRequest);
    Outcome outcome;
    outcome.result = SendRequest(handles, referrer);
    if (outcome.result != kFetchSuccess) return outcome;
    BodyShape shape;
    outcome.result = ReadHead(handles.request(), shape);
    outcome.kind = shape.kind;  // the label's kind, until the body says otherwise
    if (outcome.result != kFetchSuccess) return outcome;
    outcome.result = ReadBody(handles.request(), shape, outcome.bytes);
    if (outcome.result != kFetchSuccess) return outcome;
    outcome.result = JudgeBody(outcome.bytes, outcome.kind);
    return outcome;
}

int CImageFetcher::SendRequest(FetchHandles& handles, const std::string& referrer) {
    DebugTrace("Path = [%s]", address_.path.c_str());
    DebugTrace("\t Server = [%s] \r\n", address_.server.c_str());
    handles.setConnection(InternetConnect(internet_, address_.server.c_str(), address_.port, address_.user.c_str(),
                                          address_.password.c_str(), INTERNET_SERVICE_HTTP, 0, 0));
    if (!handles.connection()) {
        DebugTrace("%s returns error %u", "InternetConnect", GetLastError());
        return kFetchCancelled;
    }
    Post(saver::MSG_FETCH_STATUS, kStepRequesting, 0);
    const DWORD flags = INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE | INTERNET_FLAG_NO_UI |
                        (address_.secure ? INTERNET_FLAG_SECURE : 0);
    handles.setRequest(HttpOpenRequest(handles.connection(), "GET", address_.path.c_str(), "HTTP/1.0", referrer.c_str(),
                                       nullptr, flags, 0));
    const HINTERNET request = handles.request();
    if (!request) {
        DebugTrace("%s returns error %u", "HttpOpenRequest", GetLastError());
        return kFetchCancelled;
    }
    // Only what changed: the stored date and tag let the server answer 304 without the body. A
    // stored value with a line break in it (a hand-edited registry) would add headers of its
    // own: it is left out. Through a proxy the tag stays out too: a cache replaces the date with
    // its own copy's when it checks that copy with the server, but passes a desktop's tag on, so
    // the server would send a whole picture for every desktop behind it. The answer's tag still
    // tells whether the picture changed.
    const bool proxied = GoesThroughProxy(request);
    for (const auto& [name, value] : {std::pair{"If-Modified-Since: ", &state_.FetchImageDate},
                                      std::pair{"If-None-Match: ", proxied ? nullptr : &state_.FetchEntityTag}})
        if (value && !value->empty() && value->find_first_of("\r\n") == std::string::npos) {
            const std::string line = name + *value;
            HttpAddRequestHeaders(request, line.c_str(), DWORD(line.size()), HTTP_ADDREQ_FLAG_ADD);
        }
    // A cancel that came before the request could be reached breaks it off now.
    if (state_.CancelRequested) InternetCancelRequest(request);
    const bool withUser = !address_.user.empty();
    const BOOL sent = withUser ? HttpSendRequest(request, nullptr, 0, nullptr, 0)
                               : HttpSendRequestEx(request, nullptr, nullptr, HSR_SYNC, 0);
    if (!sent) {
        const DWORD error = GetLastError();
        DebugTrace("%s returns error %u", "HttpSendRequest", error);
        HttpEndRequest(request, nullptr, HSR_SYNC, 0);
        return error == ERROR_INTERNET_CANNOT_CONNECT ? kFetchRefused : state_.CancelRequested ? kFetchCancelled : kFetchError;
    }
    if (!withUser) HttpEndRequest(request, nullptr, HSR_SYNC, 0);
    return state_.CancelRequested ? kFetchCancelled : kFetchSuccess;
}

int CImageFetcher::ReadHead(HINTERNET request, BodyShape& shape) {
    Post(saver::MSG_FETCH_STATUS, kStepQuerying, 0);
    // An answer other than 2xx is the server's error page, whatever its type: never the picture.
    char status[16] = {};
    DWORD statusLength = sizeof status;
    const bool queried = HttpQueryInfo(request, HTTP_QUERY_STATUS_CODE, status, &statusLength, nullptr);
    if (queried && std::strcmp(status, "304") == 0) return kFetchNoChange;  // the server says so itself
    if (!queried || status[0] != '2' || statusLength != 3) {
        DebugTrace("HTTP status %s", status);
        return TooBusy(request, status, state_.FetchRetryAfter) ? kFetchRefused : kFetchError;
    }
    char type[512];
    DWORD length = sizeof type;
    if (!HttpQueryInfo(request, HTTP_QUERY_CONTENT_TYPE, type, &length, nullptr)) {
        DebugTrace("%s returns error %u", "HttpQueryInfo", GetLastError());
        return kFetchQueryInfoError;
    }
    DebugTrace("***** QUERY PASSED ******\n");
    if (IsVideoContentType(type)) return kFetchVideo;  // the video readers ask for it again themselves
    // A camera's stream sends picture after picture: its first whole one is the source's.
    if (const std::optional<std::string> boundary = StreamBoundary(type)) {
        if (boundary->empty()) return kFetchError;
        shape.stream.emplace(*boundary);
    } else if (std::strstr(type, "jpeg")) shape.kind = FetchedKind::Jpeg;
    else if (std::strstr(type, "gif")) shape.kind = FetchedKind::Gif;
    else if (std::strstr(type, "png")) shape.kind = FetchedKind::Png;
    else if (std::strstr(type, "webp")) shape.kind = FetchedKind::Webp;
    else if (std::strstr(type, "octet-stream")) shape.judgedByBody = true;
    else return kFetchNotAnImage;
    if (!shape.stream && !NewPictureByItsHead(request)) return kFetchNoChange;
    // The body is sized from Content-Length, and refused above the limit before any allocation.
    char lengthText[32];
    length = sizeof lengthText;
    if (!shape.stream && HttpQueryInfo(request, HTTP_QUERY_CONTENT_LENGTH, lengthText, &length, nullptr))
        shape.announced = ParseLength(lengthText);
    return shape.announced && *shape.announced > kMaxPictureBytes ? kFetchError : kFetchSuccess;
}

bool CImageFetcher::NewPictureByItsHead(HINTERNET request) {
    // Every picture of a stream is a new one, whatever dates the answer carries (the caller asks
    // only for a picture). The entity tag decides before the date: a picture replaced within the
    // same second, or copied with its file's date kept, has a new tag and the old date.
    char tag[256];
    DWORD length = sizeof tag;
    const bool tagged = HttpQueryInfo(request, HTTP_QUERY_ETAG, tag, &length, nullptr) && tag[0];
    if (tagged && state_.FetchEntityTag == tag) return false;
    char modified[256];
    length = sizeof modified;
    if (HttpQueryInfo(request, HTTP_QUERY_LAST_MODIFIED, modified, &length, nullptr) && modified[0]) {
        DebugTrace(" New = %s \n", modified);
        DebugTrace(" Old = %s \n", state_.FetchImageDate.c_str());
        if (!tagged && state_.FetchImageDate == modified) return false;
        state_.FetchImageDate = modified;
    } else {
        DebugTrace("***** EMPTY ******");
    }
    if (tagged) state_.FetchEntityTag = tag;
    return true;
}

int CImageFetcher::ReadBody(HINTERNET request, BodyShape& shape, std::size_t& bytes) {
    const std::size_t limit = shape.announced ? std::size_t(*shape.announced) : kMaxPictureBytes;
    try {
        buffer_.assign(shape.announced ? limit + 1 : kUnknownLengthStart, 0);
    } catch (const std::bad_alloc&) {
        return kFetchError;
    }
    holdsBuffer_ = true;
    Post(saver::MSG_FETCH_STATUS, kStepDownloading, 0);
    BYTE block[kReadBlock];
    while (!state_.CancelRequested) {
        DWORD available = 0, read = 0;
        // A transfer that breaks off is no picture, unless the break was the cancel's.
        if (!InternetQueryDataAvailable(request, &available, 0, 0) || state_.CancelRequested ||
            !InternetReadFile(request, block, std::min<DWORD>(std::max<DWORD>(available, 1), kReadBlock), &read))
            return state_.CancelRequested ? kFetchCancelled : kFetchError;
        if (bytes + read > limit) return kFetchError;  // more than announced, or more than any picture
        if (bytes + read + 1 > buffer_.size())
            buffer_.resize(std::min(limit + 1, std::max(buffer_.size() * 2, bytes + read + 1)));
        std::memcpy(buffer_.data() + bytes, block, read);
        bytes += read;
        Post(saver::MSG_FETCH_PROGRESS, bytes, std::intptr_t(shape.announced ? *shape.announced : 0));
        const std::string_view received(reinterpret_cast<const char*>(buffer_.data()), bytes);
        if (shape.judgedByBody && read > 0) {
            const StreamOpening opening = StreamOpeningOf(received);
            shape.judgedByBody = opening.kind == StreamOpening::Kind::Undecided;
            if (opening.kind == StreamOpening::Kind::Stream) shape.stream.emplace(opening.boundary);
        }
        if (shape.stream && read > 0) {
            const StreamPart part = shape.stream->Examine(received);
            if (part.state == StreamPart::State::Malformed) return kFetchError;
            if (part.state == StreamPart::State::Complete) {
                std::memmove(buffer_.data(), buffer_.data() + part.offset, part.size);
                bytes = part.size;
                buffer_[bytes] = 0;
                return kFetchSuccess;  // the rest of the stream is never read: closing the request ends it
            }
        }
        if (read == 0) {
            if (shape.stream) return kFetchError;  // the stream ended before its first whole picture
            if (shape.announced && bytes < *shape.announced && !state_.CancelRequested)
                return kFetchError;  // the connection ended before the announced length
            buffer_[bytes] = 0;
            return kFetchSuccess;
        }
    }
    return kFetchCancelled;
}

int CImageFetcher::JudgeBody(std::size_t& bytes, FetchedKind& kind) {
    if (state_.CancelRequested) return kFetchCancelled;
    // The label can lie (an error page or a PNG called image/jpeg): the body's own first bytes
    // decide, before anything replaces the last good picture.
    if (bytes == 0) return kFetchSuccess;  // nothing came: the owner takes it for an error
    const FetchedKind found = FetchedKindOf(buffer_.data(), bytes);
    if (found == FetchedKind::NotAPicture) {
        bytes = 0;
        return kFetchNotAnImage;
    }
    kind = found;
    return kFetchSuccess;
}

}  // namespace sources
