#include "harness.h"

#include <QApplication>
#include <QKeyEvent>
#include <QThread>
#include <QTimer>
#include <QWidget>
#include <algorithm>
#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <mutex>
#include <sstream>

#include "clock.h"
#include "dialog_actions.h"
#include "headless_display.h"
#include "input_keys.h"
#include "message_queue.h"
#include "qt_display.h"
#include "session_platform.h"
#include "system_services.h"
#include "termination.h"
#include "trace.h"
#include "window_record.h"
#include "windows.h"
#include "x11_host_display.h"

namespace platform {
namespace {

std::mutex gReporterMutex;
std::function<std::string()> gStateReporter;

bool ParseNumber(std::string_view text, int& value) {
    if (text.empty()) return false;
    auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    return error == std::errc() && end == text.data() + text.size();
}

std::vector<std::string_view> Words(std::string_view line) {
    std::vector<std::string_view> words;
    size_t pos = 0;
    while (pos < line.size()) {
        while (pos < line.size() && (line[pos] == ' ' || line[pos] == '\t')) ++pos;
        size_t end = pos;
        while (end < line.size() && line[end] != ' ' && line[end] != '\t') ++end;
        if (end > pos) words.push_back(line.substr(pos, end - pos));
        pos = end;
    }
    return words;
}

// The text after a word of the line and the blanks that follow it, without the line's end.
std::string RestOfLine(std::string_view line, std::string_view word) {
    size_t start = size_t(word.data() - line.data()) + word.size();
    while (start < line.size() && (line[start] == ' ' || line[start] == '\t')) ++start;
    std::string rest(line.substr(std::min(start, line.size())));
    while (!rest.empty() && (rest.back() == ' ' || rest.back() == '\r')) rest.pop_back();
    return rest;
}

// A dialog action that cannot be done ends the run: a script must not drift from the dialogs.
void EndOnScriptError(const ScriptAction& action, const std::string& why) {
    if (why.empty()) return;
    std::fprintf(stderr, "kelvane: script line %d: %s\n", action.line, why.c_str());
    std::fflush(stderr);
    std::_Exit(3);
}

std::string DefaultState() {
    std::ostringstream out;
    for (const auto& record : SurfaceWindows())
        out << "window " << record->title << " class " << record->className << " rect " << record->rect.left << ' '
            << record->rect.top << ' ' << record->rect.right << ' ' << record->rect.bottom << '\n';
    return out.str();
}

const char* Getenv(const char* name) {
    const char* value = std::getenv(name);
    return value ? value : "";
}

[[noreturn]] void Fail(const std::string& message) {
    std::fprintf(stderr, "kelvane: %s\n", message.c_str());
    std::exit(2);
}

}  // namespace

std::optional<DisplaySetting> ParseDisplaySetting(std::string_view text) {
    DisplaySetting setting;
    if (text.empty()) return setting;
    const size_t colon = text.find(':');
    if (text.substr(0, colon) != "headless") return std::nullopt;
    setting.headless = true;
    if (colon == std::string_view::npos) return setting;
    std::string_view rest = text.substr(colon + 1);
    const size_t second = rest.find(':');
    const std::string_view size = rest.substr(0, second);
    const size_t x = size.find('x');
    if (x == std::string_view::npos || !ParseNumber(size.substr(0, x), setting.width) ||
        !ParseNumber(size.substr(x + 1), setting.height) || setting.width < 1 || setting.height < 1 ||
        setting.width > 16384 || setting.height > 16384)
        return std::nullopt;
    if (second != std::string_view::npos) {
        if (!ParseNumber(rest.substr(second + 1), setting.depth)) return std::nullopt;
        if (setting.depth != 8 && setting.depth != 16 && setting.depth != 24 && setting.depth != 32) return std::nullopt;
    }
    return setting;
}

ParsedScript ParseScript(std::string_view text) {
    ParsedScript script;
    int lineNumber = 0;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string_view::npos) end = text.size();
        const std::string_view line = text.substr(start, end - start);
        start = end + 1;
        ++lineNumber;
        const auto words = Words(line);
        if (words.empty() || words[0].front() == '#') continue;
        const auto fail = [&](const char* why) {
            script.error = "line " + std::to_string(lineNumber) + ": " + why + ": " + std::string(line);
            return script;
        };
        int at = 0;
        if (words.size() < 3 || words[0] != "at" || !ParseNumber(words[1], at) || at < 0)
            return fail("expected 'at MS ACTION'");
        ScriptAction action;
        action.atMs = std::uint32_t(at);
        action.line = lineNumber;
        const std::string_view verb = words[2];
        if (verb == "key" && words.size() == 4) {
            if (!VirtualKeyFromName(words[3])) return fail("unknown key");
            action.kind = ScriptAction::Kind::Key;
            action.key = std::string(words[3]);
        } else if (verb == "mouse" && words.size() == 5) {
            if (!ParseNumber(words[3], action.x) || !ParseNumber(words[4], action.y)) return fail("bad position");
            action.kind = ScriptAction::Kind::Mouse;
        } else if (verb == "click" && words.size() == 3) {
            action.kind = ScriptAction::Kind::Click;
        } else if ((verb == "screenshot" || verb == "state" || verb == "dump") && words.size() >= 4) {
            action.kind = verb == "state"  ? ScriptAction::Kind::State
                          : verb == "dump" ? ScriptAction::Kind::Dump
                                           : ScriptAction::Kind::Screenshot;
            // The path is the rest of the line, so it may hold blanks.
            action.path = RestOfLine(line, words[2]);
        } else if (verb == "press" && words.size() == 4) {
            action.kind = ScriptAction::Kind::Press;
            action.name = std::string(words[3]);
        } else if (verb == "set" && words.size() >= 4) {
            action.kind = ScriptAction::Kind::Set;
            action.name = std::string(words[3]);
            action.text = RestOfLine(line, words[3]);
        } else if (verb == "row" && words.size() == 5) {
            if (!ParseNumber(words[4], action.row) || action.row < 0) return fail("bad row");
            action.kind = ScriptAction::Kind::Row;
            action.name = std::string(words[3]);
        } else if (verb == "check" && words.size() == 6) {
            if (!ParseNumber(words[4], action.row) || action.row < 0 || (words[5] != "0" && words[5] != "1"))
                return fail("expected 'check NAME ROW 0|1'");
            action.kind = ScriptAction::Kind::Check;
            action.name = std::string(words[3]);
            action.checked = words[5] == "1";
        } else if ((verb == "tab" || verb == "answer") && words.size() >= 4) {
            action.kind = verb == "tab" ? ScriptAction::Kind::Tab : ScriptAction::Kind::Answer;
            action.text = RestOfLine(line, words[2]);
        } else if (verb == "quit" && words.size() == 3) {
            action.kind = ScriptAction::Kind::Quit;
        } else {
            return fail("unknown action");
        }
        script.actions.push_back(std::move(action));
    }
    return script;
}

