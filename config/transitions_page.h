// The "Transitions" page: effects on or off, varied by the saver, or one chosen by name.
#pragma once

#include <string>

#include "page_controls.h"
#include "sheet_page.h"

class QComboBox;

namespace config {

// An effect's name by its number ("" for none), and the number of a name (0 for none).
std::string TransitionEffectName(int number);
int TransitionEffectNumber(const std::string& name);

class CTransitions : public SheetPage {
public:
    explicit CTransitions(SheetServices services);

    void SettingsToPage(const saver::SaverSettings& settings) override;
    void SettingsFromPage(saver::SaverSettings& settings) override;
    void Initialise() override;

private:
    void ApplyEnablingRules();

    QCheckBox* enable_ = nullptr;
    QCheckBox* automatic_ = nullptr;
    QLabel* listLabel_ = nullptr;
    QComboBox* effects_ = nullptr;
    int current_ = 0;
};

}  // namespace config
