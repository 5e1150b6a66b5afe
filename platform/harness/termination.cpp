#include "termination.h"

#include <csignal>
#include <pthread.h>
#include <fcntl.h>
#include <memory>
#include <thread>
#include <unistd.h>

#include "clock.h"
#include "harness.h"
#include "message_queue.h"

namespace platform {

namespace {

int gSignalPipe[2] = {-1, -1};
volatile std::sig_atomic_t gSignalled = 0;  // the signal that asked for the end, 0 for none

void OnSignal(int number) {
    if (gSignalled) {  // asked twice: the orderly end did not come
        std::signal(number, SIG_DFL);
        std::raise(number);
        return;
    }
    gSignalled = number;
    const char byte = char(number);
    [[maybe_unused]] auto written = ::write(gSignalPipe[1], &byte, 1);
}

}  // namespace

void EndOnTerminationSignals() {
    if (gSignalPipe[0] >= 0 || ::pipe2(gSignalPipe, O_CLOEXEC) != 0) return;
    std::shared_ptr<MessageQueue> mainQueue = MessageQueue::currentShared();
    std::thread([mainQueue] {
        char byte;
        while (::read(gSignalPipe[0], &byte, 1) < 0) {
        }
        mainQueue->schedule(Clock::instance().nowMicros(), RequestProgramEnd);
    }).detach();
    struct sigaction action {};
    action.sa_handler = OnSignal;
    sigemptyset(&action.sa_mask);
    for (int number : {SIGTERM, SIGINT, SIGHUP}) sigaction(number, &action, nullptr);
}

bool EndAskedBySignal() { return gSignalled != 0; }

void EndBySignalIfAsked() {
    const int number = gSignalled;
    if (!number) return;
    struct sigaction action {};
    action.sa_handler = SIG_DFL;
    sigemptyset(&action.sa_mask);
    sigaction(number, &action, nullptr);
    sigset_t unblocked;
    sigemptyset(&unblocked);
    sigaddset(&unblocked, number);
    pthread_sigmask(SIG_UNBLOCK, &unblocked, nullptr);
    std::raise(number);
}

}  // namespace platform
