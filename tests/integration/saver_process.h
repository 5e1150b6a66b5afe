// Runs kelvane-saver as a person or the screen-saver host would, with the harness variables.
#pragma once

#include <filesystem>
#include <map>
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
// Reads a settings value as the saver left it (-1 or empty when missing).
int ReadSetting(const char* name);
std::string ReadString(const char* name);
// The "key: value" lines of a state dump (the script's "state" action).
std::map<std::string, std::string> ReadState(const std::filesystem::path& file);

}  // namespace integration