void RequestProgramEnd() {
    if (QWidget* dialog = QApplication::activeModalWidget()) {
        dialog->close();
    } else if (HWND window = GetMainWindow()) {
        PostMessage(window, WM_CLOSE, 0, 0);
    } else {
        PostQuitMessage(0);
    }
}

void SetStateReporter(std::function<std::string()> reporter) {
    std::lock_guard lock(gReporterMutex);
    gStateReporter = std::move(reporter);
}

// Runs the script's actions at their times, from the saver's message loop or, while a Qt dialog
// runs its own loop, from the session's dialog pump.
// How often a due script action looks again whether the one before has settled.
constexpr std::uint64_t kSettleMicros = 5000;

struct ProgramSession::Script {
    std::vector<ScriptAction> actions;
    size_t next = 0;
    std::uint64_t startMicros = 0;

    std::uint64_t dueMicros(const ScriptAction& action) const { return startMicros + std::uint64_t(action.atMs) * 1000; }

    // A dialog an action closed: its caller goes on once the dialog's loop (this level) has ended.
    int closedAtLoopLevel = 0;

    // Runs the next action when it is due and what the one before started is done: the messages
    // it posted handled, a dialog it closed back in its caller. However late the program runs,
    // actions keep their order and their effects.
    void runDue() {
        Clock& clock = Clock::instance();
        if (next >= actions.size() || dueMicros(actions[next]) > clock.nowMicros()) return;
        MessageQueue& queue = MessageQueue::current();
        const int level = QThread::currentThread()->loopLevel();
        if (queue.hasPosted() || (closedAtLoopLevel && level >= closedAtLoopLevel)) {
            queue.schedule(clock.nowMicros() + kSettleMicros, [this] { runDue(); });
            return;
        }
        closedAtLoopLevel = 0;
        QWidget* dialog = QApplication::activeModalWidget();
        perform(actions[next++]);
        if (dialog && QApplication::activeModalWidget() != dialog) closedAtLoopLevel = level;
        // A late program may have the next action due already: it follows once this one settled.
        queue.schedule(clock.nowMicros(), [this] { runDue(); });
    }

    void scheduleOnQueue() {
        for (const ScriptAction& action : actions)
            MessageQueue::current().schedule(dueMicros(action), [this] { runDue(); });
    }

    static HWND target() {
        HWND window = GetMainWindow();
        return window ? window : GetForegroundWindow();
    }

