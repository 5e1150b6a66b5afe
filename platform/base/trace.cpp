#include "trace.h"

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace platform {

void DebugTrace(const char* format, ...) {
    static const bool enabled = [] {
        const char* value = std::getenv("KELVANE_DEBUG");
        return value && std::strcmp(value, "1") == 0;
    }();
    if (!enabled) return;
    va_list arguments;
    va_start(arguments, format);
    std::vfprintf(stderr, format, arguments);
    va_end(arguments);
    std::fputc('\n', stderr);
}

}  // namespace platform
