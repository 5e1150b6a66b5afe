#include "picture_server.h"

#include <algorithm>
#include <arpa/inet.h>
#include <cctype>
#include <chrono>
#include <csignal>
#include <cstring>
#include <ctime>
#include <fstream>
#include <iterator>
#include <optional>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>
#include <zlib.h>

#include "demo_pictures.h"
#include "picture_writers.h"

namespace picture_server {
namespace {

std::string Decode(const std::string& text) {
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%' && i + 2 < text.size() && std::isxdigit(static_cast<unsigned char>(text[i + 1])) &&
            std::isxdigit(static_cast<unsigned char>(text[i + 2]))) {
            out.push_back(char(std::stoi(text.substr(i + 1, 2), nullptr, 16)));
            i += 2;
        } else {
            out.push_back(text[i] == '+' ? ' ' : text[i]);
        }
    }
    return out;
}

std::map<std::string, std::string> Options(const std::string& query) {
    std::map<std::string, std::string> options;
    size_t start = 0;
    while (start < query.size()) {
        size_t end = query.find('&', start);
        if (end == std::string::npos) end = query.size();
        const std::string pair = query.substr(start, end - start);
        const size_t equals = pair.find('=');
        options[Decode(pair.substr(0, equals))] = equals == std::string::npos ? "" : Decode(pair.substr(equals + 1));
        start = end + 1;
    }
    return options;
}

bool SendAll(int fd, const char* data, size_t size) {
    while (size > 0) {
        const ssize_t sent = ::send(fd, data, size, MSG_NOSIGNAL);
        if (sent <= 0) return false;
        data += sent;
        size -= size_t(sent);
    }
    return true;
}

std::string Base64(const std::string& text) {
    static const char* kDigits = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    for (size_t i = 0; i < text.size(); i += 3) {
        const unsigned a = static_cast<unsigned char>(text[i]);
        const unsigned b = i + 1 < text.size() ? static_cast<unsigned char>(text[i + 1]) : 0;
        const unsigned c = i + 2 < text.size() ? static_cast<unsigned char>(text[i + 2]) : 0;
        const unsigned triple = (a << 16) | (b << 8) | c;
        out.push_back(kDigits[(triple >> 18) & 63]);
        out.push_back(kDigits[(triple >> 12) & 63]);
        out.push_back(i + 1 < text.size() ? kDigits[(triple >> 6) & 63] : '=');
        out.push_back(i + 2 < text.size() ? kDigits[triple & 63] : '=');
    }
    return out;
}

// Holds the connection open until the peer closes it, the server stops, or a minute passes.
void WaitForPeerToClose(int client, const std::atomic<bool>& stopping) {
    char ignored[512];
    for (int waited = 0; waited < 60000 && !stopping; waited += 50) {
        pollfd entry{client, POLLIN, 0};
        if (::poll(&entry, 1, 50) > 0 && ::recv(client, ignored, sizeof ignored, 0) <= 0) return;
    }
}

// The body as a gzip stream, as a server that compresses what nobody asked it to sends it.
std::string Gzip(const std::string& body) {
    z_stream stream{};
    deflateInit2(&stream, Z_BEST_SPEED, Z_DEFLATED, 15 + 16, 8, Z_DEFAULT_STRATEGY);
    std::string out(deflateBound(&stream, uLong(body.size())) + 32, '\0');
    stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(body.data()));
    stream.avail_in = uInt(body.size());
    stream.next_out = reinterpret_cast<Bytef*>(out.data());
    stream.avail_out = uInt(out.size());
    deflate(&stream, Z_FINISH);
    out.resize(stream.total_out);
    deflateEnd(&stream);
    return out;
}

void Respond(int client, int status, const std::string& reason, const std::string& headers, const std::string& body) {
    // A "not modified" answer has no body of its own: a cache takes the headers it carries into
    // its copy of the picture, so it names no type or length.
    const std::string bodyHeaders =
        status == 304 ? "" : "Content-Type: text/html\r\nContent-Length: " + std::to_string(body.size()) + "\r\n";
    const std::string head = "HTTP/1.0 " + std::to_string(status) + " " + reason + "\r\n" + headers + bodyHeaders + "\r\n";
    SendAll(client, head.data(), head.size()) && SendAll(client, body.data(), body.size());
}

