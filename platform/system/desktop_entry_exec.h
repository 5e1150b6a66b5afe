// The Exec key of a desktop entry, taken apart as the Desktop Entry Specification says: the
// string escapes, then double-quoted arguments with their backslash escapes, then field codes.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

// The string escapes of a desktop entry value (\s \n \t \r \\) undone.
std::string UnescapeDesktopValue(std::string_view value);

// The program and its arguments, with %f %F %u %U standing for the parameter (which is appended
// when no such code appears), %% for "%", and the other codes dropped. Nothing for a line that
// is malformed (an unterminated quote, a stray escape) or names no program.
std::optional<std::vector<std::string>> ExpandExec(std::string_view exec, const std::string& parameter);

}  // namespace platform
