#include "internet.h"

#include <algorithm>
#include <atomic>
#include <cctype>
#include <cstring>
#include <curl/curl.h>
#include <map>
#include <mutex>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "system_proxy.h"

namespace platform {

struct InternetHandleObject {
    virtual ~InternetHandleObject() = default;
};

namespace {

thread_local DWORD tLastError = 0;
std::mutex gMutex;
std::set<HINTERNET> gHandles;
InternetTimeouts gTimeouts;

constexpr size_t kPauseAbove = 256 * 1024;  // body bytes held before the transfer waits for the reader

struct Session : InternetHandleObject {
    std::string userAgent;
};

struct Connection : InternetHandleObject {
    std::string userAgent;
    std::string server;
    WORD port = 0;
    std::string user, password;
};

struct Request : InternetHandleObject {
    CURL* easy = nullptr;
    CURLM* multi = nullptr;
    curl_slist* headerList = nullptr;
    std::map<std::string, std::string> headers;  // names in lower case
    long status = 0;
    bool redirecting = false;
    bool throughProxy = false;  // the desktop names a proxy for the address
    std::atomic<bool> headersDone{false};
    bool transferDone = false;
    bool paused = false;
    bool added = false;
    CURLcode result = CURLE_OK;
    std::string pending;  // body bytes not yet read
    std::atomic<bool> aborted{false};

