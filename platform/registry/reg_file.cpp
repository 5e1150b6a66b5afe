#include "reg_file.h"

#include "text_compare.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>

namespace platform {
namespace {

constexpr std::string_view kHeader5 = "Windows Registry Editor Version 5.00";
constexpr std::string_view kHeader4 = "REGEDIT4";

std::string_view Trim(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r')) s.remove_suffix(1);
    return s;
}

// --- UTF-16 for hex(1) and hex(2) strings. Bytes that are not UTF-8 travel as lone low
// surrogates U+DC80..U+DCFF, so any byte string survives the round trip.

void AppendUnit(std::string& out, unsigned unit) {
    out.push_back(char(unit & 0xFF));
    out.push_back(char(unit >> 8));
}

std::string Utf8ToUtf16Le(std::string_view text) {
    std::string out;
    size_t i = 0;
    while (i < text.size()) {
        const unsigned char lead = static_cast<unsigned char>(text[i]);
        unsigned cp = 0;
        size_t length = 0;
        if (lead < 0x80) { cp = lead; length = 1; }
        else if ((lead & 0xE0) == 0xC0) { cp = lead & 0x1F; length = 2; }
        else if ((lead & 0xF0) == 0xE0) { cp = lead & 0x0F; length = 3; }
        else if ((lead & 0xF8) == 0xF0) { cp = lead & 0x07; length = 4; }
        bool valid = length > 0 && i + length <= text.size();
        for (size_t k = 1; valid && k < length; ++k) {
            const unsigned char next = static_cast<unsigned char>(text[i + k]);
            valid = (next & 0xC0) == 0x80;
            cp = (cp << 6) | (next & 0x3F);
        }
        static constexpr unsigned kMinimum[] = {0, 0, 0x80, 0x800, 0x10000};
        valid = valid && cp >= kMinimum[length] && cp <= 0x10FFFF && !(cp >= 0xD800 && cp <= 0xDFFF);
        if (!valid) {
            AppendUnit(out, 0xDC00 + lead);
            i += 1;
            continue;
        }
        if (cp >= 0x10000) {
            cp -= 0x10000;
            AppendUnit(out, 0xD800 + (cp >> 10));
            AppendUnit(out, 0xDC00 + (cp & 0x3FF));
        } else {
            AppendUnit(out, cp);
        }
        i += length;
    }
    return out;
}

void AppendUtf8(std::string& out, unsigned cp) {
    if (cp < 0x80) {
        out.push_back(char(cp));
    } else if (cp < 0x800) {
        out.push_back(char(0xC0 | (cp >> 6)));
        out.push_back(char(0x80 | (cp & 0x3F)));
    } else if (cp < 0x10000) {
        out.push_back(char(0xE0 | (cp >> 12)));
        out.push_back(char(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(char(0x80 | (cp & 0x3F)));
    } else {
        out.push_back(char(0xF0 | (cp >> 18)));
        out.push_back(char(0x80 | ((cp >> 12) & 0x3F)));
        out.push_back(char(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(char(0x80 | (cp & 0x3F)));
    }
}

std::string Utf16LeToUtf8(std::string_view bytes) {
    std::vector<unsigned> units;
    for (size_t i = 0; i + 1 < bytes.size(); i += 2)
        units.push_back(unsigned(static_cast<unsigned char>(bytes[i])) |
                        (unsigned(static_cast<unsigned char>(bytes[i + 1])) << 8));
    // A string ends at its terminator; anything after it is not part of the text.
    if (auto end = std::find(units.begin(), units.end(), 0u); end != units.end()) units.erase(end, units.end());
    std::string out;
    for (size_t i = 0; i < units.size(); ++i) {
        const unsigned unit = units[i];
        if (unit >= 0xD800 && unit <= 0xDBFF && i + 1 < units.size() && units[i + 1] >= 0xDC00 &&
            units[i + 1] <= 0xDFFF) {
            AppendUtf8(out, 0x10000 + ((unit - 0xD800) << 10) + (units[i + 1] - 0xDC00));
            ++i;
        } else if (unit >= 0xDC80 && unit <= 0xDCFF) {
            out.push_back(char(unit - 0xDC00));  // a byte that was not UTF-8
        } else if (unit >= 0xD800 && unit <= 0xDFFF) {
            AppendUtf8(out, 0xFFFD);
        } else {
            AppendUtf8(out, unit);
        }
    }
    return out;
}

bool IsTextType(DWORD type) { return type == REG_SZ || type == REG_EXPAND_SZ; }

// --- Parsing.

// Reads a quoted string starting at text[pos] == '"'; pos ends after the closing quote.
std::optional<std::string> ReadQuoted(std::string_view text, size_t& pos) {
    if (pos >= text.size() || text[pos] != '"') return std::nullopt;
    std::string out;
    for (size_t i = pos + 1; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '"') {
            pos = i + 1;
            return out;
        }
        if (c == '\\' && i + 1 < text.size() && (text[i + 1] == '\\' || text[i + 1] == '"')) {
            out.push_back(text[++i]);
            continue;
        }
        out.push_back(c);
    }
    return std::nullopt;
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    c = FoldCase(c);
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

// "aa,bb,cc" (white space allowed around the commas) into bytes.
std::optional<std::string> ParseHexBytes(std::string_view list) {
    std::string out;
    list = Trim(list);
    if (list.empty()) return out;
    while (true) {
        list = Trim(list);
        if (list.size() < 2) return std::nullopt;
        const int high = HexDigit(list[0]), low = HexDigit(list[1]);
        if (high < 0 || low < 0) return std::nullopt;
        out.push_back(char(high * 16 + low));
        list = Trim(list.substr(2));
        if (list.empty()) return out;
        if (list.front() != ',') return std::nullopt;
        list.remove_prefix(1);
        if (Trim(list).empty()) return out;  // a trailing comma
    }
}

std::optional<RegValue> ParseData(std::string_view data) {
    data = Trim(data);
    RegValue value;
    if (!data.empty() && data.front() == '"') {
        size_t pos = 0;
        auto text = ReadQuoted(data, pos);
        if (!text || !Trim(data.substr(pos)).empty()) return std::nullopt;
        value.type = REG_SZ;
        value.data = std::move(*text);
        value.data.resize(std::strlen(value.data.c_str()));  // as the platform stores it: up to a NUL
        return value;
    }
    const size_t colon = data.find(':');
    if (colon == std::string_view::npos) return std::nullopt;
    const std::string_view kind = Trim(data.substr(0, colon));
    const std::string_view rest = data.substr(colon + 1);
    if (EqualsNoCase(kind, "dword")) {
        const std::string_view digits = Trim(rest);
        if (digits.empty() || digits.size() > 8) return std::nullopt;
        DWORD number = 0;
        for (char c : digits) {
            const int digit = HexDigit(c);
            if (digit < 0) return std::nullopt;
            number = number * 16 + DWORD(digit);
        }
        value.type = REG_DWORD;
        for (int i = 0; i < 4; ++i) value.data.push_back(char((number >> (8 * i)) & 0xFF));
        return value;
    }
    DWORD type = REG_BINARY;
    if (StartsWithNoCase(kind, "hex(") && kind.size() > 5 &&
        kind.back() == ')') {
        const std::string_view digits = kind.substr(4, kind.size() - 5);
        if (digits.size() > 8) return std::nullopt;
        type = 0;
        for (char c : digits) {
            const int digit = HexDigit(c);
            if (digit < 0) return std::nullopt;
            type = type * 16 + DWORD(digit);
        }
    } else if (!EqualsNoCase(kind, "hex")) {
        return std::nullopt;
    }
    auto bytes = ParseHexBytes(rest);
    if (!bytes) return std::nullopt;
    value.type = type;
    value.data = IsTextType(type) ? Utf16LeToUtf8(*bytes) : std::move(*bytes);
    return value;
}

// Splits into lines and joins the continuation lines of hex data ("...,\" then the next line).
std::vector<std::string> LogicalLines(std::string_view text) {
    std::vector<std::string> lines;
    std::string current;
    bool continuing = false;
    size_t start = 0;
    while (start <= text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string_view::npos) end = text.size();
        std::string_view line = text.substr(start, end - start);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        if (continuing) line = Trim(line);
        current.append(line);
        const std::string_view trimmed = Trim(current);
        // Only data lines continue, and never inside a quoted string ending in a backslash.
        continuing = !trimmed.empty() && trimmed.back() == '\\' && trimmed.find('=') != std::string_view::npos &&
                     trimmed.find("=\"") == std::string_view::npos && trimmed.front() != '[';
        if (continuing) {
            current.resize(current.find_last_of('\\'));
        } else {
            lines.push_back(std::move(current));
            current.clear();
        }
        if (end == text.size()) break;
        start = end + 1;
    }
    if (!current.empty()) lines.push_back(std::move(current));
    return lines;
}

void AppendHexBytes(std::string& out, std::string_view bytes) {
    char buffer[4];
    for (size_t i = 0; i < bytes.size(); ++i) {
        std::snprintf(buffer, sizeof buffer, "%02x", unsigned(static_cast<unsigned char>(bytes[i])));
        if (i) out.push_back(',');
        out.append(buffer);
    }
}

void AppendQuoted(std::string& out, std::string_view text) {
    out.push_back('"');
    for (char c : text) {
        if (c == '\\' || c == '"') out.push_back('\\');
        out.push_back(c);
    }
    out.push_back('"');
}

bool HasControlCharacters(std::string_view text) {
    return std::any_of(text.begin(), text.end(), [](char c) {
        const auto u = static_cast<unsigned char>(c);
        return u < 0x20 || u == 0x7F;
    });
}

}  // namespace


std::string NormaliseKeyPath(std::string_view path) {
    std::string out;
    size_t start = 0;
    while (start <= path.size()) {
        size_t end = path.find('\\', start);
        if (end == std::string_view::npos) end = path.size();
        if (end > start) {
            if (!out.empty()) out.push_back('\\');
            out.append(path.substr(start, end - start));
        }
        start = end + 1;
    }
    return out;
}

RegKeyData& RegHive::createKey(std::string_view path) {
    const std::string normal = NormaliseKeyPath(path);
    for (size_t pos = normal.find('\\'); pos != std::string::npos; pos = normal.find('\\', pos + 1)) {
        const std::string parent = normal.substr(0, pos);
        if (!keys.count(parent)) keys[parent].name = parent;
    }
    RegKeyData& key = keys[normal];
    if (key.name.empty()) key.name = normal;
    return key;
}

const RegKeyData* RegHive::findKey(std::string_view path) const {
    auto it = keys.find(NormaliseKeyPath(path));
    return it == keys.end() ? nullptr : &it->second;
}

RegKeyData* RegHive::findKey(std::string_view path) {
    auto it = keys.find(NormaliseKeyPath(path));
    return it == keys.end() ? nullptr : &it->second;
}

bool RegHive::operator==(const RegHive& other) const {
    if (keys.size() != other.keys.size()) return false;
    auto a = keys.begin();
    auto b = other.keys.begin();
    for (; a != keys.end(); ++a, ++b) {
        if (!EqualsNoCase(a->first, b->first) || a->second.values.size() != b->second.values.size()) return false;
        auto va = a->second.values.begin();
        auto vb = b->second.values.begin();
        for (; va != a->second.values.end(); ++va, ++vb)
            if (!EqualsNoCase(va->first, vb->first) || !(va->second == vb->second)) return false;
    }
    return true;
}

namespace {

// UTF-16 text (as the registry editor writes its export files) as UTF-8; unpaired surrogates
// become U+FFFD.
std::string Utf8FromUtf16(std::string_view text, bool bigEndian) {
    std::string out;
    const auto unit = [&](size_t at) {
        const auto first = std::uint8_t(text[at]), second = std::uint8_t(text[at + 1]);
        return bigEndian ? std::uint32_t(first << 8 | second) : std::uint32_t(second << 8 | first);
    };
    for (size_t at = 0; at + 1 < text.size(); at += 2) {
        std::uint32_t code = unit(at);
        if (code >= 0xD800 && code < 0xDC00 && at + 3 < text.size() && unit(at + 2) >= 0xDC00 && unit(at + 2) < 0xE000) {
            code = 0x10000 + ((code - 0xD800) << 10) + (unit(at + 2) - 0xDC00);
            at += 2;
        } else if (code >= 0xD800 && code < 0xE000) {
            code = 0xFFFD;
        }
        if (code < 0x80) {
            out += char(code);
        } else if (code < 0x800) {
            out += char(0xC0 | code >> 6);
            out += char(0x80 | (code & 0x3F));
        } else if (code < 0x10000) {
            out += char(0xE0 | code >> 12);
            out += char(0x80 | ((code >> 6) & 0x3F));
            out += char(0x80 | (code & 0x3F));
        } else {
            out += char(0xF0 | code >> 18);
            out += char(0x80 | ((code >> 12) & 0x3F));
            out += char(0x80 | ((code >> 6) & 0x3F));
            out += char(0x80 | (code & 0x3F));
        }
    }
    return out;
}

// Strict: any line that cannot be read makes the text no registry file. Lenient (as a registry
// import reads): such a line is passed over and the reading counted as damaged.
std::optional<RegHive> ParseLines(std::string_view text, std::string_view rootName, bool lenient, bool& damaged) {
    damaged = false;
    std::string converted;
    if (text.substr(0, 2) == "\xFF\xFE" || text.substr(0, 2) == "\xFE\xFF") {
        converted = Utf8FromUtf16(text.substr(2), text[0] == '\xFE');
        text = converted;
    }
    if (text.substr(0, 3) == "\xEF\xBB\xBF") text.remove_prefix(3);
    const std::vector<std::string> lines = LogicalLines(text);
    RegHive hive;
    bool headerSeen = false;
    RegKeyData* current = nullptr;
    bool inOtherRoot = false;
    for (const std::string& raw : lines) {
        const std::string_view line = Trim(raw);
        if (line.empty() || line.front() == ';') continue;
        // A line that cannot be read; in a key of unknown name, the values after it belong nowhere.
        const auto unreadable = [&](bool keyLost) {
            damaged = true;
            if (keyLost) {
                current = nullptr;
                inOtherRoot = true;
            }
            return lenient;
        };
        if (!headerSeen) {
            if (line != kHeader5 && line != kHeader4) return std::nullopt;
            headerSeen = true;
            continue;
        }
        if (line.find('\0') != std::string_view::npos) {
            if (unreadable(line.front() == '[')) continue;
            return std::nullopt;
        }
        if (line.front() == '[') {
            if (line.back() != ']') {
                if (unreadable(true)) continue;
                return std::nullopt;
            }
            std::string_view path = line.substr(1, line.size() - 2);
            const bool deletion = !path.empty() && path.front() == '-';
            if (deletion) path.remove_prefix(1);
            const size_t slash = path.find('\\');
            const std::string_view root = path.substr(0, slash);
            const std::string_view rest = slash == std::string_view::npos ? "" : path.substr(slash + 1);
            current = nullptr;
            inOtherRoot = !EqualsNoCase(root, rootName);
            if (inOtherRoot) continue;
            const std::string normal = NormaliseKeyPath(rest);
            if (deletion) {
                for (auto it = hive.keys.begin(); it != hive.keys.end();) {
                    const bool under = EqualsNoCase(it->first, normal) ||
                                       (it->first.size() > normal.size() && it->first[normal.size()] == '\\' &&
                                        EqualsNoCase(std::string_view(it->first).substr(0, normal.size()), normal));
                    it = under ? hive.keys.erase(it) : std::next(it);
                }
                inOtherRoot = true;  // values after a deletion line belong nowhere
                continue;
            }
            if (normal.empty()) {
                if (unreadable(true)) continue;
                return std::nullopt;
            }
            current = &hive.createKey(normal);
            continue;
        }
        // A value line.
        std::string name;
        size_t pos = 0;
        if (line.front() == '@') {
            pos = 1;
        } else {
            auto quoted = ReadQuoted(line, pos);
            if (!quoted) {
                if (unreadable(false)) continue;
                return std::nullopt;
            }
            name = std::move(*quoted);
        }
        const std::string_view afterName = Trim(line.substr(pos));
        if ((afterName.empty() || afterName.front() != '=') || (!current && !inOtherRoot)) {  // or a value before any key
            if (unreadable(false)) continue;
            return std::nullopt;
        }
        const std::string_view data = Trim(afterName.substr(1));
        if (data == "-") {
            if (current) current->values.erase(name);
            continue;
        }
        auto value = ParseData(data);
        if (!value) {
            if (unreadable(false)) continue;
            return std::nullopt;
        }
        if (current) current->values[name] = std::move(*value);
    }
    if (!headerSeen) return std::nullopt;
    return hive;
}

}  // namespace

std::optional<RegHive> ParseRegFile(std::string_view text, std::string_view rootName) {
    bool damaged = false;
    return ParseLines(text, rootName, false, damaged);
}

std::optional<RegFileReading> ReadRegFileLeniently(std::string_view text, std::string_view rootName) {
    RegFileReading reading;
    auto hive = ParseLines(text, rootName, true, reading.damaged);
    if (!hive) return std::nullopt;
    reading.hive = std::move(*hive);
    return reading;
}

std::string FormatRegFile(const RegHive& hive, std::string_view rootName) {
    std::string out;
    out.append(kHeader5).append("\n\n");
    for (const auto& [path, key] : hive.keys) {
        out.append("[").append(rootName).append("\\").append(key.name).append("]\n");
        for (const auto& [name, value] : key.values) {
            if (name.empty()) out.append("@");
            else AppendQuoted(out, name);
            out.push_back('=');
            if (value.type == REG_SZ && !HasControlCharacters(value.data)) {
                AppendQuoted(out, value.data);
            } else if (value.type == REG_DWORD && value.data.size() == 4) {
                DWORD number = 0;
                for (int i = 3; i >= 0; --i) number = (number << 8) | static_cast<unsigned char>(value.data[size_t(i)]);
                char buffer[16];
                std::snprintf(buffer, sizeof buffer, "dword:%08x", unsigned(number));
                out.append(buffer);
            } else if (value.type == REG_BINARY) {
                out.append("hex:");
                AppendHexBytes(out, value.data);
            } else {
                char buffer[24];
                std::snprintf(buffer, sizeof buffer, "hex(%x):", unsigned(value.type));
                out.append(buffer);
                AppendHexBytes(out, IsTextType(value.type) ? Utf8ToUtf16Le(value.data) + std::string(2, '\0')
                                                           : value.data);
            }
            out.push_back('\n');
        }
        out.push_back('\n');
    }
    return out;
}

}  // namespace platform

