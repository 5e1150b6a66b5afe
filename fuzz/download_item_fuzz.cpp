// The download manager's answers come from another program: any text must format without harm,
// and what is shown must come from the text (two of its fields, at most, and the separators).
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "marquee_format.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string item(reinterpret_cast<const char*>(data), size);
    for (bool first : {true, false}) {
        const std::string shown = marquee::FormatGetRightItem(item, first);
        const std::string prefix = first ? "" : " / ";
        if (shown.size() > item.size() + prefix.size() + 1) std::abort();
        if (shown.compare(0, prefix.size(), prefix) != 0) std::abort();
        const size_t blank = item.find('|') == std::string::npos ? prefix.size() : item.find('|') + prefix.size();
        if (shown[blank] != ' ') std::abort();
    }
    return 0;
}
