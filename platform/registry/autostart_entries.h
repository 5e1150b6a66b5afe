// The machine's Run key, the programs started at every log-on, realised as XDG autostart
// entries: each value of the key is also a desktop entry in the autostart folder.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace platform {

// The key, as code names it under HKEY_LOCAL_MACHINE.
constexpr const char* kLogOnRunKey = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run";
bool IsLogOnRunKey(const std::string& keyPath);

// The entry file that stands for a value of the key.
std::filesystem::path AutostartEntryPath(const std::string& valueName);

// Writes (replacing) the entry that starts the program at log-on; the command is the program's
// path, with or without surrounding quotes, given the arguments. False when the entry cannot be
// written.
bool WriteAutostartEntry(const std::string& valueName, const std::string& command,
                         const std::vector<std::string>& arguments = {});
// Removes the entry; true when there is none afterwards.
bool RemoveAutostartEntry(const std::string& valueName);

// A value as the Exec key of a desktop entry holds one argument: quoted where needed and
// escaped for the key file.
std::string DesktopEntryExecArgument(const std::string& argument);

}  // namespace platform
