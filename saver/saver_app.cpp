#include "saver_app.h"

#include <cctype>

#include "cam_list.h"
#include "full_screen_saver_wnd.h"
#include "saver_messages.h"
#include "saver_wnd.h"
#include "system_services.h"
#include "text_compare.h"
#include "windows.h"

namespace saver {

using namespace platform;
namespace {

// "/x", "-x" or "x", in either letter case.
bool IsSwitch(std::string_view text, char letter) {
    const char slash[] = {'/', letter, 0}, dash[] = {'-', letter, 0}, bare[] = {letter, 0};
    return EqualsNoCase(text, slash) || EqualsNoCase(text, dash) || EqualsNoCase(text, bare);
}

}  // namespace

std::string CommandTail(const std::vector<std::string>& arguments) {
    std::string tail;
    for (size_t i = 1; i < arguments.size(); ++i) {
        if (i > 1) tail.push_back(' ');
        tail += arguments[i];
    }
    return tail;
}

SaverMode ChooseSaverMode(const std::vector<std::string>& arguments) {
    if (arguments.size() <= 1) return SaverMode::Configure;
    const std::string tail = CommandTail(arguments);
    if (IsSwitch(tail, 'c')) return SaverMode::Configure;
    if (IsSwitch(tail, 's')) return SaverMode::RunFullScreen;
    if (IsSwitch(arguments[1], 'a')) return SaverMode::ChangePassword;
    if (IsSwitch(arguments[1], 'p')) return SaverMode::Preview;
    return SaverMode::Configure;
}

std::uint64_t LeadingNumber(std::string_view text) {
    std::uint64_t number = 0;
    for (char c : text) {
        if (!std::isdigit(static_cast<unsigned char>(c))) break;
        if (number > (UINT64_MAX - 9) / 10) return 0;  // no window has such a handle
        number = number * 10 + std::uint64_t(c - '0');
    }
    return number;
}

int SaverApp::AdvanceSource() {
    std::string next = sources::NextSelectedCam(settings, settings.CurrentCam);
    // The walk never returns its start: when the current source is the only one selected, it
    // stays current (instead of giving way to no source and the fallback picture).
    if (next.empty() && sources::GetCamField(settings, settings.CurrentCam, sources::kCamSelected) == "1")
        next = settings.CurrentCam;
    settings.CurrentCam = next;
    settings.CurrentFile = sources::CamImagePath(settings, settings.CurrentCam);
    if (!sources::FileExists(settings.CurrentFile)) settings.CurrentFile = sources::FallbackImagePath(settings);
    SaveCurrentCam(settings);
    return 1;
}

SaverApp::SaverApp(ConfigurationSheetFactory sheetFactory) : sheetFactory_(std::move(sheetFactory)) {}

SaverApp::~SaverApp() = default;

bool SaverApp::InitInstance(const std::vector<std::string>& arguments) {
    UseSaverRegistryKey();
    mode_ = ChooseSaverMode(arguments);
    switch (mode_) {
    case SaverMode::Configure: return RunConfigure();
    case SaverMode::RunFullScreen: return RunFullScreen();
    case SaverMode::ChangePassword: ChangePassword(CommandTail(arguments)); return false;
    case SaverMode::Preview: return RunPreview(arguments);
    }
    return false;
}

bool SaverApp::RunConfigure() {
    if (!sheetFactory_) return false;
    std::unique_ptr<ConfigurationSheet> sheet = sheetFactory_(*this);
    LoadSettings(settings);
    sheet->SettingsToSheet(settings);
    if (sheet->DoModal()) {
        sheet->SettingsFromSheet(settings);
        SaveSettings(settings);
    }
    return false;
}

bool SaverApp::RunFullScreen() {
    if (FindWindow(nullptr, kSaverTitle)) return false;  // a saver runs already
    auto* window = new FullScreenSaverWnd(*this);
    window->setAutoDelete(true);
    if (!window->Create()) {
        delete window;
        return false;
    }
    SetMainWindow(window->hwnd());
    return true;
}

bool SaverApp::RunPreview(const std::vector<std::string>& arguments) {
    if (arguments.size() < 3) return false;
    const HWND host = AttachForeignWindow(LeadingNumber(arguments[2]));
    RECT client{};
    if (!host || !GetClientRect(host, &client)) return false;
    auto* window = new SaverWnd(*this);
    window->setAutoDelete(true);
    if (!window->Create(0, WS_CHILD | WS_VISIBLE, client, host, 0)) {
        delete window;
        return false;
    }
    SetMainWindow(window->hwnd());
    return true;
}

int SaverApp::ChangePassword(const std::string& commandTail) {
    OSVERSIONINFO version;
    GetVersionEx(&version);
    if (version.dwPlatformId != VER_PLATFORM_WIN32_WINDOWS) return 0;
    // Skip the switch ("/a", "-a" or "a") and the blanks after it.
    size_t pos = 0;
    if (pos < commandTail.size() && (commandTail[pos] == '/' || commandTail[pos] == '-')) ++pos;
    if (pos < commandTail.size()) ++pos;
    while (pos < commandTail.size() && commandTail[pos] == ' ') ++pos;
    const std::uint64_t number = LeadingNumber(std::string_view(commandTail).substr(pos));
    HWND parent = reinterpret_cast<HWND>(std::uintptr_t(number));
    if (!number || !IsWindow(parent)) {
        const HWND host = number ? AttachForeignWindow(number) : nullptr;
        parent = host ? host : GetForegroundWindow();
    }
    if (HMODULE library = LoadLibrary("MPR.DLL")) {
        if (auto change = GetProcAddress<DWORD(const char*, HWND, DWORD, void*)>(library, "PwdChangePasswordA"))
            change("SCRSAVE", parent, 0, nullptr);
        FreeLibrary(library);
    }
    return 0;
}

}  // namespace saver
