#include "test_proxy.h"

#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstring>

namespace testing_support {
namespace {

bool SendAll(int fd, const char* data, size_t size) {
    while (size > 0) {
        const ssize_t sent = ::send(fd, data, size, MSG_NOSIGNAL);
        if (sent <= 0) return false;
        data += sent;
        size -= size_t(sent);
    }
    return true;
}

int ConnectTo(const std::string& host, const std::string& port) {
    addrinfo hints{}, *found = nullptr;
    hints.ai_socktype = SOCK_STREAM;
    if (::getaddrinfo(host.c_str(), port.c_str(), &hints, &found) != 0) return -1;
    int fd = ::socket(found->ai_family, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd >= 0 && ::connect(fd, found->ai_addr, found->ai_addrlen) != 0) {
        ::close(fd);
        fd = -1;
    }
    ::freeaddrinfo(found);
    return fd;
}

// Passes bytes both ways until either side closes (or the proxy ends).
void Relay(int a, int b, const std::atomic<bool>& stopping) {
    char buffer[16384];
    while (!stopping) {
        pollfd both[2] = {{a, POLLIN, 0}, {b, POLLIN, 0}};
        if (::poll(both, 2, 200) < 0) return;
        for (int i = 0; i < 2; ++i) {
            if (!(both[i].revents & (POLLIN | POLLHUP | POLLERR))) continue;
            const ssize_t count = ::recv(both[i].fd, buffer, sizeof buffer, 0);
            if (count <= 0 || !SendAll(both[1 - i].fd, buffer, size_t(count))) return;
        }
    }
}

// "host:port" (or "[v6]:port") apart.
std::pair<std::string, std::string> HostAndPort(const std::string& authority, const char* defaultPort) {
    const size_t colon = authority.rfind(':');
    if (colon == std::string::npos || authority.find(']', colon) != std::string::npos) return {authority, defaultPort};
    return {authority.substr(0, colon), authority.substr(colon + 1)};
}

}  // namespace

TestProxy::TestProxy() {
    listener_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (::bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 || ::listen(listener_, 64) != 0 ||
        ::getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length) != 0)
        return;
    port_ = ntohs(address.sin_port);
    acceptor_ = std::thread([this] { acceptLoop(); });
}

TestProxy::~TestProxy() {
    stopping_ = true;
    ::shutdown(listener_, SHUT_RDWR);
    if (acceptor_.joinable()) acceptor_.join();
    ::close(listener_);
    for (std::thread& connection : connections_) connection.join();
}

std::vector<std::string> TestProxy::credentials() const {
    std::lock_guard lock(mutex_);
    return credentials_;
}

std::vector<std::string> TestProxy::requestLines() const {
    std::lock_guard lock(mutex_);
    return requestLines_;
}

void TestProxy::acceptLoop() {
    while (!stopping_) {
        pollfd waiting{listener_, POLLIN, 0};
        if (::poll(&waiting, 1, 200) <= 0) continue;
        const int client = ::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
        if (client < 0) continue;
        std::lock_guard lock(mutex_);
        connections_.emplace_back([this, client] {
            serve(client);
            ::close(client);
        });
    }
}

void TestProxy::serve(int client) {
    std::string head;
    char chunk[4096];
    while (head.find("\r\n\r\n") == std::string::npos && head.size() < 65536) {
        pollfd readable{client, POLLIN, 0};
        if (::poll(&readable, 1, 5000) <= 0) return;
        const ssize_t count = ::recv(client, chunk, sizeof chunk, 0);
        if (count <= 0) return;
        head.append(chunk, size_t(count));
    }
    const std::string line = head.substr(0, head.find("\r\n"));
    std::string credentials;
    for (const char* name : {"\r\nProxy-Authorization: ", "\r\nproxy-authorization: "})
        if (const size_t at = head.find(name); at != std::string::npos) {
            const size_t from = at + std::strlen(name);
            credentials = head.substr(from, head.find("\r\n", from) - from);
        }
    {
        std::lock_guard lock(mutex_);
        requestLines_.push_back(line);
        credentials_.push_back(credentials);
    }
    const size_t first = line.find(' '), second = line.rfind(' ');
    if (first == std::string::npos || second == first) return;
    const std::string method = line.substr(0, first), target = line.substr(first + 1, second - first - 1);
    if (method == "CONNECT") {
        const auto [host, port] = HostAndPort(target, "443");
        const int server = ConnectTo(host, port);
        const std::string answer = server >= 0 ? "HTTP/1.1 200 Connection established\r\n\r\n" : "HTTP/1.1 502 Bad Gateway\r\n\r\n";
        if (SendAll(client, answer.data(), answer.size()) && server >= 0) Relay(client, server, stopping_);
        if (server >= 0) ::close(server);
        return;
    }
    if (target.rfind("http://", 0) != 0) return;
    const size_t pathAt = target.find('/', 7);
    const auto [host, port] = HostAndPort(target.substr(7, pathAt - 7), "80");
    const int server = ConnectTo(host, port);
    if (server < 0) {
        const std::string answer = "HTTP/1.1 502 Bad Gateway\r\nContent-Length: 0\r\n\r\n";
        SendAll(client, answer.data(), answer.size());
        return;
    }
    // The request as its server expects it, and one request a connection.
    const std::string path = pathAt == std::string::npos ? "/" : target.substr(pathAt);
    std::string forwarded = method + " " + path + line.substr(second) + "\r\nConnection: close" + head.substr(line.size());
    if (SendAll(server, forwarded.data(), forwarded.size())) Relay(client, server, stopping_);
    ::close(server);
}

}  // namespace testing_support
