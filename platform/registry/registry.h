// The per-user registry: typed values in .reg text files, safe against concurrent writers and crashes.
#pragma once

#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "reg_file.h"
#include "win_types.h"

namespace platform {

struct HKEY__;
using HKEY = HKEY__*;

// The two roots this platform keeps (both per user here: nothing runs as root).
extern const HKEY HKEY_CURRENT_USER;
extern const HKEY HKEY_LOCAL_MACHINE;

constexpr LONG ERROR_SUCCESS = 0;
constexpr LONG ERROR_FILE_NOT_FOUND = 2;
constexpr LONG ERROR_ACCESS_DENIED = 5;
constexpr LONG ERROR_INVALID_HANDLE = 6;
constexpr LONG ERROR_INVALID_PARAMETER = 87;
constexpr LONG ERROR_MORE_DATA = 234;

LONG RegOpenKey(HKEY parent, const char* subKey, HKEY* result);
LONG RegCreateKey(HKEY parent, const char* subKey, HKEY* result);
LONG RegCloseKey(HKEY key);
// With data null, only the type and the size are reported.
LONG RegQueryValueEx(HKEY key, const char* name, DWORD* reserved, DWORD* type, BYTE* data, DWORD* size);
LONG RegSetValueEx(HKEY key, const char* name, DWORD reserved, DWORD type, const BYTE* data, DWORD size);
LONG RegDeleteValue(HKEY key, const char* name);

// Whether a write replaces a value already there, or leaves it and only fills in a missing one
// (decided under the file's lock, so a value another program wrote just before is kept).
enum class RegWriteMode { Replace, KeepExisting };
LONG RegSetValue(HKEY key, const char* name, DWORD type, const BYTE* data, DWORD size, RegWriteMode mode);

// A string value worked out from the one stored when the write takes place (nullopt when there is
// none), under the file's lock: what another program wrote just before is merged, never lost.
using RegStringMerge = std::function<std::string(const std::optional<std::string>& stored)>;
LONG RegMergeString(HKEY key, const char* name, RegStringMerge merge);

// A key handle closed on scope exit.
class RegKey {
public:
    RegKey() = default;
    explicit RegKey(HKEY key) : key_(key) {}
    RegKey(RegKey&& other) noexcept : key_(other.release()) {}
    RegKey& operator=(RegKey&& other) noexcept;
    ~RegKey();
    HKEY get() const { return key_; }
    HKEY* out() { return &key_; }
    explicit operator bool() const { return key_ != nullptr; }
    HKEY release() { HKEY key = key_; key_ = nullptr; return key; }

private:
    HKEY key_ = nullptr;
};

// Typed conveniences over RegQueryValueEx/RegSetValueEx.
std::optional<DWORD> RegReadDword(HKEY key, const char* name);
std::optional<std::string> RegReadString(HKEY key, const char* name);
LONG RegWriteDword(HKEY key, const char* name, DWORD value, RegWriteMode mode = RegWriteMode::Replace);
LONG RegWriteString(HKEY key, const char* name, std::string_view value, RegWriteMode mode = RegWriteMode::Replace);

// While a batch lives, this thread's value writes are collected and then written in one locked
// replacement of each file, instead of one per value. Reads meanwhile see the stored values.
class RegWriteBatch {
public:
    RegWriteBatch();
    ~RegWriteBatch();  // commits what Commit has not
    // Writes what was collected now; ERROR_SUCCESS, or why a file could not be written (its
    // stored values then stay as they were).
    LONG Commit();
    RegWriteBatch(const RegWriteBatch&) = delete;
    RegWriteBatch& operator=(const RegWriteBatch&) = delete;
};

// A registry file with lines that cannot be read keeps the values that can, and a copy of it as
// it was is set aside (one that is no registry file at all is moved aside whole). The path of
// the last file this program set aside, once: so that a person can be told.
std::optional<std::filesystem::path> TakeSetAsideRegistryFile();

// The file behind a root, for tests and diagnostics.
std::filesystem::path RegistryFilePath(HKEY root);

// Settings an administrator gives every user: kelvane/defaults.reg in each of the system's
// configuration folders ($XDG_CONFIG_DIRS, else /etc/xdg), in the order listed, whether or not
// KELVANE_ROOT relocates the user's own. A value of the current user's that is not in the user's
// file is read from the first of them that has it; nothing is ever written to them, and a write
// that only fills in a missing value leaves one they give alone (so the user's file never takes a
// copy, and a later change of the administrator's still reaches the user).
std::vector<std::filesystem::path> SystemDefaultsFiles();

}  // namespace platform
