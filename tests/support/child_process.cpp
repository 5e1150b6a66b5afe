#include "child_process.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <filesystem>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ;

namespace testing_support {

ChildProcess::ChildProcess(const std::string& program, const std::vector<std::string>& arguments,
                           const std::vector<std::string>& extraEnvironment) {
    int pipeFds[2];
    if (::pipe2(pipeFds, O_CLOEXEC) != 0) return;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, pipeFds[1], STDOUT_FILENO);
    std::vector<std::string> argumentStorage{program};
    argumentStorage.insert(argumentStorage.end(), arguments.begin(), arguments.end());
    std::vector<char*> argv;
    for (auto& argument : argumentStorage) argv.push_back(argument.data());
    argv.push_back(nullptr);
    std::vector<std::string> environmentStorage;
    // The extra entries replace the test's own of the same name.
    const auto replaced = [&](const std::string& entry) {
        const std::string name = entry.substr(0, entry.find('=') + 1);
        return std::any_of(extraEnvironment.begin(), extraEnvironment.end(),
                           [&](const std::string& extra) { return extra.rfind(name, 0) == 0; });
    };
    for (char** entry = environ; *entry; ++entry)
        if (!replaced(*entry)) environmentStorage.emplace_back(*entry);
    environmentStorage.insert(environmentStorage.end(), extraEnvironment.begin(), extraEnvironment.end());
    std::vector<char*> envp;
    for (auto& entry : environmentStorage) envp.push_back(entry.data());
    envp.push_back(nullptr);
    if (::posix_spawn(&pid_, program.c_str(), &actions, nullptr, argv.data(), envp.data()) != 0) pid_ = -1;
    posix_spawn_file_actions_destroy(&actions);
    ::close(pipeFds[1]);
    output_ = pipeFds[0];
}

ChildProcess::~ChildProcess() {
    if (pid_ > 0 && !reaped_) {
        ::kill(pid_, SIGKILL);
        wait(5000);
    }
    if (output_ >= 0) ::close(output_);
}

std::string ChildProcess::readLine(int timeoutMs) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (true) {
        const size_t newline = buffered_.find('\n');
        if (newline != std::string::npos) {
            std::string line = buffered_.substr(0, newline);
            buffered_.erase(0, newline + 1);
            return line;
        }
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0 || output_ < 0) return {};
        pollfd entry{output_, POLLIN, 0};
        if (::poll(&entry, 1, int(left.count())) <= 0) continue;
        char chunk[4096];
        const ssize_t count = ::read(output_, chunk, sizeof chunk);
        if (count <= 0) {
            if (count < 0 && errno == EINTR) continue;
            std::string rest = std::move(buffered_);
            buffered_.clear();
            return rest;
        }
        buffered_.append(chunk, size_t(count));
    }
}

void ChildProcess::kill(int signal) {
    if (pid_ > 0 && !reaped_) ::kill(pid_, signal);
}

int ChildProcess::wait(int timeoutMs) {
    if (pid_ <= 0) return -1;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!reaped_) {
        int status = 0;
        const pid_t done = ::waitpid(pid_, &status, WNOHANG);
        if (done == pid_) {
            reaped_ = true;
            status_ = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
            break;
        }
        if (std::chrono::steady_clock::now() >= deadline) return -1;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return status_;
}

std::string HelperPath(const std::string& name) {
    return (std::filesystem::read_symlink("/proc/self/exe").parent_path() / name).string();
}

}  // namespace testing_support
