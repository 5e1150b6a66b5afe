// What a script does to the configuration sheet and its dialogs: the active top-level window's
// controls found by object name (their control id), dumped as text, pressed, typed into, chosen.
#pragma once

#include <string>

class QWidget;

namespace platform {

// One line per visible control after the window's title; see the README's harness table.
std::string DumpDialog(QWidget* window);

// Each returns an empty text when done, else why it could not be (no such control, no such row).
std::string PressControl(QWidget* window, const std::string& name);
std::string SetControlText(QWidget* window, const std::string& name, const std::string& text);
std::string SelectListRow(QWidget* window, const std::string& name, int row);
std::string CheckListRow(QWidget* window, const std::string& name, int row, bool checked);
std::string ShowTab(QWidget* window, const std::string& title);
// Presses the button with that text ("&" left out); a file dialog takes TEXT as the path or
// paths ("|" between them) to choose.
std::string AnswerDialog(QWidget* window, const std::string& text);

}  // namespace platform
