#include "stand_in_desktop.h"

#include <cstdlib>
#include <fstream>
#include <sstream>

namespace testing_support {

namespace fs = std::filesystem;

namespace {

std::string ReadAll(const fs::path& file) {
    std::ifstream in(file);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

// Keeps "name=value" lines in $store: replaces or removes the line of $name.
constexpr const char* kStoreHelpers = R"(put() { grep -v "^$1=" "$store" > "$store.new"; echo "$1=$2" >> "$store.new"; mv "$store.new" "$store"; }
drop() { grep -v "^$1=" "$store" > "$store.new"; mv "$store.new" "$store"; }
get() { line=$(grep "^$1=" "$store" | tail -n 1); [ -n "$line" ] || exit 1; echo "${line#*=}"; }
)";

}  // namespace

StandInDesktop::StandInDesktop(const fs::path& folder, const std::string& name)
    : folder_(folder), bin_(folder / "bin") {
    if (const char* desktop = std::getenv("XDG_CURRENT_DESKTOP")) hadDesktop_ = true, oldDesktop_ = desktop;
    if (const char* display = std::getenv("DISPLAY")) hadDisplay_ = true, oldDisplay_ = display;
    if (name.empty()) ::unsetenv("XDG_CURRENT_DESKTOP");
    else ::setenv("XDG_CURRENT_DESKTOP", name.c_str(), 1);
    ::unsetenv("DISPLAY");
}

StandInDesktop::~StandInDesktop() {
    if (hadDesktop_) ::setenv("XDG_CURRENT_DESKTOP", oldDesktop_.c_str(), 1);
    else ::unsetenv("XDG_CURRENT_DESKTOP");
    if (hadDisplay_) ::setenv("DISPLAY", oldDisplay_.c_str(), 1);
    else ::unsetenv("DISPLAY");
}

void StandInDesktop::tool(const std::string& name, const std::string& body) const {
    bin_.script(name, "echo \"" + name + " $*\" >> '" + (folder_ / "calls").string() + "'\n" + body);
}

void StandInDesktop::storeTool(const std::string& name, const std::string& initialSettings, const std::string& body) const {
    std::ofstream(folder_ / name) << initialSettings;
    tool(name, "store='" + (folder_ / name).string() + "'\n" + kStoreHelpers + body);
}

void StandInDesktop::gsettings(const std::string& initialSettings) const {
    storeTool("gsettings", initialSettings,
              "case \"$1\" in\n"
              "get) get \"$2 $3\";;\n"
              "set) put \"$2 $3\" \"$4\";;\n"
              "reset) drop \"$2 $3\";;\n"
              "*) exit 1;;\n"
              "esac\n");
}

void StandInDesktop::xfconfQuery(const std::string& initialSettings) const {
    storeTool("xfconf-query", initialSettings,
              "property=; value=; mode=get\n"
              "while [ $# -gt 0 ]; do\n"
              "  case \"$1\" in\n"
              "  -c|-t) shift;;\n"
              "  -p) property=$2; shift;;\n"
              "  -s) value=$2; mode=set; shift;;\n"
              "  -l) mode=list;;\n"
              "  -r) mode=reset;;\n"
              "  esac\n"
              "  shift\n"
              "done\n"
              "case $mode in\n"
              "list) cut -d= -f1 \"$store\";;\n"
              "set) put \"$property\" \"$value\";;\n"
              "reset) drop \"$property\";;\n"
              "*) get \"$property\";;\n"
              "esac\n");
}

void StandInDesktop::qdbus(const std::string& shownImage) const {
    tool("qdbus", "case \"$4\" in *readConfig*) printf '%s\\n2\\n' '" + shownImage + "';; esac\n");
}

void StandInDesktop::recorder(const std::string& name) const { tool(name, ""); }

void StandInDesktop::failing(const std::string& name) const { tool(name, "exit 1\n"); }

std::string StandInDesktop::calls() const { return ReadAll(folder_ / "calls"); }

std::string StandInDesktop::settings(const std::string& tool) const { return ReadAll(folder_ / tool); }

}  // namespace testing_support
