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

}  // namespace platform