    static void perform(const ScriptAction& action) {
        QWidget* dialog = QApplication::activeModalWidget();
        switch (action.kind) {
        case ScriptAction::Kind::Key:
            if (dialog) {
                QWidget* receiver = dialog->focusWidget() ? dialog->focusWidget() : dialog;
                const int key = QtKeyFromName(action.key);
                QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier);
                QKeyEvent release(QEvent::KeyRelease, key, Qt::NoModifier);
                QCoreApplication::sendEvent(receiver, &press);
                QCoreApplication::sendEvent(receiver, &release);
            } else if (action.key == "Alt" || action.key == "alt") {
                PostMessage(target(), WM_SYSKEYDOWN, VK_MENU, LPARAM(1) | (LPARAM(1) << 29));
            } else {
                PostMessage(target(), WM_KEYDOWN, VirtualKeyFromName(action.key), 1);
            }
            break;
        case ScriptAction::Kind::Mouse: {
            Display().setCursorPos(POINT{action.x, action.y});
            RECT window{};
            GetWindowRect(target(), &window);
            const int x = action.x - window.left, y = action.y - window.top;
            PostMessage(target(), WM_MOUSEMOVE, 0, LPARAM((y & 0xFFFF) << 16) | LPARAM(x & 0xFFFF));
            break;
        }
        case ScriptAction::Kind::Click: {
            POINT point{};
            GetCursorPos(&point);
            RECT window{};
            GetWindowRect(target(), &window);
            const LPARAM position = LPARAM(((point.y - window.top) & 0xFFFF) << 16) | LPARAM((point.x - window.left) & 0xFFFF);
            PostMessage(target(), WM_LBUTTONDOWN, 0, position);
            PostMessage(target(), WM_LBUTTONUP, 0, position);
            break;
        }
        case ScriptAction::Kind::Screenshot: {
            const bool saved = dialog ? dialog->grab().save(QString::fromStdString(action.path), "PNG")
                                      : Display().screenshot(action.path);
            if (!saved) std::fprintf(stderr, "kelvane: could not write the screenshot %s\n", action.path.c_str());
            break;
        }
        case ScriptAction::Kind::State: {
            std::function<std::string()> reporter;
            {
                std::lock_guard lock(gReporterMutex);
                reporter = gStateReporter;
            }
            std::ofstream out(action.path, std::ios::trunc);
            out << (reporter ? reporter() : DefaultState());
            if (!out) std::fprintf(stderr, "kelvane: could not write the state file %s\n", action.path.c_str());
            break;
        }
        case ScriptAction::Kind::Quit: RequestProgramEnd(); break;
        case ScriptAction::Kind::Dump: {
            std::ofstream out(action.path, std::ios::trunc);
            out << DumpDialog(dialog);
            if (!out) std::fprintf(stderr, "kelvane: could not write the dump %s\n", action.path.c_str());
            break;
        }
        case ScriptAction::Kind::Press: EndOnScriptError(action, PressControl(dialog, action.name)); break;
        case ScriptAction::Kind::Set: EndOnScriptError(action, SetControlText(dialog, action.name, action.text)); break;
        case ScriptAction::Kind::Row: EndOnScriptError(action, SelectListRow(dialog, action.name, action.row)); break;
        case ScriptAction::Kind::Check:
            EndOnScriptError(action, CheckListRow(dialog, action.name, action.row, action.checked));
            break;
        case ScriptAction::Kind::Tab: EndOnScriptError(action, ShowTab(dialog, action.text)); break;
        case ScriptAction::Kind::Answer: EndOnScriptError(action, AnswerDialog(dialog, action.text)); break;
        }
    }
};

namespace {

// Qt's notes (a runtime folder it made itself, size hints an offscreen window ignores) are
// traces; its errors still reach stderr.
void RouteQtMessage(QtMsgType type, const QMessageLogContext&, const QString& message) {
    const std::string text = message.toStdString();
    if (type == QtCriticalMsg || type == QtFatalMsg) std::fprintf(stderr, "%s\n", text.c_str());
    else DebugTrace("Qt: %s", text.c_str());
    if (type == QtFatalMsg) std::abort();
}

}  // namespace

