#include "profile.h"

#include <mutex>

#include "registry.h"

namespace platform {
namespace {

std::mutex gMutex;
std::string gAppPath;

std::string SectionPath(const char* section) {
    std::lock_guard lock(gMutex);
    return gAppPath + "\\" + section;
}

}  // namespace

void SetRegistryKey(std::string_view companyKey, std::string_view applicationName) {
    std::lock_guard lock(gMutex);
    gAppPath = "Software\\" + std::string(companyKey) + "\\" + std::string(applicationName);
}

std::string GetAppRegistryPath() {
    std::lock_guard lock(gMutex);
    return gAppPath;
}

UINT GetProfileInt(const char* section, const char* entry, int defaultValue) {
    RegKey key;
    if (RegOpenKey(HKEY_CURRENT_USER, SectionPath(section).c_str(), key.out()) != ERROR_SUCCESS)
        return UINT(defaultValue);
    return RegReadDword(key.get(), entry).value_or(UINT(defaultValue));
}

std::string GetProfileString(const char* section, const char* entry, std::string_view defaultValue) {
    RegKey key;
    if (RegOpenKey(HKEY_CURRENT_USER, SectionPath(section).c_str(), key.out()) != ERROR_SUCCESS)
        return std::string(defaultValue);
    return RegReadString(key.get(), entry).value_or(std::string(defaultValue));
}

BOOL WriteProfileInt(const char* section, const char* entry, int value, RegWriteMode mode) {
    RegKey key;
    if (RegCreateKey(HKEY_CURRENT_USER, SectionPath(section).c_str(), key.out()) != ERROR_SUCCESS) return FALSE;
    return RegWriteDword(key.get(), entry, DWORD(value), mode) == ERROR_SUCCESS;
}

BOOL WriteProfileString(const char* section, const char* entry, std::string_view value, RegWriteMode mode) {
    RegKey key;
    if (RegCreateKey(HKEY_CURRENT_USER, SectionPath(section).c_str(), key.out()) != ERROR_SUCCESS) return FALSE;
    return RegWriteString(key.get(), entry, value, mode) == ERROR_SUCCESS;
}

BOOL WriteProfileStringMerged(const char* section, const char* entry, RegStringMerge merge) {
    RegKey key;
    if (RegCreateKey(HKEY_CURRENT_USER, SectionPath(section).c_str(), key.out()) != ERROR_SUCCESS) return FALSE;
    return RegMergeString(key.get(), entry, std::move(merge)) == ERROR_SUCCESS;
}

}  // namespace platform
