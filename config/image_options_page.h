// The "Image Options" page: when the picture changes, how it moves and how fast, at what size
// it is shown, and how it is stretched.
#pragma once

#include <memory>

#include "page_controls.h"
#include "sheet_page.h"

class QGroupBox;
class QLineEdit;
class QSlider;

namespace config {

class CImagePropDialog : public SheetPage {
public:
    explicit CImagePropDialog(SheetServices services);

    void SettingsToPage(const saver::SaverSettings& settings) override;
    void SettingsFromPage(saver::SaverSettings& settings) override;
    bool Validate() override;
    // The first display: ranges from the desktop, the enabling rules.
    void Initialise() override;

    int floatSpeed() const { return floatSpeed_; }
    int randomSpeed() const { return randomSpeed_; }

private:
    void Refresh();
    void SpeedTyped();
    void StoreSpeed(int speed);

    std::unique_ptr<RadioChoice> change_, movement_, size_, stretchMethod_;
    NumberField* changeTime_ = nullptr;
    QLabel* secondsLabel_ = nullptr;
    QLabel* speedLabel_ = nullptr;
    QSlider* speed_ = nullptr;
    QLineEdit* speedText_ = nullptr;
    NumberField* width_ = nullptr;
    NumberField* height_ = nullptr;
    QLabel* widthLabel_ = nullptr;
    QLabel* heightLabel_ = nullptr;
    QGroupBox* stretchBox_ = nullptr;
    QLabel* notAvailable_ = nullptr;
    QCheckBox* stretchToMax_ = nullptr;
    QCheckBox* blankOthers_ = nullptr;
    int floatSpeed_ = 0, randomSpeed_ = 0;
};

}  // namespace config
