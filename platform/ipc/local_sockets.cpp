#include "local_sockets.h"

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include "user_folders.h"

namespace platform {
namespace fs = std::filesystem;
namespace {

bool FillAddress(const std::string& path, sockaddr_un& address) {
    std::memset(&address, 0, sizeof address);
    address.sun_family = AF_UNIX;
    if (path.size() >= sizeof address.sun_path) return false;
    std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
    return true;
}

}  // namespace

std::optional<fs::path> RuntimeFolder() {
    const fs::path folder = GetUserFolders().runtime;
    if (!EnsureFolder(folder, fs::perms::owner_all)) return std::nullopt;
    struct stat info {};
    if (::lstat(folder.c_str(), &info) != 0 || !S_ISDIR(info.st_mode) || info.st_uid != ::getuid()) return std::nullopt;
    return folder;
}

int ListenAt(const std::string& path) {
    sockaddr_un address;
    if (!FillAddress(path, address)) return -1;
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return -1;
    ::unlink(path.c_str());
    if (::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 || ::listen(fd, 16) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

int ConnectTo(const std::string& path) {
    sockaddr_un address;
    if (!FillAddress(path, address)) {
        errno = ENAMETOOLONG;
        return -1;
    }
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return -1;
    if (::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        const int saved = errno;
        ::close(fd);
        errno = saved;
        return -1;
    }
    return fd;
}

bool WaitReadable(int fd, int timeoutMs) {
    pollfd entry{fd, POLLIN, 0};
    int ready;
    do ready = ::poll(&entry, 1, timeoutMs);
    while (ready < 0 && errno == EINTR);
    return ready > 0;
}

bool ReadExactly(int fd, void* buffer, std::size_t size, int timeoutMs) {
    auto* bytes = static_cast<char*>(buffer);
    while (size > 0) {
        if (!WaitReadable(fd, timeoutMs)) return false;
        const ssize_t count = ::read(fd, bytes, size);
        if (count <= 0) {
            if (count < 0 && errno == EINTR) continue;
            return false;
        }
        bytes += count;
        size -= std::size_t(count);
    }
    return true;
}

bool WriteExactly(int fd, const void* buffer, std::size_t size, int timeoutMs) {
    const auto* bytes = static_cast<const char*>(buffer);
    while (size > 0) {
        const ssize_t count = ::send(fd, bytes, size, MSG_NOSIGNAL | MSG_DONTWAIT);
        if (count < 0) {
            if (errno == EINTR) continue;
            if (errno != EAGAIN && errno != EWOULDBLOCK) return false;
            // A peer that does not read what it asked for is given its time, then left.
            pollfd entry{fd, POLLOUT, 0};
            int ready;
            do ready = ::poll(&entry, 1, timeoutMs);
            while (ready < 0 && errno == EINTR);
            if (ready <= 0) return false;
            continue;
        }
        bytes += count;
        size -= std::size_t(count);
    }
    return true;
}

bool WriteText(int fd, const std::string& text) {
    const auto size = std::uint32_t(text.size());
    return WriteExactly(fd, &size, sizeof size) && WriteExactly(fd, text.data(), text.size());
}

bool ReadText(int fd, std::string& text, std::size_t maxSize, int timeoutMs) {
    std::uint32_t size = 0;
    if (!ReadExactly(fd, &size, sizeof size, timeoutMs) || size > maxSize) return false;
    text.assign(size, '\0');
    return ReadExactly(fd, text.data(), size, timeoutMs);
}

}  // namespace platform
