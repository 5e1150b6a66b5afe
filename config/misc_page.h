// The "Misc." page: mouse movement ignored or not, the saver's background colour, and whether the
// saver starts by itself when the computer is idle.
#pragma once

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
};

}  // namespace config
