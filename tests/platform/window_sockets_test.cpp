#include <gtest/gtest.h>

#include <fstream>
#include <thread>

#include <csignal>
#include <filesystem>

#include "eventually.h"
#include "child_process.h"
#include "temp_root.h"
#include "windows.h"

using namespace platform;
using testing_support::ChildProcess;
using testing_support::HelperPath;

namespace {

// A window_peer program with a window of the given title, ready to answer.
std::unique_ptr<ChildProcess> StartPeer(const std::string& title) {
    auto peer = std::make_unique<ChildProcess>(HelperPath("window_peer"), std::vector<std::string>{title},
                                               std::vector<std::string>{"KELVANE_DISPLAY=headless"});
    EXPECT_EQ(peer->readLine(20000), "ready");
    return peer;
}

size_t SocketFiles(const std::filesystem::path& folder) {
    size_t count = 0;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(folder, error)) {
        (void)entry;
        ++count;
    }
    return count;
}

// The state letter of /proc/PID/stat is T for a stopped process.
bool IsStopped(pid_t pid) {
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string text((std::istreambuf_iterator<char>(stat)), {});
    const size_t close = text.rfind(')');
    return close != std::string::npos && close + 2 < text.size() && text[close + 2] == 'T';
}

}  // namespace

TEST(WindowSocketsTest, AnotherProgramsWindowIsFoundAndAnswers) {
    testing_support::TempRoot root;
    auto peer = StartPeer("Peer Window");

    EXPECT_EQ(FindWindow(nullptr, "No Such Window"), nullptr);
    HWND remote = FindWindow(nullptr, "peer window");  // titles match without regard to case
    ASSERT_NE(remote, nullptr);
    EXPECT_EQ(FindWindow("PeerClass", nullptr), remote);
    EXPECT_EQ(GetWindowText(remote), "Peer Window");
    EXPECT_TRUE(IsWindow(remote));
    EXPECT_EQ(SendMessage(remote, WM_USER + 1, 21, 0), 42);
    EXPECT_TRUE(PostMessage(remote, WM_USER + 2, 5, 0));
    EXPECT_EQ(peer->readLine(10000), "posted 5");

    // The runtime folder is the user's alone.
    const auto runtime = root.path() / "run";
    EXPECT_EQ(std::filesystem::status(runtime).permissions() & std::filesystem::perms::all,
              std::filesystem::perms::owner_all);

    // WM_CLOSE ends the other program, and its socket goes with it.
    EXPECT_TRUE(PostMessage(remote, WM_CLOSE, 0, 0));
    EXPECT_EQ(peer->wait(20000), 0);
    EXPECT_FALSE(IsWindow(remote));
    EXPECT_EQ(FindWindow(nullptr, "Peer Window"), nullptr);
    EXPECT_EQ(SocketFiles(runtime), 0u);
}

TEST(WindowSocketsTest, ADeadProgramsWindowIsIgnoredAndItsSocketRemoved) {
    testing_support::TempRoot root;
    auto peer = StartPeer("Doomed");
    peer->kill(SIGKILL);
    peer->wait(5000);
    const auto runtime = root.path() / "run";
    EXPECT_EQ(SocketFiles(runtime), 2u);  // the socket and its description stay behind a killed program
    EXPECT_EQ(FindWindow(nullptr, "Doomed"), nullptr);
    EXPECT_EQ(SocketFiles(runtime), 0u);
}

TEST(WindowSocketsTest, ASendToAProgramThatNeverAnswersTimesOut) {
    testing_support::TempRoot root;
    auto peer = StartPeer("Frozen");
    HWND remote = FindWindow(nullptr, "Frozen");
    ASSERT_NE(remote, nullptr);
    peer->kill(SIGSTOP);
    // The stop is delivered asynchronously: wait until the kernel reports the peer stopped.
    testing_support::Eventually([&] { return IsStopped(peer->pid()); }, std::chrono::milliseconds(10000), std::chrono::milliseconds(10));
    ASSERT_TRUE(IsStopped(peer->pid()));
    const auto started = std::chrono::steady_clock::now();
    EXPECT_EQ(SendMessage(remote, WM_USER + 1, 21, 0), 0);
    const auto waited = std::chrono::steady_clock::now() - started;
    EXPECT_GE(waited, std::chrono::milliseconds(kCrossProgramSendTimeoutMs - 100));
    peer->kill(SIGKILL);
}
