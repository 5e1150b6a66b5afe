// The registry file parser must take any text: a file a person edited, or one cut short, read
// whole or as far as it can be.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "reg_file.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    auto hive = platform::ParseRegFile(text, "HKEY_CURRENT_USER");
    auto lenient = platform::ReadRegFileLeniently(text, "HKEY_CURRENT_USER");
    // A file read whole reads the same either way; one read in part writes out whole.
    if (hive && (!lenient || lenient->damaged || !(lenient->hive == *hive))) std::abort();
    if (!lenient) return 0;
    // What was read must write out and read back as the same hive.
    const std::string written = platform::FormatRegFile(lenient->hive, "HKEY_CURRENT_USER");
    auto again = platform::ParseRegFile(written, "HKEY_CURRENT_USER");
    if (!again || !(*again == lenient->hive)) std::abort();
    return 0;
}
