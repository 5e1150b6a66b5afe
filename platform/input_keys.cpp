#include "input_keys.h"

#include "text_compare.h"

#include <Qt>
#include <array>
#include <cctype>

namespace platform {
namespace {

struct NamedKey {
    std::string_view name;
    UINT key;
    int qtKey;
};

constexpr std::array<NamedKey, 12> kNamedKeys{{
    {"Escape", VK_ESCAPE, Qt::Key_Escape},
    {"Shift", VK_SHIFT, Qt::Key_Shift},
    {"Ctrl", VK_CONTROL, Qt::Key_Control},
    {"Alt", VK_MENU, Qt::Key_Alt},
    {"Return", VK_RETURN, Qt::Key_Return},
    {"Space", VK_SPACE, Qt::Key_Space},
    {"Tab", VK_TAB, Qt::Key_Tab},
    {"Backspace", VK_BACK, Qt::Key_Backspace},
    {"Left", VK_LEFT, Qt::Key_Left},
    {"Right", VK_RIGHT, Qt::Key_Right},
    {"Up", VK_UP, Qt::Key_Up},
    {"Down", VK_DOWN, Qt::Key_Down},
}};

}  // namespace

UINT VirtualKeyFromQt(int qtKey) {
    if (qtKey >= Qt::Key_F1 && qtKey <= Qt::Key_F12) return VK_F1 + UINT(qtKey - Qt::Key_F1);
    if (qtKey >= Qt::Key_A && qtKey <= Qt::Key_Z) return 'A' + UINT(qtKey - Qt::Key_A);
    if (qtKey >= Qt::Key_0 && qtKey <= Qt::Key_9) return '0' + UINT(qtKey - Qt::Key_0);
    if (qtKey == Qt::Key_Enter) return VK_RETURN;
    for (const NamedKey& named : kNamedKeys)
        if (named.qtKey == qtKey) return named.key;
    return 0;
}

UINT VirtualKeyFromName(std::string_view name) {
    if (name.size() == 1 && std::isalnum(static_cast<unsigned char>(name[0])))
        return UINT(std::toupper(static_cast<unsigned char>(name[0])));
    if (name.size() >= 2 && (name[0] == 'F' || name[0] == 'f')) {
        int number = 0;
        for (char c : name.substr(1)) {
            if (!std::isdigit(static_cast<unsigned char>(c))) return 0;
            number = number * 10 + (c - '0');
            if (number > 12) return 0;
        }
        return number >= 1 ? VK_F1 + UINT(number - 1) : 0;
    }
    for (const NamedKey& named : kNamedKeys)
        if (EqualsNoCase(named.name, name)) return named.key;
    return 0;
}

}  // namespace platform

namespace platform {

int QtKeyFromName(std::string_view name) {
    const UINT key = VirtualKeyFromName(name);
    if (!key) return 0;
    if (key >= VK_F1 && key <= VK_F12) return Qt::Key_F1 + int(key - VK_F1);
    if (key >= 'A' && key <= 'Z') return Qt::Key_A + int(key - 'A');
    if (key >= '0' && key <= '9') return Qt::Key_0 + int(key - '0');
    for (const NamedKey& named : kNamedKeys)
        if (named.key == key) return named.qtKey;
    return 0;
}

}  // namespace platform
