// The "Misc." page: mouse movement ignored or not, the saver's background colour, whether the
// saver starts by itself when the computer is idle, and whether it locks the screen as it ends
// (with which locker).
#pragma once

class QLineEdit;

#include "page_controls.h"
#include "sheet_page.h"

namespace config {

class CMiscPP : public SheetPage {
public:
    // The background colour is the live settings' own: it changes there as it is chosen.
    CMiscPP(saver::SaverSettings& live, SheetServices services);

    void SettingsToPage(const saver::SaverSettings& settings) override;
    void SettingsFromPage(saver::SaverSettings& settings) override;
    void Initialise() override;
    void ChangeBackColor();

private:
    saver::SaverSettings& live_;
    QCheckBox* ignoreMouse_ = nullptr;
    QLabel* notSupported_ = nullptr;
    ColorSwatch* swatch_ = nullptr;
    QCheckBox* startWhenIdle_ = nullptr;
    QCheckBox* lockScreen_ = nullptr;
    QLineEdit* lockCommand_ = nullptr;
    QLabel* locker_ = nullptr;
    bool lockChosen_ = false;  // the stored choice, or the user's here: else the desktop's own stays

    void SayWhichLocker();
};

}  // namespace config
