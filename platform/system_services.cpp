#include "system_services.h"

#include <QApplication>
#include <QMessageBox>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>

#include "display_backend.h"

namespace platform {

struct HMODULE__ {
    std::string name;
    LibraryExports exports;
};

namespace {

std::mutex gMutex;
std::optional<DWORD> gSelectedFamily;
std::map<std::string, LibraryExports> gLibraries;
std::function<int(const std::string&, const std::string&, UINT)> gMessageBoxHook;

DWORD FamilyFromEnvironment() {
    const char* family = std::getenv("KELVANE_PLATFORM_FAMILY");
    if (!family) return VER_PLATFORM_OTHER;
    if (std::strcmp(family, "windows95") == 0) return VER_PLATFORM_WIN32_WINDOWS;
    if (std::strcmp(family, "nt") == 0) return VER_PLATFORM_WIN32_NT;
    return VER_PLATFORM_OTHER;
}

}  // namespace

BOOL GetVersionEx(OSVERSIONINFO* info) {
    if (!info) return FALSE;
    std::lock_guard lock(gMutex);
    *info = OSVERSIONINFO{};
    info->dwPlatformId = gSelectedFamily.value_or(FamilyFromEnvironment());
    info->dwMajorVersion = info->dwPlatformId == VER_PLATFORM_WIN32_WINDOWS ? 4 : 0;
    return TRUE;
}

void SelectPlatformFamily(DWORD platformId) {
    std::lock_guard lock(gMutex);
    gSelectedFamily = platformId;
}

void RegisterPlatformLibrary(const std::string& name, LibraryExports exports) {
    std::lock_guard lock(gMutex);
    gLibraries[name] = std::move(exports);
}

void UnregisterPlatformLibrary(const std::string& name) {
    std::lock_guard lock(gMutex);
    gLibraries.erase(name);
}

HMODULE LoadLibrary(const char* name) {
    if (!name) return nullptr;
    std::lock_guard lock(gMutex);
    auto it = gLibraries.find(name);
    if (it == gLibraries.end()) return nullptr;
    return new HMODULE__{it->first, it->second};
}

BOOL FreeLibrary(HMODULE module) {
    if (!module) return FALSE;
    delete module;
    return TRUE;
}

const std::any* FindLibraryExport(HMODULE module, const char* name) {
    if (!module || !name) return nullptr;
    auto it = module->exports.find(name);
    return it == module->exports.end() ? nullptr : &it->second;
}

int MessageBox(HWND, const char* text, const char* caption, UINT type) {
    const std::string message = text ? text : "";
    const std::string title = caption ? caption : "";
    std::function<int(const std::string&, const std::string&, UINT)> hook;
    {
        std::lock_guard lock(gMutex);
        hook = gMessageBoxHook;
    }
    if (hook) return hook(message, title, type);
    if (qobject_cast<QApplication*>(QCoreApplication::instance()) && !Display().isHeadless()) {
        const auto icon = (type & 0xF0) == MB_ICONEXCLAMATION ? QMessageBox::Warning : QMessageBox::Information;
        QMessageBox box(icon, QString::fromStdString(title), QString::fromStdString(message), QMessageBox::Ok);
        box.exec();
        return IDOK;
    }
    std::fprintf(stderr, "%s: %s\n", title.c_str(), message.c_str());
    return IDOK;
}

void SetMessageBoxHook(std::function<int(const std::string&, const std::string&, UINT)> hook) {
    std::lock_guard lock(gMutex);
    gMessageBoxHook = std::move(hook);
}

void DebugTrace(const char* format, ...) {
    static const bool enabled = [] {
        const char* value = std::getenv("KELVANE_DEBUG");
        return value && std::strcmp(value, "1") == 0;
    }();
    if (!enabled) return;
    va_list arguments;
    va_start(arguments, format);
    std::vfprintf(stderr, format, arguments);
    va_end(arguments);
    std::fputc('\n', stderr);
}

}  // namespace platform
