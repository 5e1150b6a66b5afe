#include "window_sockets.h"

#include <atomic>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <map>
#include <mutex>
#include <poll.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

#include "fresh_file.h"
#include "local_sockets.h"

namespace platform {
namespace fs = std::filesystem;
namespace {

constexpr std::uint32_t kMagic = 0x4B565731;  // "KVW1"
constexpr std::uint32_t kPost = 1;
constexpr std::uint32_t kSend = 2;

struct Request {
    std::uint32_t magic;
    std::uint32_t kind;
    std::uint32_t message;
    std::uint32_t reserved;
    std::uint64_t wParam;
    std::int64_t lParam;
};

// Socket names of a program start with its process id.
std::string PrefixOf(long processId) {
    std::string prefix(1, 'w');
    prefix.append(std::to_string(processId)).push_back('-');
    return prefix;
}
std::string OwnPrefix() { return PrefixOf(::getpid()); }

struct Published {
    int fd = -1;
    std::string socketPath;
};

// One thread per program accepts the messages for all its published windows.
class Listener {
public:
    static Listener& instance() {
        static Listener* listener = new Listener;  // lives to the end: the thread never joins
        return *listener;
    }

    void publish(HWND window, const std::string& className, const std::string& title) {
        auto folder = RuntimeFolder();
        if (!folder) return;
        const std::string base = (*folder / (OwnPrefix() + std::to_string(++counter_))).string();
        const int fd = ListenAt(base);  // replaces a leftover of a dead program that had our process id
        if (fd < 0) return;
        // The description goes beside the socket once the socket answers.
        const std::string info = base + ".info";
        ReplaceFileWhole(info, className + '\n' + title + '\n', 0600);
        std::lock_guard lock(mutex_);
        published_[window] = Published{fd, base};
        ensureThread();
        wakeLocked();
    }

    void withdraw(HWND window) {
        std::lock_guard lock(mutex_);
        auto it = published_.find(window);
        if (it == published_.end()) return;
        ::unlink((it->second.socketPath + ".info").c_str());
        ::unlink(it->second.socketPath.c_str());
        closing_.push_back(it->second.fd);  // closed by the listener thread, which may be polling it
        published_.erase(it);
        wakeLocked();
    }

private:
    Listener() {
        if (::pipe2(wakePipe_, O_CLOEXEC | O_NONBLOCK) != 0) wakePipe_[0] = wakePipe_[1] = -1;
    }

    void ensureThread() {
        if (started_ || wakePipe_[0] < 0) return;
        started_ = true;
        std::thread([this] { run(); }).detach();
    }

    void wakeLocked() {
        if (wakePipe_[1] >= 0) {
            const char byte = 1;
            [[maybe_unused]] auto ignored = ::write(wakePipe_[1], &byte, 1);
        }
    }

    void run() {
        while (true) {
            std::vector<pollfd> fds{{wakePipe_[0], POLLIN, 0}};
            std::vector<HWND> windows{nullptr};
            {
                std::lock_guard lock(mutex_);
                for (int fd : closing_) ::close(fd);
                closing_.clear();
                for (auto& [window, published] : published_) {
                    fds.push_back(pollfd{published.fd, POLLIN, 0});
                    windows.push_back(window);
                }
            }
            if (::poll(fds.data(), fds.size(), -1) < 0) continue;
            if (fds[0].revents) {
                char drain[64];
                while (::read(wakePipe_[0], drain, sizeof drain) > 0) {
                }
            }
            for (size_t i = 1; i < fds.size(); ++i) {
                if (!(fds[i].revents & POLLIN)) continue;
                {
                    std::lock_guard lock(mutex_);
                    if (!published_.count(windows[i])) continue;  // withdrawn meanwhile
                }
                const int client = ::accept4(fds[i].fd, nullptr, nullptr, SOCK_CLOEXEC);
                if (client < 0) continue;
                ServeWindowRequest(client, windows[i]);
                ::close(client);
            }
        }
    }

