// The test and demo harness: KELVANE_DISPLAY, KELVANE_CLOCK and KELVANE_SCRIPT, and the session
// every program of the suite opens first.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

class QApplication;
class QTimer;

namespace platform {

struct DisplaySetting {
    bool headless = false;
    int width = 1024;
    int height = 768;
    int depth = 32;
};

// "headless", "headless:WxH" or "headless:WxH:DEPTH" (depth 8, 16, 24 or 32); an empty text means a
// real display. Nothing for a text that is none of these.
std::optional<DisplaySetting> ParseDisplaySetting(std::string_view text);

struct ScriptAction {
    enum class Kind { Key, Mouse, Click, Screenshot, State, Quit, Dump, Press, Set, Row, Check, Tab, Answer };
    std::uint32_t atMs = 0;
    int line = 0;  // in the script file, for reports
    Kind kind = Kind::Quit;
    std::string key;   // Key: the key name
    int x = 0, y = 0;  // Mouse
    std::string path;  // Screenshot, State, Dump
    std::string name;  // Press, Set, Row, Check: the control's object name
    std::string text;  // Set, Tab, Answer: the rest of the line
    int row = 0;       // Row, Check
    bool checked = false;  // Check
};

struct ParsedScript {
    std::vector<ScriptAction> actions;
    std::string error;  // the first bad line, with its number; empty when all is well
};

// Lines "at MS ACTION"; blank lines and lines starting with '#' are skipped.
ParsedScript ParseScript(std::string_view text);

// What the `state` action writes: the saver window registers its dump here.
void SetStateReporter(std::function<std::string()> reporter);

// Asks the program to end as a person would: the open dialog closes, else the main window gets
// WM_CLOSE, else the loop ends.
void RequestProgramEnd();

// Draw into a window of another program instead of windows of our own (a screen-saver hack).
struct HostWindowRequest {
    std::uint64_t window = 0;  // 0: the root window
};

// Opens the program's session: the Qt application (offscreen when headless; else on the session's
// window system, X11 when its window goes inside another program's), the display, the clock, the
// script, and an orderly end on SIGTERM, SIGINT and SIGHUP. Errors in the environment end the
// program with a message.
class ProgramSession {
public:
    ProgramSession(int& argc, char** argv, std::optional<HostWindowRequest> host = std::nullopt,
                   bool insideForeignWindow = false);
    ~ProgramSession();
    ProgramSession(const ProgramSession&) = delete;
    ProgramSession& operator=(const ProgramSession&) = delete;

    QApplication& application();
    bool headless() const { return display_.headless; }

private:
    void startDialogPump();

    DisplaySetting display_;
    std::unique_ptr<QApplication> application_;
    struct Script;
    std::unique_ptr<Script> script_;
    std::unique_ptr<QTimer> dialogPump_;
};

}  // namespace platform
