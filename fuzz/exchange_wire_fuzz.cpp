// What another program sends over the suite's sockets is outside input: a window message
// request, or the frames of an exchange conversation. Any bytes must be read without harm, and
// a conversation must end when its frames are malformed. The first byte picks the kind.
#include <sys/socket.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>

#include "dde.h"
#include "headless_display.h"
#include "window_sockets.h"
#include "windows.h"

namespace {

// A connected pair: the input waits in one end, whose writing side is then closed.
struct Pair {
    int reader = -1, writer = -1;
    Pair(const std::uint8_t* data, std::size_t size) {
        int fds[2];
        if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, fds) != 0) std::abort();
        reader = fds[0];
        writer = fds[1];
        // Larger inputs than the socket holds are cut: a peer sending more waits for its reader.
        const int room = 1 << 20;
        ::setsockopt(writer, SOL_SOCKET, SO_SNDBUF, &room, sizeof room);
        for (std::size_t sent = 0; sent < size;) {
            const ssize_t count = ::send(writer, data + sent, size - sent, MSG_NOSIGNAL | MSG_DONTWAIT);
            if (count <= 0) break;
            sent += std::size_t(count);
        }
        ::shutdown(writer, SHUT_WR);
    }
    ~Pair() {
        ::close(reader);
        ::close(writer);
    }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace platform;
    if (size == 0) return 0;
    static HWND window = [] {
        SetDisplay(std::make_unique<HeadlessDisplay>(64, 48, 32));
        // Every message is taken and answered, none acted on: the window stays whatever comes.
        return CreateWindowEx(0, "FuzzPeer", "peer", WS_POPUP, 0, 0, 10, 10, nullptr, 0,
                              [](HWND, UINT message, WPARAM, LPARAM) -> LRESULT { return LRESULT(message); });
    }();
    const bool conversation = data[0] & 1;
    Pair pair(data + 1, size - 1);
    if (!conversation) {
        ServeWindowRequest(pair.reader, window);
        MSG message;
        while (PeekMessage(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessage(&message);
        return 0;
    }
    const std::vector<std::string> topics{"DownloadInfo", "WWW_OpenURL"};
    const DdeServer::Answer answer = [](const std::string& topic, const std::string& item) -> std::optional<std::string> {
        if (item.empty()) return std::nullopt;
        return topic + ":" + item;
    };
    DdeServerSession session;
    int frames = 0;
    while (ServeDdeFrame(pair.reader, session, topics, answer))
        if (++frames > 100000) std::abort();  // every frame consumes input: this cannot go on
    return 0;
}
