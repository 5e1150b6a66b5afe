#include <gtest/gtest.h>

#include "hack_target.h"

using namespace saver;

namespace {

std::optional<std::uint64_t> Window(const std::vector<std::string>& arguments, const char* daemonWindow = nullptr) {
    const HackChoice choice = FindHackTarget(arguments, daemonWindow);
    EXPECT_TRUE(choice.error.empty()) << choice.error;
    if (!choice.host) return std::nullopt;
    return choice.host->window;
}

}  // namespace

TEST(HackTargetTest, TheWindowComesFromTheArgumentsOrTheDaemon) {
    EXPECT_EQ(Window({"saver", "-window-id", "0x1a00003"}), 0x1a00003u);
    EXPECT_EQ(Window({"saver", "-window-id", "27262979"}), 27262979u);
    EXPECT_EQ(Window({"saver", "-root"}), 0u);  // the root window
    EXPECT_EQ(Window({"saver", "-root"}, "0x2b"), 0x2bu);
    EXPECT_EQ(Window({"saver", "-window-id", "7"}, "0x2b"), 7u);  // named on the command line wins
    EXPECT_EQ(Window({"saver"}, "43"), 43u);
    // The saver's own modes stay themselves.
    EXPECT_EQ(Window({"saver", "/s"}, "43"), std::nullopt);
    EXPECT_EQ(Window({"saver", "/p", "1234"}), std::nullopt);
    EXPECT_EQ(Window({"saver"}), std::nullopt);
    EXPECT_EQ(Window({"saver"}, ""), std::nullopt);
}

TEST(HackTargetTest, AWindowIdThatIsNoNumberIsRefused) {
    for (const char* bad : {"0xzz", "12a", "", "0", "-5", "0x", "99999999999999999999999"})
        EXPECT_FALSE(FindHackTarget({"saver", "-window-id", bad}, nullptr).error.empty()) << bad;
    EXPECT_FALSE(FindHackTarget({"saver", "-window-id"}, nullptr).error.empty());
    EXPECT_FALSE(FindHackTarget({"saver", "-root"}, "window").error.empty());
}
