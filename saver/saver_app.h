// The saver program's application object: chooses the mode from the command line and creates
// what that mode shows.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "image_fetcher.h"
#include "settings.h"
#include "win_types.h"

namespace saver {

class SaverApp;

enum class SaverMode { Configure, RunFullScreen, Preview, ChangePassword };

// The command tail: the arguments after the program, joined by single blanks.
std::string CommandTail(const std::vector<std::string>& arguments);
// arguments[0] is the program; the rules compare the whole tail, or argument 1, without case.
SaverMode ChooseSaverMode(const std::vector<std::string>& arguments);
// The leading decimal digits of a text, the rest ignored; 0 when there are none.
std::uint64_t LeadingNumber(std::string_view text);

// The configuration sheet as start-up sees it; the sheet itself lives with the configuration pages.
class ConfigurationSheet {
public:
    virtual ~ConfigurationSheet() = default;
    virtual void SettingsToSheet(const SaverSettings& settings) = 0;
    virtual void SettingsFromSheet(SaverSettings& settings) = 0;
    // Runs modally; true when the user closed it with OK.
    virtual bool DoModal() = 0;
};
using ConfigurationSheetFactory = std::function<std::unique_ptr<ConfigurationSheet>(SaverApp&)>;

class SaverWnd;

class SaverApp {
public:
    explicit SaverApp(ConfigurationSheetFactory sheetFactory = {});
    ~SaverApp();

    // True when a main window was created and the message loop must run.
    bool InitInstance(const std::vector<std::string>& arguments);
    // The password-change mode, given the command tail; returns 0.
    int ChangePassword(const std::string& commandTail);

    // Moves CurrentCam to the next selected source and recomputes Current File; writes
    // CurrentCam alone. Returns 1.
    int AdvanceSource();

    SaverSettings settings;
    // The fetch bookkeeping of the whole program: at most one fetch runs at a time.
    sources::FetchState fetch;
    SaverMode mode() const { return mode_; }
    // Run as a screen-saver daemon's hack: the daemon locks, not the saver.
    bool hostedByDaemon = false;

private:
    bool RunConfigure();
    bool RunFullScreen();
    bool RunPreview(const std::vector<std::string>& arguments);

    ConfigurationSheetFactory sheetFactory_;
    SaverMode mode_ = SaverMode::Configure;
};

}  // namespace saver
