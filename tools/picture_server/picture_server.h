// A picture server on the loopback interface for tests and the demo: it serves pictures with the
// headers a request asks for and injects the faults a fetcher must survive.
//
// Requests: GET /PATH?option=value&...
//   body=jpg|gif|png|webp|bytes|html   what to send (default jpg: a small JPEG; bytes: "size" bytes of
//                        'x' behind a JPEG's first bytes; html: a page labelled image/jpeg)
//   size=N               the size for body=bytes
//   type=TEXT            Content-Type (default from the body; "none" sends none)
//   lm=TEXT              Last-Modified (none by default)
//   etag=TEXT            ETag "TEXT" (none by default)
//   cond=1               honour If-None-Match and If-Modified-Since: 304 without a body
//   retag=1              a new ETag ("TEXT-N", N counting this address's requests) at every
//                        request, the date kept: a picture replaced by another with its file's date
//   len=true|none|more|less|huge   Content-Length honest, absent, too large, too small, absurd
//   close=N              close the connection after N body bytes
//   stall=N              send N body bytes, then nothing, holding the connection open
//   keep=1               hold the connection open after the whole body (keep-alive)
//   slow=MS              wait MS before each piece of the body
//   piece=N              body pieces of N bytes (default 1024)
//   encoding=gzip        compress the body and say so, whatever the request asked
//   status=CODE          answer with this status and a small HTML page; with body=..., with
//                        that body and its picture type (an error answer carrying a picture)
//   retry=TEXT           a Retry-After header (with status=429 or 503: a server too busy)
//   auth=USER:PASSWORD   demand basic authentication (401 otherwise)
//   ref=TEXT             demand this Referer (403 otherwise)
//   stream=MS            a camera's stream (multipart/x-mixed-replace): a new picture every MS
//                        until the peer closes; frames=N stops after N pictures and holds the
//                        connection open; boundary=TEXT (sent as it stands when it starts with
//                        "--"); len=none leaves the parts' lengths out; type=TEXT labels it
//   file=NAME            a file of the served folder (below) as the body, typed by its extension
// Paths /files/NAME serve the files of the folder given to serveFilesFrom (video clips, playlists
// and their segments), typed by extension; a missing one is "404 Not Found".
// Paths /demo/N.jpg and /demo/N.gif serve changing generated pictures (the time is drawn in),
// /demo/N.mjpg a stream of them, one a second. With every=S a /demo/ picture changes every S
// seconds instead, dated (Last-Modified) and tagged by its time, and conditional requests are
// honoured: a camera behind an office's cache.
#pragma once

#include <atomic>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace picture_server {

struct ReceivedRequest {
    std::string method, target, version;
    std::map<std::string, std::string> headers;  // names in lower case
};

class PictureServer {
public:
    // Binds 127.0.0.1 on the port (0: any free one) and starts serving.
    explicit PictureServer(std::uint16_t port = 0);
    ~PictureServer();
    PictureServer(const PictureServer&) = delete;
    PictureServer& operator=(const PictureServer&) = delete;

    bool running() const { return listener_ >= 0; }
    std::uint16_t port() const { return port_; }
    std::string url(const std::string& pathAndQuery) const;
    ReceivedRequest lastRequest() const;
    void serveFilesFrom(const std::string& folder);
    int requestCount() const { return requests_.load(); }

private:
    void acceptLoop();
    void serve(int client);

    int listener_ = -1;
    std::uint16_t port_ = 0;
    std::atomic<bool> stopping_{false};
    std::atomic<int> requests_{0};
    std::thread acceptor_;
    mutable std::mutex mutex_;
    ReceivedRequest last_;
    std::string filesFolder_;
    std::map<std::string, int> retagged_;  // requests so far by address, for retag=1
    struct Worker {
        std::thread thread;
        std::shared_ptr<std::atomic<bool>> finished;
    };
    std::vector<Worker> workers_;  // finished ones are joined as new connections come
};

// A port on 127.0.0.1 where nothing listens (connections are refused).
std::uint16_t RefusedPort();

}  // namespace picture_server
