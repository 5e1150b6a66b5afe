// The desktop shell: which program opens a kind of file, and starting a program with parameters.
#pragma once

#include <string>

#include "win_types.h"

namespace platform {

// The program the desktop associates with the file's kind (web pages: the browser), found
// through xdg-mime and the desktop entries, else xdg-open. Above 32 when found, with the
// command line (the placeholder "%u" stands where the address goes); 31 when none is.
UINT FindExecutable(const std::string& file, const std::string& directory, std::string& commandLine);
// Starts the command line with the parameter in its placeholder (or appended). Above 32 on success.
UINT ShellExecute(HWND owner, const char* verb, const std::string& commandLine, const std::string& parameter,
                  const std::string& directory, int show);

}  // namespace platform
