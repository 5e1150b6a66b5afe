// The HTTP client the fetcher is written against, pull-style: open a session, connect, open a
// request, send it, query its headers, then read the body block by block. Realised on libcurl.
#pragma once

#include <cstdint>
#include <string>

#include "win_types.h"

namespace platform {

struct InternetHandleObject;
using HINTERNET = InternetHandleObject*;

constexpr DWORD INTERNET_OPEN_TYPE_PRECONFIG = 0;
constexpr DWORD INTERNET_SERVICE_HTTP = 3;
constexpr WORD INTERNET_DEFAULT_PORT = 0;
constexpr DWORD INTERNET_FLAG_RELOAD = 0x80000000;
constexpr DWORD INTERNET_FLAG_NO_CACHE_WRITE = 0x04000000;
constexpr DWORD INTERNET_FLAG_SECURE = 0x00800000;
constexpr DWORD INTERNET_FLAG_NO_UI = 0x00000200;
constexpr DWORD HSR_SYNC = 0x00000004;

constexpr DWORD HTTP_QUERY_CONTENT_TYPE = 1;
constexpr DWORD HTTP_QUERY_CONTENT_LENGTH = 5;
constexpr DWORD HTTP_QUERY_LAST_MODIFIED = 11;
constexpr DWORD HTTP_QUERY_STATUS_CODE = 19;
constexpr DWORD HTTP_QUERY_RETRY_AFTER = 36;
constexpr DWORD HTTP_QUERY_ETAG = 54;
constexpr DWORD HTTP_ADDREQ_FLAG_ADD = 0x20000000;

constexpr DWORD ERROR_INTERNET_TIMEOUT = 12002;
constexpr DWORD ERROR_INTERNET_NAME_NOT_RESOLVED = 12007;
constexpr DWORD ERROR_INTERNET_OPERATION_CANCELLED = 12017;
constexpr DWORD ERROR_INTERNET_CANNOT_CONNECT = 12029;
constexpr DWORD ERROR_INTERNET_CONNECTION_ABORTED = 12030;
constexpr DWORD ERROR_HTTP_HEADER_NOT_FOUND = 12150;
constexpr DWORD ERROR_INTERNET_SEC_CERT_ERROR = 12055;
constexpr DWORD ERROR_INSUFFICIENT_BUFFER = 122;

// The last error of a failed call on this thread.
DWORD GetLastError();

HINTERNET InternetOpen(const char* userAgent, DWORD accessType, const char* proxy, const char* bypass, DWORD flags);
// server: a host name or address ([v6] in brackets); port 0 is the scheme's default.
HINTERNET InternetConnect(HINTERNET session, const char* server, WORD port, const char* user, const char* password,
                          DWORD service, DWORD flags, std::uintptr_t context);
HINTERNET HttpOpenRequest(HINTERNET connection, const char* verb, const char* path, const char* version,
                          const char* referrer, const char** acceptTypes, DWORD flags, std::uintptr_t context);
// Adds header lines ("Name: value", separated by CR LF) to a request not yet sent. A line that
// is not one header (no name, or a line break inside) is refused and nothing is added.
BOOL HttpAddRequestHeaders(HINTERNET request, const char* headers, DWORD length, DWORD modifiers);
// Sends the request and waits for the response headers; false with GetLastError on failure.
BOOL HttpSendRequest(HINTERNET request, const char* headers, DWORD headersLength, const void* body, DWORD bodyLength);
BOOL HttpSendRequestEx(HINTERNET request, const void* buffersIn, void* buffersOut, DWORD flags, std::uintptr_t context);
// Ends the request: when it is still being sent, this breaks it off.
BOOL HttpEndRequest(HINTERNET request, void* buffersOut, DWORD flags, std::uintptr_t context);
// Breaks the request off at any point (sending, waiting for headers, reading the body), from any
// thread: the call waiting on it returns at once with ERROR_INTERNET_OPERATION_CANCELLED.
BOOL InternetCancelRequest(HINTERNET request);
// A header as text (terminated); false with ERROR_HTTP_HEADER_NOT_FOUND or ERROR_INSUFFICIENT_BUFFER.
// Bodies come decoded when the server compressed them, so a compressed body has no length.
BOOL HttpQueryInfo(HINTERNET request, DWORD info, void* buffer, DWORD* length, DWORD* index);
// Bytes that can be read now without waiting for more (0 at the end of the body).
BOOL InternetQueryDataAvailable(HINTERNET request, DWORD* available, DWORD flags, std::uintptr_t context);
// Reads up to toRead bytes; *read 0 with TRUE is the end of the body; FALSE when the transfer failed.
BOOL InternetReadFile(HINTERNET request, void* buffer, DWORD toRead, DWORD* read);
BOOL InternetCloseHandle(HINTERNET handle);
// Whether the request was opened to go through the proxy the desktop names for its address.
bool GoesThroughProxy(HINTERNET request);

// Limits that keep a dead or trickling server from holding a fetch: connecting; a transfer
// slower than lowSpeedBytes a second for stalledSeconds; the whole request.
struct InternetTimeouts {
    long connectSeconds = 15;
    long stalledSeconds = 30;
    long lowSpeedBytes = 256;
    long totalSeconds = 180;
};
void SetInternetTimeouts(const InternetTimeouts& timeouts);
InternetTimeouts GetInternetTimeouts();

}  // namespace platform
