#include "icon_text_companion.h"

#include "programs.h"
#include "registry.h"
#include "windows.h"

namespace desktop {

using namespace platform;

std::string IconTextCompanionPath() {
    const std::string executable = InstalledProgramName("GlyphveilWC.exe");
    if (const auto found = FindProgram(executable)) return found->string();
    return executable;
}

int ControlIconTextCompanion(int start) {
    const HWND companion = FindWindow(kIconTextClass, nullptr);
    if (start) {
        if (!companion) WinExec("GlyphveilWC.exe", SW_HIDE);
        HKEY run = nullptr;
        if (RegCreateKey(HKEY_LOCAL_MACHINE, kRunKey, &run) == ERROR_SUCCESS) {
            RegWriteString(run, kRunValue, IconTextCompanionPath());
            RegCloseKey(run);
        }
    } else {
        if (companion) SendMessage(companion, WM_CLOSE, 0, 0);
        HKEY run = nullptr;
        if (RegOpenKey(HKEY_LOCAL_MACHINE, kRunKey, &run) == ERROR_SUCCESS) {
            RegDeleteValue(run, kRunValue);
            RegCloseKey(run);
        }
    }
    return 1;
}

void ApplyIconTextSetting(int wallMode, int checkTransIcon) {
    if (wallMode != 0) ControlIconTextCompanion(checkTransIcon != 0 ? 1 : 0);
}

}  // namespace desktop
