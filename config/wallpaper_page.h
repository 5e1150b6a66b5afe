// The "Wallpaper" page: whether and when the picture becomes the wallpaper, its size and layout,
// transparent icon labels, and removing the wallpaper at once.
#pragma once

#include <functional>
#include <memory>

#include "page_controls.h"
#include "sheet_page.h"

class QGroupBox;

namespace config {

class CWallpaperPropPage : public SheetPage {
public:
    // removeWallpaper undoes the saver's wallpaper; 1 when it did.
    CWallpaperPropPage(SheetServices services, std::function<int()> removeWallpaper);

    void SettingsToPage(const saver::SaverSettings& settings) override;
    void SettingsFromPage(saver::SaverSettings& settings) override;
    void Initialise() override;

private:
    void ApplyEnablingRules();

    std::function<int()> removeWallpaper_;
    std::unique_ptr<RadioChoice> mode_, size_, display_;
    QGroupBox* sizeBox_ = nullptr;
    QGroupBox* displayBox_ = nullptr;
    QCheckBox* transparentIcons_ = nullptr;
    QLabel* note_ = nullptr;
};

}  // namespace config