    std::mutex mutex_;
    std::map<HWND, Published> published_;
    std::vector<int> closing_;
    int wakePipe_[2] = {-1, -1};
    bool started_ = false;
    std::atomic<unsigned> counter_{0};
};

bool Deliver(const std::string& socketPath, const Request& request) {
    const int fd = ConnectTo(socketPath);
    if (fd < 0) return false;
    const bool sent = WriteExactly(fd, &request, sizeof request);
    ::close(fd);
    return sent;
}

}  // namespace

namespace {
// Made on first use: the window manager installs its handler during static initialisation.
struct HandlerSlot {
    std::mutex mutex;
    WindowRequestHandler handler;
};
HandlerSlot& Handler() {
    static HandlerSlot slot;
    return slot;
}
}  // namespace

void SetWindowRequestHandler(WindowRequestHandler handler) {
    std::lock_guard lock(Handler().mutex);
    Handler().handler = std::move(handler);
}

void ServeWindowRequest(int fd, HWND window) {
    Request request{};
    if (!ReadExactly(fd, &request, sizeof request, 1000) || request.magic != kMagic) return;
    if (request.kind != kPost && request.kind != kSend) return;
    WindowRequestHandler handler;
    {
        std::lock_guard lock(Handler().mutex);
        handler = Handler().handler;
    }
    const bool send = request.kind == kSend;
    const std::int64_t result =
        handler ? handler(window, send, request.message, WPARAM(request.wParam), LPARAM(request.lParam)) : 0;
    if (send) WriteExactly(fd, &result, sizeof result);
}

bool ProgramHasPublishedWindow(long processId) {
    const auto folder = RuntimeFolder();
    if (!folder) return false;
    const std::string prefix = PrefixOf(processId);
    std::error_code error;
    // The description beside the socket is written last: with it the window can be found.
    for (const auto& entry : std::filesystem::directory_iterator(*folder, error))
        if (entry.path().extension() == ".info" && entry.path().filename().string().rfind(prefix, 0) == 0) return true;
    return false;
}

void PublishWindow(HWND window, const std::string& className, const std::string& title) {
    Listener::instance().publish(window, className, title);
}

void WithdrawWindow(HWND window) { Listener::instance().withdraw(window); }

bool IsRemoteWindowAlive(const std::string& socketPath) {
    const int fd = ConnectTo(socketPath);
    if (fd < 0) return false;
    ::close(fd);
    return true;
}

std::vector<RemoteWindowInfo> ListRemoteWindows() {
    std::vector<RemoteWindowInfo> windows;
    auto folder = RuntimeFolder();
    if (!folder) return windows;
    const std::string ownPrefix = OwnPrefix();
    std::error_code error;
    for (const auto& entry : fs::directory_iterator(*folder, error)) {
        const fs::path& path = entry.path();
        if (path.extension() != ".info" || path.filename().string().rfind(ownPrefix, 0) == 0) continue;
        const std::string socketPath = (path.parent_path() / path.stem()).string();
        std::ifstream in(path);
        RemoteWindowInfo info{socketPath, {}, {}};
        if (!std::getline(in, info.className) || !std::getline(in, info.title)) continue;
        const int fd = ConnectTo(socketPath);
        if (fd < 0) {
            if (errno == ECONNREFUSED || errno == ENOENT) {  // its program is gone
                ::unlink(path.c_str());
                ::unlink(socketPath.c_str());
            }
            continue;
        }
        ::close(fd);
        windows.push_back(std::move(info));
    }
    return windows;
}

bool RemotePostMessage(const std::string& socketPath, UINT message, WPARAM wParam, LPARAM lParam) {
    return Deliver(socketPath, Request{kMagic, kPost, message, 0, std::uint64_t(wParam), std::int64_t(lParam)});
}

std::optional<LRESULT> RemoteSendMessage(const std::string& socketPath, UINT message, WPARAM wParam, LPARAM lParam,
                                         std::uint32_t timeoutMs) {
    const int fd = ConnectTo(socketPath);
    if (fd < 0) return std::nullopt;
    const Request request{kMagic, kSend, message, 0, std::uint64_t(wParam), std::int64_t(lParam)};
    std::int64_t result = 0;
    const bool answered = WriteExactly(fd, &request, sizeof request) && ReadExactly(fd, &result, sizeof result, int(timeoutMs));
    ::close(fd);
    if (!answered) return std::nullopt;
    return LRESULT(result);
}

}  // namespace platform
