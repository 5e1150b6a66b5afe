#include "input_keys.h"

#include "text_compare.h"

#include <Qt>
#include <array>
#include <cctype>

namespace platform {
namespace {

struct NamedKey {
    std::string_view name;  // the script's name for it
    UINT key;
    int qtKey;
};

// Keys with codes of their own. Every other key still reaches the window, as VK_OTHER.
constexpr std::array<NamedKey, 50> kNamedKeys{{
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
    {"Delete", VK_DELETE, Qt::Key_Delete},
    {"Insert", VK_INSERT, Qt::Key_Insert},
    {"Home", VK_HOME, Qt::Key_Home},
    {"End", VK_END, Qt::Key_End},
    {"PageUp", VK_PRIOR, Qt::Key_PageUp},
    {"PageDown", VK_NEXT, Qt::Key_PageDown},
    {"Pause", VK_PAUSE, Qt::Key_Pause},
    {"Print", VK_PRINT, Qt::Key_Print},
    {"CapsLock", VK_CAPITAL, Qt::Key_CapsLock},
    {"NumLock", VK_NUMLOCK, Qt::Key_NumLock},
    {"ScrollLock", VK_SCROLL, Qt::Key_ScrollLock},
    {"Super", VK_LWIN, Qt::Key_Super_L},
    {"Menu", VK_APPS, Qt::Key_Menu},
    {"*", VK_MULTIPLY, Qt::Key_Asterisk},
    {"+", VK_ADD, Qt::Key_Plus},
    {";", VK_OEM_1, Qt::Key_Semicolon},
    {"=", VK_OEM_PLUS, Qt::Key_Equal},
    {",", VK_OEM_COMMA, Qt::Key_Comma},
    {"-", VK_OEM_MINUS, Qt::Key_Minus},
    {".", VK_OEM_PERIOD, Qt::Key_Period},
    {"/", VK_OEM_2, Qt::Key_Slash},
    {"`", VK_OEM_3, Qt::Key_QuoteLeft},
    {"[", VK_OEM_4, Qt::Key_BracketLeft},
    {"\\", VK_OEM_5, Qt::Key_Backslash},
    {"]", VK_OEM_6, Qt::Key_BracketRight},
    {"'", VK_OEM_7, Qt::Key_Apostrophe},
    {"VolumeMute", VK_VOLUME_MUTE, Qt::Key_VolumeMute},
    {"VolumeDown", VK_VOLUME_DOWN, Qt::Key_VolumeDown},
    {"VolumeUp", VK_VOLUME_UP, Qt::Key_VolumeUp},
    {"MediaNext", VK_MEDIA_NEXT_TRACK, Qt::Key_MediaNext},
    {"MediaPrevious", VK_MEDIA_PREV_TRACK, Qt::Key_MediaPrevious},
    {"MediaStop", VK_MEDIA_STOP, Qt::Key_MediaStop},
    {"MediaPlay", VK_MEDIA_PLAY_PAUSE, Qt::Key_MediaTogglePlayPause},
    // Most keyboards' play key is X's XF86AudioPlay, which Qt calls "play", not "toggle".
    {"AudioPlay", VK_MEDIA_PLAY_PAUSE, Qt::Key_MediaPlay},
    {"AudioPause", VK_MEDIA_PLAY_PAUSE, Qt::Key_MediaPause},
    {"Meta", VK_LWIN, Qt::Key_Meta},
    {"AltGr", VK_MENU, Qt::Key_AltGr},
    {"Enter", VK_RETURN, Qt::Key_Enter},
}};

constexpr int kLastFunctionKey = 24;

}  // namespace

UINT VirtualKeyFromQt(int qtKey) {
    if (qtKey >= Qt::Key_F1 && qtKey <= Qt::Key_F24) return VK_F1 + UINT(qtKey - Qt::Key_F1);
    if (qtKey >= Qt::Key_A && qtKey <= Qt::Key_Z) return 'A' + UINT(qtKey - Qt::Key_A);
    if (qtKey >= Qt::Key_0 && qtKey <= Qt::Key_9) return '0' + UINT(qtKey - Qt::Key_0);
    for (const NamedKey& named : kNamedKeys)
        if (named.qtKey == qtKey) return named.key;
    return VK_OTHER;
}

UINT VirtualKeyFromName(std::string_view name) {
    if (name.size() == 1 && std::isalnum(static_cast<unsigned char>(name[0])))
        return UINT(std::toupper(static_cast<unsigned char>(name[0])));
    if (name.size() >= 2 && (name[0] == 'F' || name[0] == 'f') && std::isdigit(static_cast<unsigned char>(name[1]))) {
        int number = 0;
        for (char c : name.substr(1)) {
            if (!std::isdigit(static_cast<unsigned char>(c))) return 0;
            number = number * 10 + (c - '0');
            if (number > kLastFunctionKey) return 0;
        }
        return number >= 1 ? VK_F1 + UINT(number - 1) : 0;
    }
    for (const NamedKey& named : kNamedKeys)
        if (EqualsNoCase(named.name, name)) return named.key;
    return 0;
}

int QtKeyFromName(std::string_view name) {
    const UINT key = VirtualKeyFromName(name);
    if (!key) return 0;
    if (key >= VK_F1 && key <= VK_F24) return Qt::Key_F1 + int(key - VK_F1);
    if (key >= 'A' && key <= 'Z') return Qt::Key_A + int(key - 'A');
    if (key >= '0' && key <= '9') return Qt::Key_0 + int(key - '0');
    for (const NamedKey& named : kNamedKeys)
        if (EqualsNoCase(named.name, name)) return named.qtKey;
    return 0;
}

}  // namespace platform
