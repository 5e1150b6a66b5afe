// The application framework's profile helpers: per-application sections under
// HKEY_CURRENT_USER\Software\<registry key>\<application name>\<section>.
#pragma once

#include <string>
#include <string_view>

#include "registry.h"
#include "win_types.h"

namespace platform {

// Set once at start-up, before the first profile call.
void SetRegistryKey(std::string_view companyKey, std::string_view applicationName);
// "Software\<company>\<application>", the key the sections live under.
std::string GetAppRegistryPath();

UINT GetProfileInt(const char* section, const char* entry, int defaultValue);
std::string GetProfileString(const char* section, const char* entry, std::string_view defaultValue);
BOOL WriteProfileInt(const char* section, const char* entry, int value, RegWriteMode mode = RegWriteMode::Replace);
BOOL WriteProfileString(const char* section, const char* entry, std::string_view value,
                        RegWriteMode mode = RegWriteMode::Replace);

// A string worked out from the stored one when the write takes place (see RegMergeString).
BOOL WriteProfileStringMerged(const char* section, const char* entry, RegStringMerge merge);

// Profile writes inside its lifetime reach the file together, in one locked write.
using ProfileWriteBatch = RegWriteBatch;

}  // namespace platform
