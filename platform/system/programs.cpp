#include "programs.h"

#include "text_compare.h"
#include "window_sockets.h"

#include <array>
#include <atomic>
#include <chrono>
#include <memory>
#include <optional>
#include <cstdlib>
#include <spawn.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ;

namespace platform {
namespace fs = std::filesystem;
namespace {

struct ProgramName {
    const char* system;
    const char* installed;
};

constexpr std::array<ProgramName, 3> kPrograms{{
    {"Kelvane Screen Saver.scr", "kelvane-saver"},
    {"MelodrinWC", "melodrin"},
    {"GlyphveilWC.exe", "glyphveil"},
}};

bool IsExecutable(const fs::path& path) {
    std::error_code error;
    return fs::is_regular_file(path, error) && ::access(path.c_str(), X_OK) == 0;
}

}  // namespace

std::string InstalledProgramName(const std::string& systemName) {
    for (const ProgramName& program : kPrograms)
        if (EqualsNoCase(systemName, program.system))
            return program.installed;
    return systemName;
}

std::optional<fs::path> FindProgram(const std::string& executable) {
    if (executable.find('/') != std::string::npos) {
        if (IsExecutable(executable)) return fs::path(executable);
        return std::nullopt;
    }
    std::error_code error;
    const fs::path self = fs::read_symlink("/proc/self/exe", error);
    if (!error && IsExecutable(self.parent_path() / executable)) return self.parent_path() / executable;
    const char* path = std::getenv("PATH");
    std::string folders = path ? path : "/usr/local/bin:/usr/bin:/bin";
    size_t start = 0;
    while (start <= folders.size()) {
        size_t end = folders.find(':', start);
        if (end == std::string::npos) end = folders.size();
        const fs::path candidate = fs::path(folders.substr(start, end - start)) / executable;
        if (end > start && IsExecutable(candidate)) return candidate;
        start = end + 1;
    }
    return std::nullopt;
}

std::vector<std::string> SplitCommandLine(const std::string& commandLine) {
    std::vector<std::string> parts;
    std::string rest = commandLine;
    while (!rest.empty() && rest.front() == ' ') rest.erase(0, 1);
    for (const ProgramName& program : kPrograms) {
        const std::string name = program.system;
        if (StartsWithNoCase(rest, name) && (rest.size() == name.size() || rest[name.size()] == ' ')) {
            parts.push_back(name);
            rest.erase(0, name.size());
            break;
        }
    }
    std::string current;
    bool quoted = false;
    for (char c : rest) {
        if (c == '"') {
            quoted = !quoted;
        } else if (c == ' ' && !quoted) {
            if (!current.empty()) parts.push_back(std::move(current));
            current.clear();
        } else {
            current.push_back(c);
        }
    }
    if (!current.empty()) parts.push_back(std::move(current));
    return parts;
}

namespace {

// Starts the program; its process id, or nothing. `ended` turns true when it has ended.
std::optional<pid_t> Spawn(const fs::path& path, std::vector<std::string> arguments, const std::string& folder,
                           std::shared_ptr<std::atomic<bool>> ended) {
    std::vector<char*> argv;
    for (std::string& argument : arguments) argv.push_back(argument.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (!folder.empty()) posix_spawn_file_actions_addchdir_np(&actions, folder.c_str());
    pid_t child = 0;
    const bool started = ::posix_spawn(&child, path.c_str(), &actions, nullptr, argv.data(), environ) == 0;
    posix_spawn_file_actions_destroy(&actions);
    if (!started) return std::nullopt;
    std::thread([child, ended] {  // no zombie left behind
        ::waitpid(child, nullptr, 0);
        ended->store(true);
    }).detach();
    return child;
}

}  // namespace

bool StartDetached(const fs::path& path, std::vector<std::string> arguments, const std::string& folder) {
    return Spawn(path, std::move(arguments), folder, std::make_shared<std::atomic<bool>>(false)).has_value();
}

UINT WinExec(const char* commandLine, int) {
    if (!commandLine) return 0;
    std::vector<std::string> parts = SplitCommandLine(commandLine);
    if (parts.empty()) return 2;
    auto program = FindProgram(InstalledProgramName(parts[0]));
    if (!program) return 2;
    parts[0] = program->string();
    auto ended = std::make_shared<std::atomic<bool>>(false);
    const auto child = Spawn(*program, std::move(parts), {}, ended);
    if (!child) return 0;
    // As on the other platform, the call returns once the program is ready for input: when it
    // has made its window reachable, or has ended, or after a few seconds at most.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kProgramReadyTimeoutMs);
    while (!ended->load() && !ProgramHasPublishedWindow(*child) && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    return 33;
}

}  // namespace platform
