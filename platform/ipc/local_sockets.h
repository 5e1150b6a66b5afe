// Stream sockets in the per-user runtime folder, shared by the window messaging and the DDE
// conversations between the suite's programs.
#pragma once

#include <cstddef>
#include <filesystem>
#include <optional>
#include <string>

namespace platform {

// The runtime folder, private to this user; nothing when that cannot be ensured.
std::optional<std::filesystem::path> RuntimeFolder();

// A socket listening at path (a leftover file there is replaced), or -1.
int ListenAt(const std::string& path);
// A connected client socket, or -1 with errno telling why.
int ConnectTo(const std::string& path);

// Waits up to timeoutMs (-1: for ever) for data or the peer's end.
bool WaitReadable(int fd, int timeoutMs);
// Both false when the peer ends or nothing moves within timeoutMs: no byte arrives, or the peer
// reads nothing while the socket is full.
constexpr int kSocketWriteTimeoutMs = 2000;
bool ReadExactly(int fd, void* buffer, std::size_t size, int timeoutMs);
bool WriteExactly(int fd, const void* buffer, std::size_t size, int timeoutMs = kSocketWriteTimeoutMs);

// A length-prefixed text; reading refuses texts longer than maxSize.
bool WriteText(int fd, const std::string& text);
bool ReadText(int fd, std::string& text, std::size_t maxSize, int timeoutMs);

}  // namespace platform
