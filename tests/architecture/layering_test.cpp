// The code's folders stand in layers: a file may include headers of its own folder and of folders
// in lower layers only. Peers in one layer do not include each other. The layers are the ones the
// README's layout table gives.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <regex>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

const std::map<std::string, int> kLayers{
    {"platform/base", 0},     {"platform/registry", 1}, {"platform/net", 1},     {"platform/graphics", 1},
    {"platform/ipc", 1},      {"platform/windowing", 2}, {"platform/display", 3}, {"platform/system", 3},
    {"platform/session", 3},  {"platform/harness", 4},   {"resources", 5},        {"settings", 5},
    {"imaging", 6},           {"sources", 7},            {"marquee", 8},          {"desktop", 8},
    {"saver", 9},
    {"config", 10},           {"music", 6},              {"icontext", 9},         {"idle", 6},
};
// Program entry points stand above every library.
const std::vector<std::string> kPrograms{"saver/main.cpp", "music/main.cpp", "icontext/main.cpp"};

struct Violation {
    std::string file, header, reason;
};

std::string Relative(const fs::path& path) { return fs::relative(path, KELVANE_SOURCE_DIR).generic_string(); }

// Which folder of the table holds each header, by its file name.
std::map<std::string, std::string> HeaderFolders() {
    std::map<std::string, std::string> folders;
    for (const auto& [folder, layer] : kLayers)
        for (const auto& entry : fs::directory_iterator(fs::path(KELVANE_SOURCE_DIR) / folder))
            if (entry.path().extension() == ".h") folders[entry.path().filename().string()] = folder;
    return folders;
}

std::vector<Violation> Violations() {
    const auto headers = HeaderFolders();
    const std::regex include(R"re(^\s*#\s*include\s*"([^"]+)")re");
    std::vector<Violation> found;
    for (const auto& [folder, layer] : kLayers) {
        for (const auto& entry : fs::directory_iterator(fs::path(KELVANE_SOURCE_DIR) / folder)) {
            const std::string extension = entry.path().extension().string();
            if (extension != ".h" && extension != ".cpp") continue;
            const std::string file = Relative(entry.path());
            if (std::find(kPrograms.begin(), kPrograms.end(), file) != kPrograms.end()) continue;
            std::ifstream in(entry.path());
            std::smatch match;
            for (std::string line; std::getline(in, line);) {
                if (!std::regex_search(line, match, include)) continue;
                const std::string header = fs::path(match[1].str()).filename().string();
                const auto where = headers.find(header);
                if (where == headers.end() || where->second == folder) continue;
                const int theirs = kLayers.at(where->second);
                if (theirs > layer) found.push_back({file, header, "points up, into " + where->second});
                else if (theirs == layer) found.push_back({file, header, "reaches into its peer " + where->second});
            }
        }
    }
    return found;
}

}  // namespace

TEST(LayeringTest, IncludesPointDownOnly) {
    for (const Violation& violation : Violations())
        ADD_FAILURE() << violation.file << " includes " << violation.header << ": " << violation.reason;
}

TEST(LayeringTest, EveryCodeFolderHasItsLayer) {
    // A new folder of code must be placed in the table, or nothing checks it.
    for (const auto& entry : fs::recursive_directory_iterator(KELVANE_SOURCE_DIR)) {
        if (!entry.is_directory()) continue;
        const std::string folder = Relative(entry.path());
        const std::string top = folder.substr(0, folder.find('/'));
        if (top == "tests" || top == "bench" || top == "fuzz" || top == "tools" || top == "build" || top.empty() ||
            top[0] == '.' || folder == "platform")
            continue;
        bool hasCode = false;
        for (const auto& file : fs::directory_iterator(entry.path()))
            hasCode = hasCode || file.path().extension() == ".cpp" || file.path().extension() == ".h";
        if (hasCode) {
            EXPECT_TRUE(kLayers.count(folder)) << folder << " has code but no layer";
        }
    }
}
