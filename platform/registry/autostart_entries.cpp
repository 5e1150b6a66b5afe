#include "autostart_entries.h"

#include <cctype>
#include <sstream>

#include "fresh_file.h"
#include "text_compare.h"
#include "user_folders.h"

namespace platform {
namespace fs = std::filesystem;

bool IsLogOnRunKey(const std::string& keyPath) { return EqualsNoCase(keyPath, kLogOnRunKey); }

fs::path AutostartEntryPath(const std::string& valueName) {
    std::string file = "kelvane-";
    for (unsigned char c : valueName) file += std::isalnum(c) ? char(std::tolower(c)) : '-';
    return GetUserFolders().autostart / (file + ".desktop");
}

std::string DesktopEntryExecArgument(const std::string& argument) {
    // Reserved characters make the argument quoted; inside quotes ", `, $ and \ take a backslash.
    static constexpr std::string_view kReserved = " \t\n\"'\\><~|&;$*?#()`";
    std::string exec = argument;
    if (argument.find_first_of(kReserved) != std::string::npos) {
        exec.assign(1, '"');
        for (char c : argument) {
            if (c == '"' || c == '`' || c == '$' || c == '\\') exec += '\\';
            exec += c;
        }
        exec += '"';
    }
    // A literal percent sign is doubled, and the key file's own escapes come last.
    std::string value;
    for (char c : exec) {
        if (c == '%') value += "%%";
        else if (c == '\\') value += "\\\\";
        else if (c == '\n') value += "\\n";
        else value += c;
    }
    return value;
}

bool WriteAutostartEntry(const std::string& valueName, const std::string& command,
                         const std::vector<std::string>& arguments) {
    std::string program = command;
    if (program.size() >= 2 && program.front() == '"' && program.back() == '"') program = program.substr(1, program.size() - 2);
    std::string exec = DesktopEntryExecArgument(program);
    for (const std::string& argument : arguments) {
        exec += ' ';
        exec += DesktopEntryExecArgument(argument);
    }
    const fs::path path = AutostartEntryPath(valueName);
    std::error_code error;
    fs::create_directories(path.parent_path(), error);
    std::ostringstream entry;
    entry << "[Desktop Entry]\n"
          << "Type=Application\n"
          << "Name=" << valueName << "\n"
          << "Comment=Started at log-on for Kelvane Screen Saver\n"
          << "Exec=" << exec << "\n"
          << "Terminal=false\n"
          << "NoDisplay=true\n"
          << "X-GNOME-Autostart-enabled=true\n";
    return ReplaceFileWhole(path, entry.str(), 0644);
}

bool RemoveAutostartEntry(const std::string& valueName) {
    std::error_code error;
    fs::remove(AutostartEntryPath(valueName), error);
    return !fs::exists(AutostartEntryPath(valueName), error);
}

}  // namespace platform