    ~Request() override {
        if (multi && easy && added) curl_multi_remove_handle(multi, easy);
        if (easy) curl_easy_cleanup(easy);
        if (multi) curl_multi_cleanup(multi);
        curl_slist_free_all(headerList);
    }
};

bool Fail(DWORD error) {
    tLastError = error;
    return false;
}

template <typename Object>
Object* Lookup(HINTERNET handle) {
    std::lock_guard lock(gMutex);
    if (!gHandles.count(handle)) return nullptr;
    return dynamic_cast<Object*>(handle);
}

HINTERNET Register(InternetHandleObject* object) {
    std::lock_guard lock(gMutex);
    gHandles.insert(object);
    return object;
}

DWORD ErrorFromCurl(CURLcode code) {
    switch (code) {
    case CURLE_COULDNT_CONNECT: return ERROR_INTERNET_CANNOT_CONNECT;
    case CURLE_COULDNT_RESOLVE_HOST:
    case CURLE_COULDNT_RESOLVE_PROXY: return ERROR_INTERNET_NAME_NOT_RESOLVED;
    case CURLE_OPERATION_TIMEDOUT: return ERROR_INTERNET_TIMEOUT;
    case CURLE_ABORTED_BY_CALLBACK: return ERROR_INTERNET_OPERATION_CANCELLED;
    case CURLE_PEER_FAILED_VERIFICATION:
    case CURLE_SSL_CONNECT_ERROR:
    case CURLE_SSL_CERTPROBLEM:
    case CURLE_SSL_CACERT_BADFILE: return ERROR_INTERNET_SEC_CERT_ERROR;
    default: return ERROR_INTERNET_CONNECTION_ABORTED;
    }
}

size_t OnHeader(char* data, size_t size, size_t count, void* user) {
    auto* request = static_cast<Request*>(user);
    const size_t length = size * count;
    std::string line(data, length);
    while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.pop_back();
    if (line.rfind("HTTP/", 0) == 0) {
        // A new response (after a redirect): its headers replace the earlier ones.
        request->headers.clear();
        const size_t space = line.find(' ');
        request->status = space == std::string::npos ? 0 : std::atol(line.c_str() + space + 1);
        request->redirecting = false;
        return length;
    }
    if (line.empty()) {
        const bool redirect = request->status >= 300 && request->status < 400 && request->headers.count("location");
        // An interim answer (100 Continue, 103 Early Hints) comes before the final one.
        const bool interim = request->status >= 100 && request->status < 200;
        if (!redirect && !interim) request->headersDone = true;
        return length;
    }
    const size_t colon = line.find(':');
    if (colon != std::string::npos) {
        std::string name = line.substr(0, colon);
        for (char& c : name) c = char(std::tolower(static_cast<unsigned char>(c)));
        size_t start = colon + 1;
        while (start < line.size() && (line[start] == ' ' || line[start] == '\t')) ++start;
        request->headers[name] = line.substr(start);
    }
    return length;
}

size_t OnBody(char* data, size_t size, size_t count, void* user) {
    auto* request = static_cast<Request*>(user);
    if (request->pending.size() > kPauseAbove) {
        request->paused = true;
        return CURL_WRITEFUNC_PAUSE;
    }
    request->headersDone = true;
    request->pending.append(data, size * count);
    return size * count;
}

int OnProgress(void* user, curl_off_t, curl_off_t, curl_off_t, curl_off_t) {
    return static_cast<Request*>(user)->aborted.load() ? 1 : 0;
}

// A compressed body's Content-Length counts the bytes sent, not the decoded ones read.
bool Compressed(const Request& request) {
    const auto it = request.headers.find("content-encoding");
    if (it == request.headers.end()) return false;
    std::string coding;
    for (char c : it->second)
        if (c != ' ' && c != '\t') coding.push_back(char(std::tolower(static_cast<unsigned char>(c))));
    return !coding.empty() && coding != "identity";
}

// Runs the transfer until the condition holds, the transfer ends or it is broken off.
template <typename Condition>
void Drive(Request& request, Condition done) {
    while (!request.transferDone && !done()) {
        if (request.aborted) {
            request.transferDone = true;
            request.result = CURLE_ABORTED_BY_CALLBACK;
            return;
        }
        int running = 0;
        curl_multi_perform(request.multi, &running);
        int queued = 0;
        while (CURLMsg* message = curl_multi_info_read(request.multi, &queued)) {
            if (message->msg == CURLMSG_DONE) {
                request.transferDone = true;
                request.result = message->data.result;
            }
        }
        if (!request.transferDone && !done()) curl_multi_poll(request.multi, nullptr, 0, 100, nullptr);
    }
}

// Body bytes are waiting, or none will come.
void FillPending(Request& request) {
    if (request.pending.empty() && request.paused) {
        request.paused = false;
        curl_easy_pause(request.easy, CURLPAUSE_CONT);
    }
    Drive(request, [&] { return !request.pending.empty(); });
}

}  // namespace

DWORD GetLastError() { return tLastError; }

void SetInternetTimeouts(const InternetTimeouts& timeouts) {
    std::lock_guard lock(gMutex);
    gTimeouts = timeouts;
}

InternetTimeouts GetInternetTimeouts() {
    std::lock_guard lock(gMutex);
    return gTimeouts;
}

HINTERNET InternetOpen(const char* userAgent, DWORD, const char*, const char*, DWORD) {
    static const CURLcode initialised = curl_global_init(CURL_GLOBAL_DEFAULT);
    if (initialised != CURLE_OK) {
        Fail(ERROR_INTERNET_CONNECTION_ABORTED);
        return nullptr;
    }
    auto* session = new Session;
    session->userAgent = userAgent ? userAgent : "";
    return Register(session);
}

HINTERNET InternetConnect(HINTERNET sessionHandle, const char* server, WORD port, const char* user,
                          const char* password, DWORD, DWORD, std::uintptr_t) {
    auto* session = Lookup<Session>(sessionHandle);
    if (!session || !server || !*server) {
        Fail(ERROR_INTERNET_NAME_NOT_RESOLVED);
        return nullptr;
    }
    auto* connection = new Connection;
    connection->userAgent = session->userAgent;
    connection->server = server;
    connection->port = port;
    connection->user = user ? user : "";
    connection->password = password ? password : "";
    return Register(connection);
}

HINTERNET HttpOpenRequest(HINTERNET connectionHandle, const char* verb, const char* path, const char* version,
                          const char* referrer, const char**, DWORD flags, std::uintptr_t) {
    auto* connection = Lookup<Connection>(connectionHandle);
    if (!connection) {
        Fail(ERROR_INTERNET_CONNECTION_ABORTED);
        return nullptr;
    }
    auto* request = new Request;
    request->easy = curl_easy_init();
    request->multi = curl_multi_init();
    if (!request->easy || !request->multi) {
        delete request;
        Fail(ERROR_INTERNET_CONNECTION_ABORTED);
        return nullptr;
    }
    std::string url = (flags & INTERNET_FLAG_SECURE) ? "https://" : "http://";
    url += connection->server;
    if (connection->port) url.append(":").append(std::to_string(connection->port));
    const std::string object = path && *path ? path : "/";
    if (object.front() != '/') url.push_back('/');
    url += object;
    InternetTimeouts timeouts;
    {
        std::lock_guard lock(gMutex);
        timeouts = gTimeouts;
    }
    CURL* easy = request->easy;
    curl_easy_setopt(easy, CURLOPT_URL, url.c_str());
    // The desktop's proxy for this address; without an answer libcurl reads the environment itself.
    if (const std::optional<std::string> proxy = SystemProxyFor(url)) {
        curl_easy_setopt(easy, CURLOPT_PROXY, proxy->c_str());
        request->throughProxy = !proxy->empty();
    }
    curl_easy_setopt(easy, CURLOPT_CUSTOMREQUEST, verb && std::strcmp(verb, "GET") != 0 ? verb : nullptr);
    curl_easy_setopt(easy, CURLOPT_USERAGENT, connection->userAgent.c_str());
    if (referrer && *referrer) curl_easy_setopt(easy, CURLOPT_REFERER, referrer);
    if (version && std::strcmp(version, "HTTP/1.0") == 0) curl_easy_setopt(easy, CURLOPT_HTTP_VERSION, CURL_HTTP_VERSION_1_0);
    if (!connection->user.empty()) {
        curl_easy_setopt(easy, CURLOPT_HTTPAUTH, CURLAUTH_BASIC);
        curl_easy_setopt(easy, CURLOPT_USERNAME, connection->user.c_str());
        curl_easy_setopt(easy, CURLOPT_PASSWORD, connection->password.c_str());
    }
    if (flags & INTERNET_FLAG_RELOAD) {
        // A current copy: a cache on the way (an office's proxy) checks its copy with the server
        // by its own validators before it answers, so it fetches a picture once per change for
        // every desktop behind it. (A no-cache request would make it fetch the whole picture
        // again for each of them.)
        request->headerList = curl_slist_append(request->headerList, "Cache-Control: max-age=0");
        curl_easy_setopt(easy, CURLOPT_HTTPHEADER, request->headerList);
    }
    // The body ends at its Content-Length even when the server keeps the connection open; a
    // shorter one fails. Pictures gain nothing from compression, and a server compressing on the
    // fly changes their tags and never answers "not modified": asked for as they are. A body the
    // server compresses unasked still comes decoded.
    curl_easy_setopt(easy, CURLOPT_ACCEPT_ENCODING, "identity");
    curl_easy_setopt(easy, CURLOPT_FOLLOWLOCATION, 1L);
    curl_easy_setopt(easy, CURLOPT_MAXREDIRS, 5L);
    curl_easy_setopt(easy, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(easy, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(easy, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(easy, CURLOPT_CONNECTTIMEOUT, timeouts.connectSeconds);
    curl_easy_setopt(easy, CURLOPT_LOW_SPEED_LIMIT, timeouts.lowSpeedBytes);
    curl_easy_setopt(easy, CURLOPT_LOW_SPEED_TIME, timeouts.stalledSeconds);
    curl_easy_setopt(easy, CURLOPT_TIMEOUT, timeouts.totalSeconds);
    curl_easy_setopt(easy, CURLOPT_HEADERFUNCTION, OnHeader);
    curl_easy_setopt(easy, CURLOPT_HEADERDATA, request);
    curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, OnBody);
    curl_easy_setopt(easy, CURLOPT_WRITEDATA, request);
    curl_easy_setopt(easy, CURLOPT_NOPROGRESS, 0L);
    curl_easy_setopt(easy, CURLOPT_XFERINFOFUNCTION, OnProgress);
    curl_easy_setopt(easy, CURLOPT_XFERINFODATA, request);
    return Register(request);
}

BOOL HttpAddRequestHeaders(HINTERNET handle, const char* headers, DWORD length, DWORD) {
    auto* request = Lookup<Request>(handle);
    if (!request || !headers || request->added) return Fail(ERROR_INTERNET_CONNECTION_ABORTED);
    const std::string_view text(headers, length == DWORD(-1) ? std::strlen(headers) : length);
    std::vector<std::string> lines;
    for (size_t start = 0; start < text.size();) {
        size_t end = text.find("\r\n", start);
        if (end == std::string_view::npos) end = text.size();
        const std::string_view line = text.substr(start, end - start);
        start = end + 2;
        if (line.empty()) continue;
        const size_t colon = line.find(':');
        if (colon == 0 || colon == std::string_view::npos || line.find_first_of("\r\n") != std::string_view::npos)
            return Fail(ERROR_INTERNET_CONNECTION_ABORTED);
        lines.emplace_back(line);
    }
    for (const std::string& line : lines) request->headerList = curl_slist_append(request->headerList, line.c_str());
    curl_easy_setopt(request->easy, CURLOPT_HTTPHEADER, request->headerList);
    return TRUE;
}

BOOL HttpSendRequest(HINTERNET handle, const char*, DWORD, const void*, DWORD) {
    auto* request = Lookup<Request>(handle);
    if (!request) return Fail(ERROR_INTERNET_CONNECTION_ABORTED);
    if (!request->added) {
        curl_multi_add_handle(request->multi, request->easy);
        request->added = true;
    }
    Drive(*request, [&] { return request->headersDone.load(); });
    if (request->headersDone) return TRUE;
    return Fail(ErrorFromCurl(request->result == CURLE_OK ? CURLE_GOT_NOTHING : request->result));
}

BOOL HttpSendRequestEx(HINTERNET request, const void*, void*, DWORD, std::uintptr_t) {
    return HttpSendRequest(request, nullptr, 0, nullptr, 0);
}

BOOL HttpEndRequest(HINTERNET handle, void*, DWORD, std::uintptr_t) {
    std::lock_guard lock(gMutex);  // may come from another thread: only the abort flag is touched
    if (!gHandles.count(handle)) return Fail(ERROR_INTERNET_CONNECTION_ABORTED);
    auto* request = dynamic_cast<Request*>(handle);
    if (!request) return Fail(ERROR_INTERNET_CONNECTION_ABORTED);
    if (!request->headersDone) {
        request->aborted = true;
        curl_multi_wakeup(request->multi);
    }
    return TRUE;
}

BOOL InternetCancelRequest(HINTERNET handle) {
    std::lock_guard lock(gMutex);  // the handle cannot be closed meanwhile
    if (!gHandles.count(handle)) return Fail(ERROR_INTERNET_CONNECTION_ABORTED);
    auto* request = dynamic_cast<Request*>(handle);
    if (!request) return Fail(ERROR_INTERNET_CONNECTION_ABORTED);
    request->aborted = true;
    curl_multi_wakeup(request->multi);
    return TRUE;
}

bool GoesThroughProxy(HINTERNET handle) {
    const auto* request = Lookup<Request>(handle);
    return request && request->throughProxy;
}

BOOL HttpQueryInfo(HINTERNET handle, DWORD info, void* buffer, DWORD* length, DWORD*) {
    auto* request = Lookup<Request>(handle);
    if (!request || !length) return Fail(ERROR_INTERNET_CONNECTION_ABORTED);
    std::string value;
    switch (info) {
    case HTTP_QUERY_STATUS_CODE: value = std::to_string(request->status); break;
    default: {
        const char* name = info == HTTP_QUERY_CONTENT_TYPE     ? "content-type"
                           : info == HTTP_QUERY_CONTENT_LENGTH ? "content-length"
                           : info == HTTP_QUERY_LAST_MODIFIED  ? "last-modified"
                           : info == HTTP_QUERY_ETAG           ? "etag"
                           : info == HTTP_QUERY_RETRY_AFTER    ? "retry-after"
                                                               : nullptr;
        auto it = name ? request->headers.find(name) : request->headers.end();
        if (it == request->headers.end() || (info == HTTP_QUERY_CONTENT_LENGTH && Compressed(*request)))
            return Fail(ERROR_HTTP_HEADER_NOT_FOUND);
        value = it->second;
    }
    }
    if (!buffer || *length < value.size() + 1) {
        *length = DWORD(value.size() + 1);
        return Fail(ERROR_INSUFFICIENT_BUFFER);
    }
    std::memcpy(buffer, value.c_str(), value.size() + 1);
    *length = DWORD(value.size());
    return TRUE;
}

BOOL InternetQueryDataAvailable(HINTERNET handle, DWORD* available, DWORD, std::uintptr_t) {
    auto* request = Lookup<Request>(handle);
    if (!request || !available) return Fail(ERROR_INTERNET_CONNECTION_ABORTED);
    FillPending(*request);
    *available = DWORD(std::min<size_t>(request->pending.size(), 0x7FFFFFFF));
    if (*available == 0 && request->transferDone && request->result != CURLE_OK)
        return Fail(ErrorFromCurl(request->result));
    return TRUE;
}

BOOL InternetReadFile(HINTERNET handle, void* buffer, DWORD toRead, DWORD* read) {
    auto* request = Lookup<Request>(handle);
    if (!request || !read || (!buffer && toRead)) return Fail(ERROR_INTERNET_CONNECTION_ABORTED);
    *read = 0;
    FillPending(*request);
    const size_t count = std::min<size_t>(toRead, request->pending.size());
    std::memcpy(buffer, request->pending.data(), count);
    request->pending.erase(0, count);
    *read = DWORD(count);
    // The end of the body is a success only when the whole body came.
    if (count == 0 && request->transferDone && request->result != CURLE_OK) return Fail(ErrorFromCurl(request->result));
    return TRUE;
}

BOOL InternetCloseHandle(HINTERNET handle) {
    {
        std::lock_guard lock(gMutex);
        if (!gHandles.erase(handle)) return Fail(ERROR_INTERNET_CONNECTION_ABORTED);
    }
    delete handle;
    return TRUE;
}

}  // namespace platform
