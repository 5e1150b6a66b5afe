// A server's answer is outside input: whatever bytes a peer sends as its response (status line,
// headers, lengths, encodings, a body cut anywhere), the picture fetcher must end with exactly one
// completion message, a result code it knows, and never more bytes than it holds. The bytes
// come from a real peer on the loopback interface, so the whole path below the fetcher runs.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "headless_display.h"
#include "image_fetcher.h"
#include "picture_store.h"
#include "internet.h"
#include "saver_messages.h"
#include "windows.h"

namespace {

// Answers every connection with the current answer: reads the request head, sends the bytes,
// closes. A redirect to itself is answered the same way, until the client gives up.
class RawPeer {
public:
    RawPeer() {
        listener_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        ::bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof address);
        ::listen(listener_, 16);
        socklen_t length = sizeof address;
        ::getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length);
        port_ = ntohs(address.sin_port);
        std::thread([this] { serve(); }).detach();  // lives as long as the fuzzing process
    }
    std::uint16_t port() const { return port_; }
    void setAnswer(std::string answer) {
        std::lock_guard lock(mutex_);
        answer_ = std::move(answer);
    }

private:
    void serve() {
        while (true) {
            const int client = ::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
            if (client < 0) continue;
            std::string head;
            char chunk[2048];
            while (head.find("\r\n\r\n") == std::string::npos && head.size() < 65536) {
                pollfd readable{client, POLLIN, 0};
                if (::poll(&readable, 1, 2000) <= 0) break;
                const ssize_t count = ::recv(client, chunk, sizeof chunk, 0);
                if (count <= 0) break;
                head.append(chunk, size_t(count));
            }
            std::string answer;
            {
                std::lock_guard lock(mutex_);
                answer = answer_;
            }
            for (size_t sent = 0; sent < answer.size();) {
                const ssize_t count = ::send(client, answer.data() + sent, answer.size() - sent, MSG_NOSIGNAL);
                if (count <= 0) break;
                sent += size_t(count);
            }
            ::shutdown(client, SHUT_WR);
            ::close(client);
        }
    }

    int listener_ = -1;
    std::uint16_t port_ = 0;
    std::mutex mutex_;
    std::string answer_;
};

struct Outcome {
    bool done = false;
    int completions = 0;
    std::uintptr_t bytes = 0;
    std::intptr_t result = -1;
};
Outcome gOutcome;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace platform;
    static RawPeer peer;
    static HWND owner = [] {
        SetDisplay(std::make_unique<HeadlessDisplay>(64, 48, 32));
        SetInternetTimeouts({2, 1, 1, 4});
        return CreateWindowEx(0, "FuzzOwner", "owner", WS_POPUP, 0, 0, 10, 10, nullptr, 0,
                              [](HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) -> LRESULT {
                                  if (sources::IsFetchDoneMessage(message)) {
                                      ++gOutcome.completions;
                                      gOutcome.bytes = wParam;
                                      gOutcome.result = lParam;
                                      gOutcome.done = true;
                                  }
                                  return DefWindowProc(hwnd, message, wParam, lParam);
                              });
    }();
    static sources::FetchState state;
    static sources::CImageFetcher fetcher(state);
    fetcher.SetOwner(owner);

    gOutcome = Outcome{};
    state.CancelRequested = 0;
    state.FetchImageDate = "Tue, 01 Jan 2002 10:00:00 GMT";
    fetcher.ReleaseBuffer();
    peer.setAnswer(std::string(reinterpret_cast<const char*>(data), size));
    if (fetcher.StartFetch("http://127.0.0.1:" + std::to_string(peer.port()) + "/p.jpg", "") != 0) std::abort();
    MSG message;
    while (!gOutcome.done && GetMessage(&message, nullptr, 0, 0) > 0) DispatchMessage(&message);
    // Whatever the messages still waiting say, there was one ending.
    while (PeekMessage(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessage(&message);
    if (gOutcome.completions != 1) std::abort();
    const std::intptr_t result = gOutcome.result;
    if (result < 0 || result > 7 || result == 3) std::abort();
    if (result == sources::kFetchSuccess && (!fetcher.HoldsBuffer() || gOutcome.bytes > sources::kMaxPictureBytes))
        std::abort();
    if (fetcher.HoldsBuffer()) {
        // The bytes the fetcher reports are readable.
        volatile std::uint8_t sum = 0;
        for (std::uintptr_t i = 0; i < gOutcome.bytes; ++i) sum = std::uint8_t(sum + fetcher.Buffer()[i]);
    }
    return 0;
}
