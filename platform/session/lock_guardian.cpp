#include "lock_guardian.h"

#include <QCoreApplication>
#include <cerrno>
#include <cstring>
#include <vector>
#include <cstdio>
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include "screen_locker.h"
#include "trace.h"

extern char** environ;

namespace platform {

namespace {

constexpr char kReleased = 'R';

}  // namespace

std::unique_ptr<LockGuardian> LockGuardian::Start(const std::string& lockCommand) {
    int ends[2];
    if (::pipe2(ends, O_CLOEXEC) != 0) return nullptr;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, ends[0], kLockGuardianPipe);  // the copy is kept across exec
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    // A session of its own: a signal to the saver's process group does not reach it.
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSID);
    std::string self = "/proc/self/exe";
    std::vector<char*> arguments{self.data(), const_cast<char*>(kLockGuardianSwitch)};
    std::string command = lockCommand;
    if (!command.empty()) arguments.push_back(command.data());
    arguments.push_back(nullptr);
    pid_t pid = 0;
    const int error = posix_spawn(&pid, self.c_str(), &actions, &attributes, arguments.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attributes);
    ::close(ends[0]);
    if (error != 0) {
        ::close(ends[1]);
        DebugTrace("lock: the guardian did not start (%s)", std::strerror(error));
        return nullptr;
    }
    return std::unique_ptr<LockGuardian>(new LockGuardian(ends[1], pid));
}

LockGuardian::~LockGuardian() {
    if (pipe_ >= 0) ::close(pipe_);
    // Not waited for when it locks: it is of its own session, and init takes it in.
}

void LockGuardian::release() {
    if (pipe_ < 0) return;
    const char released = kReleased;
    while (::write(pipe_, &released, 1) < 0 && errno == EINTR) {
    }
    ::close(pipe_);
    pipe_ = -1;
    ::waitpid(pid_, nullptr, 0);
}

int RunLockGuardian(int argc, char** argv) {
    ::signal(SIGINT, SIG_IGN);  // a terminal's Ctrl+C meant for the saver
    ::signal(SIGHUP, SIG_IGN);
    // The locker is chosen while the saver is still this process's parent: what started the saver
    // decides (run as xss-lock's locker, logind's Lock would start the saver again).
    QCoreApplication application(argc, argv);
    const auto locker = ScreenLocker::Find(argc > 2 ? argv[2] : "");
    char word = 0;
    ssize_t count;
    while ((count = ::read(kLockGuardianPipe, &word, 1)) < 0 && errno == EINTR) {
    }
    if (count == 1 && word == kReleased) return 0;
    // The saver is gone without a word: lock now.
    if (!locker) {
        std::fprintf(stderr, "kelvane-saver: the saver ended unexpectedly and no screen locker was found to lock the session\n");
        return 1;
    }
    int status = 1;
    locker->lock([&](bool locked, const std::string& why) {
        if (!locked) std::fprintf(stderr, "kelvane-saver: the saver ended unexpectedly; %s\n", why.c_str());
        status = locked ? 0 : 1;
        QCoreApplication::quit();
    });
    if (locker->locking()) QCoreApplication::exec();
    return status;
}

}  // namespace platform
