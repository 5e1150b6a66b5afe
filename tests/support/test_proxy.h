// An HTTP proxy on the loopback interface for the tests: it forwards requests for absolute
// addresses ("GET http://host:port/path") to their server and tunnels CONNECT, one thread per
// connection, and remembers the request line of every request it was given, and the credentials
// (Proxy-Authorization) each came with.
#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace testing_support {

class TestProxy {
public:
    TestProxy();
    ~TestProxy();
    TestProxy(const TestProxy&) = delete;
    TestProxy& operator=(const TestProxy&) = delete;

    std::uint16_t port() const { return port_; }
    std::string url() const { return "http://127.0.0.1:" + std::to_string(port_); }
    std::vector<std::string> requestLines() const;
    std::vector<std::string> credentials() const;  // "" for a request without

private:
    void acceptLoop();
    void serve(int client);

    int listener_ = -1;
    std::uint16_t port_ = 0;
    std::atomic<bool> stopping_{false};
    std::thread acceptor_;
    mutable std::mutex mutex_;
    std::vector<std::string> requestLines_;
    std::vector<std::string> credentials_;
    std::vector<std::thread> connections_;
};

}  // namespace testing_support
