// Runs kelvane-saver as a person or the screen-saver host would, with the harness variables.
#pragma once

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "child_process.h"
#include "temp_root.h"

namespace integration {

struct SaverRun {
    std::vector<std::string> arguments;
    std::string script;                    // lines of KELVANE_SCRIPT
    std::vector<std::string> environment;  // more NAME=VALUE entries
};

// Starts the saver with its own root (KELVANE_ROOT of the test) and the script written beside it.
std::unique_ptr<testing_support::ChildProcess> StartSaver(const testing_support::TempRoot& root, const SaverRun& run);

// Writes a settings value of the saver before it starts.
void StoreSetting(const char* name, int value);
void StoreString(const char* name, const std::string& value);

}  // namespace integration
