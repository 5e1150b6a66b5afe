// A C stdio file closed on scope exit.
#pragma once

#include <cstdio>
#include <memory>

namespace platform {

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};
using UniqueFile = std::unique_ptr<std::FILE, FileCloser>;

inline UniqueFile OpenFile(const char* path, const char* mode) { return UniqueFile(std::fopen(path, mode)); }

// The bytes from the file's position to its end (the position stays); -1 when unknown.
inline long RemainingBytes(std::FILE* file) {
    const long here = std::ftell(file);
    if (here < 0 || std::fseek(file, 0, SEEK_END) != 0) return -1;
    const long end = std::ftell(file);
    std::fseek(file, here, SEEK_SET);
    return end < here ? -1 : end - here;
}

}  // namespace platform
