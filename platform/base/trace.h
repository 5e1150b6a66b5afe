// Debug traces: printed on stderr only with KELVANE_DEBUG=1.
#pragma once

namespace platform {

void DebugTrace(const char* format, ...) __attribute__((format(printf, 1, 2)));

}  // namespace platform