// A camera's stream: picture after picture as the parts of a multipart/x-mixed-replace answer.
// Under /demo/ its pictures follow the clock, as a live camera's do; elsewhere they are numbered
// from the same first one.
void ServeStream(int client, const std::string& path, std::map<std::string, std::string>& options,
                 const std::atomic<bool>& stopping) {
    const std::string boundary = options.count("boundary") ? options["boundary"] : "kelvaneframe";
    // A boundary announced with its dashes is sent as it stands, as many cameras do.
    const std::string delimiter = boundary.rfind("--", 0) == 0 ? boundary : "--" + boundary;
    // type=... labels the stream otherwise (FFmpeg's streams say application/octet-stream).
    const std::string type = options.count("type") ? options["type"] : "multipart/x-mixed-replace; boundary=" + boundary;
    std::string head = "HTTP/1.0 200 OK\r\nServer: kelvane-picture-server\r\nContent-Type: " + type + "\r\n";
    if (options.count("lm")) head += "Last-Modified: " + options["lm"] + "\r\n";
    head += "\r\n";
    if (!SendAll(client, head.data(), head.size())) return;
    const int interval = std::max(1, std::atoi(options["stream"].c_str()));
    const long frames = options.count("frames") ? std::atol(options["frames"].c_str()) : -1;
    for (long frame = 0; frame != frames && !stopping; ++frame) {
        if (frame > 0) std::this_thread::sleep_for(std::chrono::milliseconds(interval));
        const std::string picture = path.rfind("/demo/", 0) == 0 ? DemoJpeg(path, std::time(nullptr))
                                                                  : DemoJpeg("/stream.jpg", std::time_t(frame) * 60);
        std::string part = delimiter + "\r\nContent-Type: image/jpeg\r\n";
        if (options["len"] != "none") part += "Content-Length: " + std::to_string(picture.size()) + "\r\n";
        part += "\r\n" + picture + "\r\n";
        if (!SendAll(client, part.data(), part.size())) return;  // the peer has what it wanted
    }
    WaitForPeerToClose(client, stopping);
}

}  // namespace

// A served file's type, by its extension, as a web server would label it.
std::string TypeOfFile(const std::string& name) {
    static const std::pair<const char*, const char*> kTypes[] = {
        {".m3u8", "application/vnd.apple.mpegurl"}, {".mpd", "application/dash+xml"}, {".ts", "video/mp2t"},
        {".mp4", "video/mp4"}, {".m4s", "video/iso.segment"}, {".webm", "video/webm"}, {".mkv", "video/x-matroska"},
        {".jpg", "image/jpeg"}};
    for (const auto& [extension, type] : kTypes)
        if (name.size() > std::strlen(extension) && name.compare(name.size() - std::strlen(extension), std::string::npos, extension) == 0)
            return type;
    return "application/octet-stream";
}

std::optional<std::string> ReadServedFile(const std::string& folder, const std::string& name) {
    if (folder.empty() || name.empty() || name.find('/') != std::string::npos || name.find("..") != std::string::npos)
        return std::nullopt;
    std::ifstream file(folder + "/" + name, std::ios::binary);
    if (!file) return std::nullopt;
    return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

std::uint16_t RefusedPort() {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
    socklen_t length = sizeof address;
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
    ::close(fd);  // bound, never listened, now closed: connections are refused
    return ntohs(address.sin_port);
}

PictureServer::PictureServer(std::uint16_t port) {
    listener_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    const int yes = 1;
    ::setsockopt(listener_, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);  // loopback only, never another address
    address.sin_port = htons(port);
    if (::bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 || ::listen(listener_, 64) != 0) {
        ::close(listener_);
        listener_ = -1;
        return;
    }
    socklen_t length = sizeof address;
    ::getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length);
    port_ = ntohs(address.sin_port);
    acceptor_ = std::thread([this] { acceptLoop(); });
}

PictureServer::~PictureServer() {
    stopping_ = true;
    if (acceptor_.joinable()) acceptor_.join();
    if (listener_ >= 0) ::close(listener_);
    for (Worker& worker : workers_) worker.thread.join();
}

std::string PictureServer::url(const std::string& pathAndQuery) const {
    return "http://127.0.0.1:" + std::to_string(port_) + pathAndQuery;
}

void PictureServer::serveFilesFrom(const std::string& folder) {
    std::lock_guard lock(mutex_);
    filesFolder_ = folder;
}

ReceivedRequest PictureServer::lastRequest() const {
    std::lock_guard lock(mutex_);
    return last_;
}

void PictureServer::acceptLoop() {
    while (!stopping_) {
        pollfd entry{listener_, POLLIN, 0};
        if (::poll(&entry, 1, 50) <= 0) continue;
        const int client = ::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
        if (client < 0) continue;
        std::lock_guard lock(mutex_);
        for (auto it = workers_.begin(); it != workers_.end();) {
            if (it->finished->load()) {
                it->thread.join();
                it = workers_.erase(it);
            } else {
                ++it;
            }
        }
        auto finished = std::make_shared<std::atomic<bool>>(false);
        workers_.push_back(Worker{std::thread([this, client, finished] {
                                      serve(client);
                                      ::close(client);
                                      *finished = true;
                                  }),
                                  finished});
    }
}

