#include <gtest/gtest.h>

#include "desktop_entry_exec.h"

using platform::ExpandExec;
using platform::UnescapeDesktopValue;
using Words = std::vector<std::string>;

TEST(DesktopEntryExecTest, QuotedArgumentsKeepTheirBlanksAndLoseTheirEscapes) {
    EXPECT_EQ(ExpandExec(R"("/opt/My Browser/run" --new-window %u)", "http://a/"),
              (Words{"/opt/My Browser/run", "--new-window", "http://a/"}));
    EXPECT_EQ(ExpandExec(R"(sh -c "echo \"\$1\" \\ \`x\`" %U)", "http://b/"),
              (Words{"sh", "-c", R"(echo "$1" \ `x`)", "http://b/"}));
    EXPECT_EQ(ExpandExec(R"(a"b c"d)", "p"), (Words{"ab cd", "p"}));
    EXPECT_EQ(ExpandExec(R"(browser "%u")", "p"), (Words{"browser", "%u", "p"}));  // no codes inside quotes
}

TEST(DesktopEntryExecTest, FieldCodesStandForTheParameterOrForNothing) {
    EXPECT_EQ(ExpandExec("firefox %u", "http://x/"), (Words{"firefox", "http://x/"}));
    EXPECT_EQ(ExpandExec("browser --url=%u", "http://x/"), (Words{"browser", "--url=http://x/"}));
    EXPECT_EQ(ExpandExec("browser %i %c %k %F", "f"), (Words{"browser", "f"}));
    EXPECT_EQ(ExpandExec("browser --rate=100%%", "p"), (Words{"browser", "--rate=100%", "p"}));  // appended: no code
    EXPECT_EQ(ExpandExec("  browser\t%d  %f ", "f"), (Words{"browser", "f"}));
}

TEST(DesktopEntryExecTest, MalformedLinesNameNoProgram) {
    for (const char* line : {"", "   ", R"("unterminated %u)", R"("bad \q escape")", "%i %c", R"("" %u)"})
        EXPECT_FALSE(ExpandExec(line, "p")) << line;
}

TEST(DesktopEntryExecTest, StringEscapesComeFirst) {
    EXPECT_EQ(UnescapeDesktopValue(R"(a\sb\tc\\d\"e)"), "a b\tc\\d\\\"e");
    // A value's "\\\\" becomes the quoting layer's "\\", an escaped backslash inside quotes.
    EXPECT_EQ(ExpandExec(UnescapeDesktopValue(R"(prog "a\\\\b")"), "p"), (Words{"prog", R"(a\b)", "p"}));
}
