// Message boxes: shown by the window system's presenter where a program installed one (a dialog
// on a real display), else a line on stderr. Tests watch them through a hook instead.
#pragma once

#include <functional>
#include <optional>
#include <string>

#include "win_types.h"

namespace platform {

constexpr UINT MB_OK = 0x0;
constexpr UINT MB_OKCANCEL = 0x1;
constexpr UINT MB_YESNOCANCEL = 0x3;
constexpr UINT MB_YESNO = 0x4;
constexpr UINT MB_ICONSTOP = 0x10;
constexpr UINT MB_ICONQUESTION = 0x20;
constexpr UINT MB_ICONEXCLAMATION = 0x30;
constexpr UINT MB_ICONINFORMATION = 0x40;
constexpr int IDOK = 1;
constexpr int IDCANCEL = 2;
constexpr int IDYES = 6;
constexpr int IDNO = 7;

using MessageBoxFunction = std::function<int(const std::string& text, const std::string& caption, UINT type)>;

int MessageBox(HWND owner, const char* text, const char* caption, UINT type);
// Tests watch message boxes instead of showing them.
void SetMessageBoxHook(MessageBoxFunction hook);
// How the window system shows one; it returns nothing when it cannot show it now.
void SetMessageBoxPresenter(std::function<std::optional<int>(const std::string&, const std::string&, UINT)> presenter);

}  // namespace platform
