// Starting helper programs from tests and reading what they print.
#pragma once

#include <string>
#include <sys/types.h>
#include <vector>

namespace testing_support {

class ChildProcess {
public:
    // Starts the program with the arguments; its standard output comes through a pipe.
    ChildProcess(const std::string& program, const std::vector<std::string>& arguments,
                 const std::vector<std::string>& extraEnvironment = {});
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    pid_t pid() const { return pid_; }
    // A line of the child's output, or empty at its end or after the timeout.
    std::string readLine(int timeoutMs);
    void kill(int signal);
    // Waits for the end; returns the exit status (128 + signal when killed), or -1 on timeout.
    int wait(int timeoutMs);

private:
    pid_t pid_ = -1;
    int output_ = -1;
    std::string buffered_;
    bool reaped_ = false;
    int status_ = 0;
};

// Where the test programs were built (beside the running test).
std::string HelperPath(const std::string& name);

}  // namespace testing_support
