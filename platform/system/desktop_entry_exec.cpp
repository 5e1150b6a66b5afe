#include "desktop_entry_exec.h"

namespace platform {
namespace {

// Characters that must be escaped with a backslash inside a quoted argument.
bool EscapableInQuotes(char c) { return c == '"' || c == '`' || c == '$' || c == '\\'; }

struct Word {
    std::string text;
    bool quoted = false;
};

// Splits at unquoted blanks; quoted parts keep their blanks and lose their escapes.
std::optional<std::vector<Word>> SplitQuoted(std::string_view line) {
    std::vector<Word> words;
    Word current;
    bool inWord = false, inQuotes = false;
    for (size_t i = 0; i < line.size(); ++i) {
        const char c = line[i];
        if (inQuotes) {
            if (c == '"') {
                inQuotes = false;
            } else if (c == '\\') {
                if (i + 1 >= line.size() || !EscapableInQuotes(line[i + 1])) return std::nullopt;
                current.text.push_back(line[++i]);
            } else {
                current.text.push_back(c);
            }
        } else if (c == ' ' || c == '\t' || c == '\n') {
            if (inWord) words.push_back(std::move(current));
            current = Word{};
            inWord = false;
        } else if (c == '"') {
            inQuotes = inWord = current.quoted = true;
        } else {
            current.text.push_back(c);
            inWord = true;
        }
    }
    if (inQuotes) return std::nullopt;
    if (inWord) words.push_back(std::move(current));
    return words;
}

}  // namespace

std::string UnescapeDesktopValue(std::string_view value) {
    std::string out;
    for (size_t i = 0; i < value.size(); ++i) {
        if (value[i] != '\\' || i + 1 >= value.size()) {
            out.push_back(value[i]);
            continue;
        }
        switch (value[++i]) {
        case 's': out.push_back(' '); break;
        case 'n': out.push_back('\n'); break;
        case 't': out.push_back('\t'); break;
        case 'r': out.push_back('\r'); break;
        case '\\': out.push_back('\\'); break;
        default:  // not a string escape: it belongs to the quoting rules
            out.push_back('\\');
            out.push_back(value[i]);
        }
    }
    return out;
}

std::optional<std::vector<std::string>> ExpandExec(std::string_view exec, const std::string& parameter) {
    auto words = SplitQuoted(exec);
    if (!words || words->empty()) return std::nullopt;
    std::vector<std::string> arguments;
    bool placed = false;
    for (const Word& word : *words) {
        if (word.quoted) {  // field codes are not expanded inside quotes
            arguments.push_back(word.text);
            continue;
        }
        std::string expanded;
        bool dropped = false;
        for (size_t i = 0; i < word.text.size(); ++i) {
            if (word.text[i] != '%' || i + 1 >= word.text.size()) {
                expanded.push_back(word.text[i]);
                continue;
            }
            const char code = word.text[++i];
            if (code == '%') {
                expanded.push_back('%');
            } else if (code == 'f' || code == 'F' || code == 'u' || code == 'U') {
                expanded += parameter;
                placed = true;
            } else {
                dropped = true;  // %i, %c, %k and the deprecated codes stand for nothing here
            }
        }
        if (!(dropped && expanded.empty())) arguments.push_back(expanded);
    }
    if (arguments.empty() || arguments.front().empty()) return std::nullopt;
    if (!placed) arguments.push_back(parameter);
    return arguments;
}

}  // namespace platform
