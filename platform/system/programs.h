// Starting the suite's programs by the names the system uses for them.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "win_types.h"

namespace platform {

// "MelodrinWC", "GlyphveilWC.exe" and "Kelvane Screen Saver.scr" map to the installed
// executables; any other name is taken as it stands.
std::string InstalledProgramName(const std::string& systemName);

// Finds an executable: beside the calling program first, then on PATH.
std::optional<std::filesystem::path> FindProgram(const std::string& executable);

// Splits a command line into the program (a known system name may contain blanks) and its arguments.
std::vector<std::string> SplitCommandLine(const std::string& commandLine);

// Starts the program found at path with the arguments (argument 0 included), in the folder when
// one is given, without waiting; its end is collected in the background. False when it could not start.
bool StartDetached(const std::filesystem::path& path, std::vector<std::string> arguments,
                   const std::string& folder = {});

// Starts the program and returns once it is ready for input: when it has made a window reachable
// or has ended, and after kProgramReadyTimeoutMs at most. Returns a value above 31 on success, 2
// when the program is not found, 0 when the system could not start it.
constexpr int kProgramReadyTimeoutMs = 5000;
UINT WinExec(const char* commandLine, int showCommand);

}  // namespace platform
