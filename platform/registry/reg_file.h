// The text format of registry export files ("Windows Registry Editor Version 5.00"), UTF-8.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "text_compare.h"
#include "win_types.h"

namespace platform {

constexpr DWORD REG_NONE = 0;
constexpr DWORD REG_SZ = 1;
constexpr DWORD REG_EXPAND_SZ = 2;
constexpr DWORD REG_BINARY = 3;
constexpr DWORD REG_DWORD = 4;
constexpr DWORD REG_MULTI_SZ = 7;

struct RegValue {
    DWORD type = REG_NONE;
    // REG_SZ: the UTF-8 text without terminator; other types: the raw bytes.
    std::string data;
    bool operator==(const RegValue&) const = default;
};

struct RegKeyData {
    std::string name;  // the spelling it was created with
    std::map<std::string, RegValue, CaseInsensitiveLess> values;
};

// One registry hive: full key paths (without the root) to their values.
class RegHive {
public:
    std::map<std::string, RegKeyData, CaseInsensitiveLess> keys;

    // Keys exist with all their parents: creating "A\B" creates "A" too.
    RegKeyData& createKey(std::string_view path);
    const RegKeyData* findKey(std::string_view path) const;
    RegKeyData* findKey(std::string_view path);
    bool operator==(const RegHive&) const;
};

// Parses the file text (UTF-8, or UTF-16 with its byte-order mark); the root name (e.g.
// "HKEY_CURRENT_USER") is stripped from key paths. Keys under another root are kept out. Returns
// nothing when the text is not a registry file or any line of it cannot be read.
std::optional<RegHive> ParseRegFile(std::string_view text, std::string_view rootName);

// The same as a registry import reads a file: a line that cannot be read (cut short, holding a
// NUL, of no known form) is passed over and the file counted as damaged. Nothing only for a text
// that is no registry file at all (no header line).
struct RegFileReading {
    RegHive hive;
    bool damaged = false;
};
std::optional<RegFileReading> ReadRegFileLeniently(std::string_view text, std::string_view rootName);

// Writes the hive as file text under the given root name.
std::string FormatRegFile(const RegHive& hive, std::string_view rootName);

// Normalises a key path: backslashes only, no empty components.
std::string NormaliseKeyPath(std::string_view path);

}  // namespace platform
