#include "shell.h"

#include <array>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <spawn.h>
#include <sstream>
#include <sys/wait.h>
#include <vector>

#include "desktop_entry_exec.h"
#include "programs.h"

extern char** environ;

namespace platform {
namespace fs = std::filesystem;
namespace {

// The first line a command prints, or nothing when it cannot run.
std::string FirstLineOf(const std::string& program, const std::vector<std::string>& arguments) {
    auto path = FindProgram(program);
    if (!path) return {};
    int pipeFds[2];
    if (::pipe(pipeFds) != 0) return {};
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, pipeFds[1], STDOUT_FILENO);
    posix_spawn_file_actions_addclose(&actions, pipeFds[0]);
    std::vector<std::string> storage{path->string()};
    storage.insert(storage.end(), arguments.begin(), arguments.end());
    std::vector<char*> argv;
    for (auto& argument : storage) argv.push_back(argument.data());
    argv.push_back(nullptr);
    pid_t child = 0;
    const bool started = ::posix_spawn(&child, path->c_str(), &actions, nullptr, argv.data(), environ) == 0;
    posix_spawn_file_actions_destroy(&actions);
    ::close(pipeFds[1]);
    std::string output;
    char buffer[512];
    ssize_t count;
    while (started && (count = ::read(pipeFds[0], buffer, sizeof buffer)) > 0) output.append(buffer, size_t(count));
    ::close(pipeFds[0]);
    if (started) ::waitpid(child, nullptr, 0);
    return output.substr(0, output.find('\n'));
}

// The Exec line of a desktop entry found in the XDG data folders.
std::string DesktopEntryCommand(const std::string& entry) {
    std::vector<fs::path> folders;
    const char* home = std::getenv("XDG_DATA_HOME");
    const char* user = std::getenv("HOME");
    folders.push_back(home && *home ? fs::path(home) : fs::path(user ? user : "/tmp") / ".local/share");
    const char* dirs = std::getenv("XDG_DATA_DIRS");
    std::stringstream list(dirs && *dirs ? dirs : "/usr/local/share:/usr/share");
    for (std::string folder; std::getline(list, folder, ':');)
        if (!folder.empty()) folders.emplace_back(folder);
    for (const fs::path& folder : folders) {
        std::ifstream file(folder / "applications" / entry);
        for (std::string line; std::getline(file, line);)
            if (line.rfind("Exec=", 0) == 0) return UnescapeDesktopValue(line.substr(5));
    }
    return {};
}

// Where the desktop cannot say (no xdg-open), the browser the user names in $BROWSER (the first of
// its list; "%s" stands for the address), else the ones Debian's alternatives name.
std::string FallbackBrowserCommand() {
    if (const char* named = std::getenv("BROWSER"); named && *named) {
        std::string command(named);
        command = command.substr(0, command.find(':'));
        const size_t placeholder = command.find("%s");
        if (placeholder != std::string::npos) command.replace(placeholder, 2, "%u");
        else command += " %u";
        if (auto words = ExpandExec(command, "x"); words && FindProgram((*words)[0])) return command;
    }
    for (const char* program : {"sensible-browser", "x-www-browser"})
        if (FindProgram(program)) return std::string(program) + " %u";
    return {};
}

}  // namespace

UINT FindExecutable(const std::string& file, const std::string&, std::string& commandLine) {
    commandLine.clear();
    if (!fs::exists(file)) return 2;
    const std::string kind = FirstLineOf("xdg-mime", {"query", "filetype", file});
    const std::string entry = FirstLineOf("xdg-mime", {"query", "default", kind.empty() ? "text/html" : kind});
    if (!entry.empty()) commandLine = DesktopEntryCommand(entry);
    if (commandLine.empty() && FindProgram("xdg-open")) commandLine = "xdg-open %u";
    if (commandLine.empty()) commandLine = FallbackBrowserCommand();
    return commandLine.empty() ? 31 : 42;
}

UINT ShellExecute(HWND, const char*, const std::string& commandLine, const std::string& parameter,
                  const std::string& directory, int) {
    // The desktop entry's words, the placeholder (%u, %U, %f or %F) becoming the parameter.
    auto words = ExpandExec(commandLine, parameter);
    if (!words) return 2;
    auto program = FindProgram((*words)[0]);
    if (!program) return 2;
    // A program that cannot be started (not executable, a missing interpreter) is a failure.
    return StartDetached(*program, std::move(*words), directory) ? 42 : 0;
}

}  // namespace platform
