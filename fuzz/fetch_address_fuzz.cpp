// Picture addresses come from the source list a person edits: taking one apart must hold for
// any text, and what it gives must describe the text it came from.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "image_fetcher.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string url(reinterpret_cast<const char*>(data), size);
    const auto address = sources::ParseFetchAddress(url);
    if (!address) return 0;
    if (address->server.empty()) std::abort();
    if (!address->path.empty() && address->path.front() != '/') std::abort();
    if (address->server.find('/') != std::string::npos) std::abort();
    if (url.find(address->server) == std::string::npos || url.find(address->path) == std::string::npos) std::abort();
    return 0;
}
