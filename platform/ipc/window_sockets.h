// Windows of the suite's programs find and message each other through Unix sockets in the
// per-user runtime folder: one socket per top-level window, with its class and title beside it.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "win_types.h"

namespace platform {

struct RemoteWindowInfo {
    std::string socketPath;
    std::string className;
    std::string title;
};

// Makes a top-level window of this program reachable by the others.
void PublishWindow(HWND window, const std::string& className, const std::string& title);
void WithdrawWindow(HWND window);

// Whether the program with that process id has made a window reachable yet.
bool ProgramHasPublishedWindow(long processId);

// Live windows of the other programs; the sockets of programs that died are removed on the way.
std::vector<RemoteWindowInfo> ListRemoteWindows();
bool IsRemoteWindowAlive(const std::string& socketPath);

// How a request from another program reaches a window of this one (installed by the window
// manager): posted, or sent with its result going back.
using WindowRequestHandler = std::function<LRESULT(HWND window, bool send, UINT message, WPARAM wParam, LPARAM lParam)>;
void SetWindowRequestHandler(WindowRequestHandler handler);
// Reads one request another program sent on fd and hands it to the window; anything malformed
// is dropped.
void ServeWindowRequest(int fd, HWND window);

bool RemotePostMessage(const std::string& socketPath, UINT message, WPARAM wParam, LPARAM lParam);
// Nothing when the other program does not answer within the timeout.
std::optional<LRESULT> RemoteSendMessage(const std::string& socketPath, UINT message, WPARAM wParam, LPARAM lParam,
                                         std::uint32_t timeoutMs);

}  // namespace platform
