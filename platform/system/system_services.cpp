#include "system_services.h"

#include <QApplication>
#include <QMessageBox>
#include <cstdlib>
#include <cstring>
#include <mutex>

#include "display_backend.h"
#include "message_box.h"

namespace platform {

struct HMODULE__ {
    std::string name;
    LibraryExports exports;
};

namespace {

std::mutex gMutex;
std::optional<DWORD> gSelectedFamily;
std::map<std::string, LibraryExports> gLibraries;

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

void UseDesktopMessageBoxes() {
    SetMessageBoxPresenter([](const std::string& text, const std::string& caption, UINT type) -> std::optional<int> {
        // Headless, only the configuration sheet shows boxes (offscreen, for its scripts).
        if (!qobject_cast<QApplication*>(QCoreApplication::instance()) ||
            (Display().isHeadless() && !QApplication::activeModalWidget()))
            return std::nullopt;
        QMessageBox::Icon icon = QMessageBox::NoIcon;
        switch (type & 0xF0) {
        case MB_ICONSTOP: icon = QMessageBox::Critical; break;
        case MB_ICONQUESTION: icon = QMessageBox::Question; break;
        case MB_ICONEXCLAMATION: icon = QMessageBox::Warning; break;
        case MB_ICONINFORMATION: icon = QMessageBox::Information; break;
        default: break;
        }
        QMessageBox::StandardButtons buttons = QMessageBox::Ok;
        switch (type & 0x0F) {
        case MB_OKCANCEL: buttons = QMessageBox::Ok | QMessageBox::Cancel; break;
        case MB_YESNOCANCEL: buttons = QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel; break;
        case MB_YESNO: buttons = QMessageBox::Yes | QMessageBox::No; break;
        default: break;
        }
        QMessageBox box(icon, QString::fromStdString(caption), QString::fromStdString(text), buttons,
                        QApplication::activeModalWidget());
        switch (box.exec()) {
        case QMessageBox::Cancel: return IDCANCEL;
        case QMessageBox::Yes: return IDYES;
        case QMessageBox::No: return IDNO;
        default: return IDOK;
        }
    });
}

}  // namespace platform
