#include "fresh_file.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {

int CreateFreshFile(const std::filesystem::path& path, mode_t mode) {
    ::unlink(path.c_str());
    return ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, mode);
}

bool WriteAllBytes(int fd, const void* bytes, size_t size) {
    const char* next = static_cast<const char*>(bytes);
    while (size > 0) {
        const ssize_t written = ::write(fd, next, size);
        if (written < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        if (written == 0) return false;
        next += written;
        size -= size_t(written);
    }
    return true;
}

bool ReplaceFileWhole(const std::filesystem::path& target, std::string_view bytes, mode_t mode, bool syncFolder) {
    return ReplaceFileWhole(target, {bytes}, mode, syncFolder);
}

bool ReplaceFileWhole(const std::filesystem::path& target, std::initializer_list<std::string_view> pieces, mode_t mode,
                      bool syncFolder) {
    const std::filesystem::path temporary = target.string() + ".tmp";
    const int fd = CreateFreshFile(temporary, mode);
    if (fd < 0) return false;
    // The mode is exact whatever the umask (a picture others may read, settings only the owner).
    bool written = true;
    for (std::string_view piece : pieces) written = written && WriteAllBytes(fd, piece.data(), piece.size());
    written = written && ::fchmod(fd, mode) == 0 && ::fsync(fd) == 0;
    if (::close(fd) != 0 || !written || ::rename(temporary.c_str(), target.c_str()) != 0) {
        ::unlink(temporary.c_str());
        return false;
    }
    if (syncFolder) {
        const int folder = ::open(target.parent_path().c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (folder >= 0) {
            ::fsync(folder);
            ::close(folder);
        }
    }
    return true;
}

}  // namespace platform