ProgramSession::ProgramSession(int& argc, char** argv, std::optional<HostWindowRequest> host,
                               bool insideForeignWindow) {
    auto display = ParseDisplaySetting(Getenv("KELVANE_DISPLAY"));
    if (!display) Fail(std::string("KELVANE_DISPLAY must be headless, headless:WxH or headless:WxH:DEPTH, not '") +
                       Getenv("KELVANE_DISPLAY") + "'");
    display_ = *display;
    // A program started where no display can be reached says so and ends, rather than run
    // unseen on an offscreen surface until somebody kills it. Headless, Qt still serves the
    // dialogs, offscreen. A hack draws into another program's window: Qt serves nothing on the
    // screen then. The user's scaling settings (QT_SCALE_FACTOR, QT_ENABLE_HIGHDPI_SCALING,
    // Xft.dpi) are Qt's to apply: the saver draws at device pixels whatever they are.
    const SessionEnvironment session = SessionEnvironment::OfThisProcess();
    if (display_.headless || host) {
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
    } else {
        if (session.x11Display.empty() && !IsWaylandSession(session))
            Fail("cannot open display: neither DISPLAY nor WAYLAND_DISPLAY is set "
                 "(KELVANE_DISPLAY=headless runs without a display)");
        const QtPlatformChoice choice = ChooseQtPlatform(session, insideForeignWindow);
        if (!choice.error.empty()) Fail(choice.error);
        if (choice.platform.rfind("xcb", 0) == 0 && !X11HostDisplay::RootWindowId())
            Fail("cannot open display " + session.x11Display);
        if (!choice.platform.empty()) setenv("QT_QPA_PLATFORM", choice.platform.c_str(), 1);
    }
    qInstallMessageHandler(RouteQtMessage);
    application_ = std::make_unique<QApplication>(argc, argv);

    const std::string clock = Getenv("KELVANE_CLOCK");
    if (clock == "virtual") Clock::instance().setVirtual(true);
    else if (!clock.empty() && clock != "real") Fail("KELVANE_CLOCK must be virtual or real, not '" + clock + "'");

    if (host && !display_.headless) {
        if (session.x11Display.empty())
            Fail(IsWaylandSession(session)
                     ? "a screen-saver hack draws on an X11 window, and this Wayland session has no X display "
                       "(DISPLAY is not set); kelvane-saver /s runs natively"
                     : "cannot open display: DISPLAY is not set");
        const std::uint64_t window = host->window ? host->window : X11HostDisplay::RootWindowId().value_or(0);
        auto hostDisplay = X11HostDisplay::Open(window);
        if (!hostDisplay) Fail("there is no window " + std::to_string(window) + " to draw on (is DISPLAY set?)");
        SetDisplay(std::move(hostDisplay));
    } else if (display_.headless || QGuiApplication::platformName() == "offscreen")
        SetDisplay(std::make_unique<HeadlessDisplay>(display_.width, display_.height, display_.depth));
    else
        SetDisplay(std::make_unique<QtDisplay>());
    Display().attachQueue(MessageQueue::current());
    UseDesktopMessageBoxes();
    EndOnTerminationSignals();

    if (const std::string scriptFile = Getenv("KELVANE_SCRIPT"); !scriptFile.empty()) {
        std::ifstream in(scriptFile);
        if (!in) Fail("cannot read the script " + scriptFile);
        std::stringstream text;
        text << in.rdbuf();
        // The script is this program's: programs it starts do not run it again.
        unsetenv("KELVANE_SCRIPT");
        ParsedScript parsed = ParseScript(text.str());
        if (!parsed.error.empty()) Fail("script " + scriptFile + ", " + parsed.error);
        script_ = std::make_unique<Script>();
        script_->actions = std::move(parsed.actions);
        script_->startMicros = Clock::instance().nowMicros();
        script_->scheduleOnQueue();
    }
    startDialogPump();
}

namespace {

std::uint64_t RealMicros() {
    return std::uint64_t(
        std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now().time_since_epoch())
            .count());
}

}  // namespace

// While a Qt dialog runs its own loop (the configuration sheet, its dialogs, a message box), the
// program's own messages, timers and script still have to move: a short Qt timer delivers them.
void ProgramSession::startDialogPump() {
    const std::uint64_t virtualStart = Clock::instance().nowMicros(), realStart = RealMicros();
    dialogPump_ = std::make_unique<QTimer>();
    dialogPump_->setInterval(10);
    QObject::connect(dialogPump_.get(), &QTimer::timeout, [this, virtualStart, realStart] {
        if (!QApplication::activeModalWidget()) return;  // the program's own loop runs
        // The work runs in a timer event of its own: an action or a message that opens a dialog
        // blocks only that event, and the pump keeps going inside the dialog's loop.
        QTimer::singleShot(0, dialogPump_.get(), [this, virtualStart, realStart] {
            Clock& clock = Clock::instance();
            // A Qt dialog does not wait on the virtual clock: let it follow real time.
            if (clock.isVirtual()) clock.advanceTo(virtualStart + (RealMicros() - realStart));
            if (script_) script_->runDue();
            DeliverPendingMessages();
        });
    });
    dialogPump_->start();
}

ProgramSession::~ProgramSession() {
    dialogPump_.reset();
    script_.reset();
    SetDisplay(nullptr);
}

QApplication& ProgramSession::application() { return *application_; }

}  // namespace platform
