// The guardian of a saver that locks when it ends: a small process of its own session that holds
// the read end of a pipe from the saver. The saver writes one byte before it ends in order (the
// lock is confirmed, or the user chose not to lock); when the pipe ends without it (a crash,
// SIGKILL, the out-of-memory killer), the guardian locks the session at once.
#pragma once

#include <memory>
#include <string>

namespace platform {

class LockGuardian {
public:
    // Starts this program as the guardian (`PROGRAM --lock-guardian [COMMAND]`, the pipe as its
    // descriptor 3); nothing when it cannot start.
    static std::unique_ptr<LockGuardian> Start(const std::string& lockCommand);
    // Without release() first, the guardian locks.
    ~LockGuardian();
    LockGuardian(const LockGuardian&) = delete;
    LockGuardian& operator=(const LockGuardian&) = delete;

    // The lock is confirmed, or not wanted: the guardian ends without locking.
    void release();

private:
    LockGuardian(int pipe, int pid) : pipe_(pipe), pid_(pid) {}
    int pipe_;
    int pid_;
};

constexpr const char* kLockGuardianSwitch = "--lock-guardian";
constexpr int kLockGuardianPipe = 3;

// The guardian's own run: waits on its pipe and locks when the saver ended without releasing it.
// Returns the process's exit status.
int RunLockGuardian(int argc, char** argv);

}  // namespace platform
