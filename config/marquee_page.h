// The "Marquee" page: the marquee on or off, its segments, the date and time formats, the
// personal message, the font and the text colour.
#pragma once

#include <utility>
#include <vector>
#include <string>

#include "page_controls.h"
#include "sheet_page.h"

class QComboBox;
class QLineEdit;

namespace config {

class CTickerPropPage : public SheetPage {
public:
    // The font and the colour change the live settings at once, as they are chosen.
    CTickerPropPage(saver::SaverSettings& live, SheetServices services);

    void SettingsToPage(const saver::SaverSettings& settings) override;
    void SettingsFromPage(saver::SaverSettings& settings) override;
    void Initialise() override;

    void SelectFont();
    void SelectFontColor();

private:
    void ApplyEnablingRules();
    void Changed();

    saver::SaverSettings& live_;
    std::vector<std::pair<int saver::SaverSettings::*, QCheckBox*>> checks_;
    QCheckBox* showTicker_ = nullptr;
    QCheckBox* showDate_ = nullptr;
    QCheckBox* showTime_ = nullptr;
    QCheckBox* showMessage_ = nullptr;
    QComboBox* dateFormat_ = nullptr;
    QComboBox* timeFormat_ = nullptr;
    QLabel* dateLabel_ = nullptr;
    QLabel* timeLabel_ = nullptr;
    QLabel* messageLabel_ = nullptr;
    QLineEdit* message_ = nullptr;
    QPushButton* font_ = nullptr;
    QPushButton* fontColor_ = nullptr;
    ColorSwatch* swatch_ = nullptr;
    platform::COLORREF fontColorValue_ = 0;
    std::vector<QWidget*> marqueeControls_;
};

}  // namespace config
