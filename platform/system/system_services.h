// Platform family, loadable platform libraries (the password services) and desktop message boxes.
#pragma once

#include <any>
#include <functional>
#include <map>
#include <string>

#include "win_types.h"

namespace platform {

struct OSVERSIONINFO {
    DWORD dwOSVersionInfoSize = sizeof(OSVERSIONINFO);
    DWORD dwMajorVersion = 0;
    DWORD dwMinorVersion = 0;
    DWORD dwBuildNumber = 0;
    DWORD dwPlatformId = VER_PLATFORM_OTHER;
};

// Reports neither family unless a test selected one (or KELVANE_PLATFORM_FAMILY says
// "windows95" or "nt").
BOOL GetVersionEx(OSVERSIONINFO* info);
void SelectPlatformFamily(DWORD platformId);

// Platform libraries exist only when registered, as tests do for the password services.
struct HMODULE__;
using HMODULE = HMODULE__*;
using LibraryExports = std::map<std::string, std::any>;  // name -> std::function<Signature>

void RegisterPlatformLibrary(const std::string& name, LibraryExports exports);
void UnregisterPlatformLibrary(const std::string& name);
HMODULE LoadLibrary(const char* name);
BOOL FreeLibrary(HMODULE module);
const std::any* FindLibraryExport(HMODULE module, const char* name);

// The export as a callable of the given signature; empty when missing or of another type.
template <typename Signature>
std::function<Signature> GetProcAddress(HMODULE module, const char* name) {
    const std::any* found = FindLibraryExport(module, name);
    if (!found) return {};
    if (const auto* function = std::any_cast<std::function<Signature>>(found)) return *function;
    return {};
}

// Message boxes become Qt dialogs on a real display from here on (message_box.h).
void UseDesktopMessageBoxes();

}  // namespace platform
