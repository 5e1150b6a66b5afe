#include "run_command.h"

#include <cerrno>
#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include "programs.h"

extern char** environ;

namespace platform {

namespace {

// Reads the child's output until it closes its end or the deadline passes; false on the deadline.
bool ReadUntilClosed(int fd, std::string& output, std::chrono::steady_clock::time_point deadline) {
    char buffer[4096];
    for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) return false;
        pollfd ready{fd, POLLIN, 0};
        const int polled = ::poll(&ready, 1, int(left.count()));
        if (polled < 0 && errno == EINTR) continue;
        if (polled <= 0) return polled == 0 ? false : true;
        const ssize_t count = ::read(fd, buffer, sizeof buffer);
        if (count < 0 && errno == EINTR) continue;
        if (count <= 0) return true;
        output.append(buffer, size_t(count));
    }
}

}  // namespace

std::optional<CommandResult> RunCommand(const std::vector<std::string>& arguments, int timeoutMs) {
    if (arguments.empty()) return std::nullopt;
    const auto program = FindProgram(arguments[0]);
    if (!program) return std::nullopt;
    int pipeEnds[2];
    if (::pipe2(pipeEnds, O_CLOEXEC) != 0) return std::nullopt;

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, pipeEnds[1], 1);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    std::vector<std::string> copies = arguments;
    std::vector<char*> argv;
    for (std::string& argument : copies) argv.push_back(argument.data());
    argv.push_back(nullptr);
    pid_t child = 0;
    const bool started = ::posix_spawn(&child, program->c_str(), &actions, nullptr, argv.data(), environ) == 0;
    posix_spawn_file_actions_destroy(&actions);
    ::close(pipeEnds[1]);
    if (!started) {
        ::close(pipeEnds[0]);
        return std::nullopt;
    }

    CommandResult result;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    const bool finished = ReadUntilClosed(pipeEnds[0], result.output, deadline);
    ::close(pipeEnds[0]);
    if (!finished) ::kill(child, SIGKILL);
    int status = 0;
    while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    if (!finished) return std::nullopt;
    result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return result;
}

}  // namespace platform
