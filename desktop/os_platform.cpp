#include "os_platform.h"

#include "system_services.h"

namespace desktop {

int GetOsPlatform() {
    platform::OSVERSIONINFO version;
    platform::GetVersionEx(&version);
    switch (version.dwPlatformId) {
    case platform::VER_PLATFORM_WIN32_NT: return 2;
    case platform::VER_PLATFORM_WIN32_WINDOWS: return 1;
    default: return 0;
    }
}

}  // namespace desktop