void PictureServer::serve(int client) {
    // The request head, up to the blank line (bounded: nobody sends more than 64 KB of headers).
    std::string head;
    char chunk[4096];
    while (head.find("\r\n\r\n") == std::string::npos && head.size() < 65536) {
        pollfd entry{client, POLLIN, 0};
        if (::poll(&entry, 1, 5000) <= 0) return;
        const ssize_t count = ::recv(client, chunk, sizeof chunk, 0);
        if (count <= 0) return;
        head.append(chunk, size_t(count));
    }
    ReceivedRequest request;
    size_t lineEnd = head.find("\r\n");
    const std::string requestLine = head.substr(0, lineEnd);
    const size_t first = requestLine.find(' '), second = requestLine.rfind(' ');
    if (first == std::string::npos || second == first) return;
    request.method = requestLine.substr(0, first);
    request.target = requestLine.substr(first + 1, second - first - 1);
    request.version = requestLine.substr(second + 1);
    for (size_t start = lineEnd + 2; start < head.size();) {
        const size_t end = head.find("\r\n", start);
        if (end == std::string::npos || end == start) break;
        const std::string line = head.substr(start, end - start);
        const size_t colon = line.find(':');
        if (colon != std::string::npos) {
            std::string name = line.substr(0, colon);
            for (char& c : name) c = char(std::tolower(static_cast<unsigned char>(c)));
            request.headers[name] = line.substr(line.find_first_not_of(' ', colon + 1) == std::string::npos
                                                    ? line.size()
                                                    : line.find_first_not_of(' ', colon + 1));
        }
        start = end + 2;
    }
    {
        std::lock_guard lock(mutex_);
        last_ = request;
    }
    ++requests_;

    const size_t question = request.target.find('?');
    const std::string path = request.target.substr(0, question);
    auto options = question == std::string::npos ? std::map<std::string, std::string>{}
                                                 : Options(request.target.substr(question + 1));
    if (options.count("auth")) {
        const auto given = request.headers.find("authorization");
        if (given == request.headers.end() || given->second != "Basic " + Base64(options["auth"]))
            return Respond(client, 401, "Unauthorized", "WWW-Authenticate: Basic realm=\"cams\"\r\n", "<html>401</html>");
    }
    if (options.count("mute")) return WaitForPeerToClose(client, stopping_);  // never a word back
    if (options.count("ref") && request.headers["referer"] != options["ref"])
        return Respond(client, 403, "Forbidden", "", "<html>403</html>");
    // A camera whose picture changes every so many seconds, dated and tagged by that time, that
    // honours conditional requests.
    const bool demo = path.rfind("/demo/", 0) == 0;
    std::time_t pictureTime = std::time(nullptr);
    if (demo && options.count("every")) {
        const long every = std::max(1L, std::atol(options["every"].c_str()));
        pictureTime -= pictureTime % every;
        char date[64];
        std::tm parts{};
        gmtime_r(&pictureTime, &parts);
        std::strftime(date, sizeof date, "%a, %d %b %Y %H:%M:%S GMT", &parts);
        options["lm"] = date;
        options["etag"] = std::to_string(pictureTime);
        options["cond"] = "1";
    }
    // A server that honours conditional requests: an unchanged picture is "304 Not Modified",
    // headers only.
    std::string entityTag = options.count("etag") ? "\"" + options["etag"] + "\"" : "";
    if (options.count("retag")) {
        std::lock_guard lock(mutex_);
        entityTag = "\"" + options["etag"] + "-" + std::to_string(++retagged_[request.target]) + "\"";
    }
    // As HTTP has it, a tag asked about decides, and only without one the date.
    const bool askedByTag = request.headers.count("if-none-match") != 0;
    if (options.count("cond") &&
        (askedByTag ? !entityTag.empty() && request.headers["if-none-match"] == entityTag
                    : options.count("lm") && request.headers["if-modified-since"] == options["lm"]))
        return Respond(client, 304, "Not Modified", entityTag.empty() ? "" : "ETag: " + entityTag + "\r\n", "");
    const int status = options.count("status") ? std::atoi(options["status"].c_str()) : 200;
    const std::string retryAfter = options.count("retry") ? "Retry-After: " + options["retry"] + "\r\n" : "";
    if (options.count("status") && !options.count("body"))
        return Respond(client, status, "Status", retryAfter, "<html>" + options["status"] + "</html>");

    const bool demoStream = path.rfind("/demo/", 0) == 0 && path.size() > 5 && path.substr(path.size() - 5) == ".mjpg";
    if (demoStream && !options.count("stream")) options["stream"] = "1000";
    if (options.count("stream")) return ServeStream(client, path, options, stopping_);

    std::string body, type;
    const bool served = path.rfind("/files/", 0) == 0 || options.count("file");
    if (served) {
        const std::string name = options.count("file") ? options["file"] : path.substr(7);
        std::string folder;
        {
            std::lock_guard lock(mutex_);
            folder = filesFolder_;
        }
        std::optional<std::string> file = ReadServedFile(folder, name);
        if (!file) return Respond(client, 404, "Not Found", "", "<html>404</html>");
        body = std::move(*file);
        type = TypeOfFile(name);
    } else if (demo) {
        const bool gif = path.size() > 4 && path.substr(path.size() - 4) == ".gif";
        body = gif ? DemoGif(path, pictureTime) : DemoJpeg(path, pictureTime);
        type = gif ? "image/gif" : "image/jpeg";
    } else if (options["body"] == "gif") {
        body = DemoGif("/sample.gif", 0);
        type = "image/gif";
    } else if (options["body"] == "bytes") {
        // Filler behind a JPEG's first bytes: a body of any size that passes for one.
        body.assign(size_t(std::atoll(options["size"].c_str())), 'x');
        body.replace(0, std::min<size_t>(body.size(), 3), std::string("\xFF\xD8\xFF").substr(0, body.size()));
        type = "image/jpeg";
    } else if (options["body"] == "png" || options["body"] == "webp") {
        const picture_writers::TruePicture picture{32, 24, std::vector<picture_writers::Rgb>(32 * 24, {30, 144, 255})};
        const bool png = options["body"] == "png";
        body = png ? picture_writers::PngFile(picture) : picture_writers::WebpFile(picture);
        type = png ? "image/png" : "image/webp";
    } else if (options["body"] == "html") {
        body = "<html><body>Camera offline</body></html>";
        type = "image/jpeg";  // as a misconfigured server labels its error page
    } else {
        body = DemoJpeg("/sample.jpg", 0);
        type = "image/jpeg";
    }
    if (options.count("type")) type = options["type"];
    // An interim answer first (as some servers and proxies send 103 Early Hints) when asked.
    std::string headers = options.count("interim") ? "HTTP/1.1 " + options["interim"] + " Interim\r\n"
                                                     "Link: </cam.css>; rel=preload\r\n\r\n"
                                                   : "";
    headers += "HTTP/1.0 " + std::to_string(status) + (status == 200 ? " OK" : " Status") +
               "\r\nServer: kelvane-picture-server\r\n";
    if (options.count("keep")) headers += "Connection: keep-alive\r\n";
    if (options["encoding"] == "gzip") {
        body = Gzip(body);
        headers += "Content-Encoding: gzip\r\n";
    }
    if (type != "none") headers += "Content-Type: " + type + "\r\n";
    if (options.count("lm")) headers += "Last-Modified: " + options["lm"] + "\r\n";
    if (!entityTag.empty()) headers += "ETag: " + entityTag + "\r\n";
    const std::string length = options.count("len") ? options["len"] : "true";
    if (length == "true") headers += "Content-Length: " + std::to_string(body.size()) + "\r\n";
    else if (length == "more") headers += "Content-Length: " + std::to_string(body.size() + 5000) + "\r\n";
    else if (length == "less") headers += "Content-Length: " + std::to_string(body.size() / 2) + "\r\n";
    else if (length == "huge") headers += "Content-Length: 99999999999\r\n";
    headers += "\r\n";
    if (!SendAll(client, headers.data(), headers.size())) return;
    const size_t closeAfter = options.count("close") ? size_t(std::atoll(options["close"].c_str())) : body.size();
    const size_t stallAfter = options.count("stall") ? size_t(std::atoll(options["stall"].c_str())) : body.size();
    const size_t pieceSize = options.count("piece") ? std::max<size_t>(1, size_t(std::atoll(options["piece"].c_str()))) : 1024;
    const int slow = std::atoi(options["slow"].c_str());
    for (size_t sent = 0; sent < std::min({body.size(), closeAfter, stallAfter}) && !stopping_;) {
        if (slow > 0) std::this_thread::sleep_for(std::chrono::milliseconds(slow));
        const size_t piece = std::min<size_t>({pieceSize, body.size() - sent, closeAfter - sent, stallAfter - sent});
        if (!SendAll(client, body.data() + sent, piece)) return;
        sent += piece;
    }
    if (options.count("keep") || options.count("stall")) WaitForPeerToClose(client, stopping_);
}

}  // namespace picture_server
