// Running a desktop tool to its end and reading what it printed.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace platform {

struct CommandResult {
    int exitCode = -1;   // -1 when it ended on a signal
    std::string output;  // what it printed on stdout
};

// Runs arguments[0] (found as FindProgram finds programs) with the rest as its arguments, input
// from /dev/null and its complaints dropped. Waits timeoutMs at most, then ends it. Nothing when
// the program is missing, could not start or did not finish in time.
std::optional<CommandResult> RunCommand(const std::vector<std::string>& arguments, int timeoutMs = 10000);

// The exit code is 0.
inline bool Succeeded(const std::optional<CommandResult>& result) { return result && result->exitCode == 0; }

}  // namespace platform
